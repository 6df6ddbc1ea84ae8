#include "core/ByteOrder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

using namespace ORV::Core;

TEST(ByteOrder, FieldsReadLeastSignificantByteFirst)
{
    const std::uint8_t bytes[] = {0x01, 0x02, 0x03, 0x84, 0xFF};
    EXPECT_EQ(readLittle16(bytes), 0x0201u);
    EXPECT_EQ(readLittle16(bytes + 3), 0xFF84u); // the top bit is not sign-extended
    EXPECT_EQ(readLittle32(bytes), 0x84030201u);
    EXPECT_EQ(readLittle32(bytes + 1), 0xFF840302u);
}

TEST(ByteOrder, RawWordsAndRecordsAgreeWithTheFieldReads)
{
    std::mt19937 random(3);
    struct Record {
        std::uint32_t a;
        float b;
        std::int32_t c;
    };
    std::array<std::uint8_t, 3 * sizeof(Record)> bytes;
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());

    std::uint32_t raw;
    std::memcpy(&raw, bytes.data() + 4, 4);
    EXPECT_EQ(fromLittleEndian(raw), readLittle32(bytes.data() + 4));
    EXPECT_EQ(fromLittleEndian(fromLittleEndian(raw)), raw);

    Record records[3];
    std::memcpy(records, bytes.data(), bytes.size());
    swapLittleEndianWords(records, 3);
    for (std::size_t r = 0; r < 3; ++r) {
        const std::uint8_t* at = bytes.data() + r * sizeof(Record);
        EXPECT_EQ(records[r].a, readLittle32(at)) << r;
        std::uint32_t b;
        std::memcpy(&b, &records[r].b, 4);
        EXPECT_EQ(b, readLittle32(at + 4)) << r;
        EXPECT_EQ(static_cast<std::uint32_t>(records[r].c), readLittle32(at + 8)) << r;
    }
}
