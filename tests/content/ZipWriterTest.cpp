// The ZIP writer's archives as the demo's reader sees them: every member back
// byte for byte with its method, the fixed date in both headers, the same
// bytes for the same members, and the limits refused without damage.
#include "content/zipwriter/ZipWriter.h"
#include "resources/detail/ZipArchive.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

using namespace ORV;
using Content::ZipMethod;
using Content::ZipWriter;

namespace {

std::uint16_t field16(const std::string& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at])
                                      | static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// Data that deflate shrinks but not to nothing: text with a pseudo-random tail.
std::string sampleData(std::size_t size, std::uint32_t seed)
{
    std::string data;
    while (data.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        data += (seed >> 28) < 12 ? "hatch " : std::string(1, static_cast<char>(seed >> 24));
    }
    data.resize(size);
    return data;
}

Demo::ZipArchive openWritten(const ORV::Test::TempDir& dir, const std::string& archive)
{
    Demo::ZipArchive zip;
    EXPECT_TRUE(zip.open(dir.write("written.zip", archive).string()));
    EXPECT_EQ(zip.directoryFault(), "");
    return zip;
}

} // namespace

TEST(ZipWriter, StoredDeflatedAndEmptyMembersReadBackThroughTheDemosReader)
{
    const std::string big = sampleData(300000, 7);
    ZipWriter writer;
    writer.add("Hatch0.dds", big, ZipMethod::Deflated);
    writer.add("light3.jpg", "\xFF\xD8\xFF stored as it is", ZipMethod::Stored);
    writer.add("empty.fx", "", ZipMethod::Deflated);
    writer.add("nothing.bin", "", ZipMethod::Stored);
    writer.add("sub/folder/scene01.orv3d", std::string("\0\1\2\3", 4), ZipMethod::Deflated);
    EXPECT_EQ(writer.memberCount(), 5u);

    ORV::Test::TempDir dir;
    const Demo::ZipArchive zip = openWritten(dir, writer.finish());
    ASSERT_EQ(zip.entries().size(), 5u);

    const struct {
        const char* key;
        std::string data;
        std::uint16_t method;
    } expected[] = {
        {"/hatch0.dds", big, 8}, {"/light3.jpg", "\xFF\xD8\xFF stored as it is", 0},           {"/empty.fx", "", 8},
        {"/nothing.bin", "", 0}, {"/sub/folder/scene01.orv3d", std::string("\0\1\2\3", 4), 8},
    };
    for (const auto& member : expected) {
        SCOPED_TRACE(member.key);
        ASSERT_TRUE(zip.contains(member.key));
        const Demo::ZipEntry& entry = zip.entries().at(member.key);
        EXPECT_EQ(entry.method, member.method);
        EXPECT_EQ(entry.uncompressedSize, member.data.size());
        EXPECT_EQ(entry.crc, Content::zipCrc32(member.data));
        const auto bytes = zip.readMember(member.key);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(std::string(bytes->begin(), bytes->end()), member.data);
    }
    // Deflate was used where asked: the big member shrank, the stored one did not.
    EXPECT_LT(zip.entries().at("/hatch0.dds").compressedSize, big.size() / 2);
    EXPECT_EQ(zip.entries().at("/light3.jpg").compressedSize, expected[1].data.size());
}

TEST(ZipWriter, SameMembersGiveTheSameBytesWithTheFixedDateInEveryHeader)
{
    const auto build = [] {
        ZipWriter writer;
        writer.add("a.jpg", sampleData(5000, 1), ZipMethod::Stored);
        writer.add("b.dds", sampleData(70000, 2));
        return writer.finish();
    };
    const std::string archive = build();
    EXPECT_EQ(archive, build());
    // finish() leaves the writer as it was.
    ZipWriter writer;
    writer.add("x", "y");
    EXPECT_EQ(writer.finish(), writer.finish());

    // Local headers: time at offset 10, date at 12. Central headers: 12, 14.
    std::size_t locals = 0, centrals = 0;
    for (std::size_t at = 0; at + 4 <= archive.size(); ++at) {
        const std::string_view signature(archive.data() + at, 4);
        if (signature == std::string_view("PK\3\4", 4)) {
            ++locals;
            EXPECT_EQ(field16(archive, at + 10), ZipWriter::dosTime);
            EXPECT_EQ(field16(archive, at + 12), ZipWriter::dosDate);
        } else if (signature == std::string_view("PK\1\2", 4)) {
            ++centrals;
            EXPECT_EQ(field16(archive, at + 12), ZipWriter::dosTime);
            EXPECT_EQ(field16(archive, at + 14), ZipWriter::dosDate);
        }
    }
    EXPECT_EQ(locals, 2u);
    EXPECT_EQ(centrals, 2u);
    EXPECT_EQ(ZipWriter::dosDate, 0x21); // 1980-01-01
}

TEST(ZipWriter, LimitsAreRefusedAndLeaveTheArchiveWhole)
{
    ZipWriter writer;
    EXPECT_THROW(writer.add("", "data"), std::length_error);
    EXPECT_THROW(writer.add(std::string(0x10000, 'n'), "data"), std::length_error);
    EXPECT_EQ(writer.memberCount(), 0u);

    // The last member a 16-bit count can hold is taken, the next one is not.
    for (std::size_t i = 0; i < ZipWriter::maxMembers; ++i) writer.add(std::to_string(i), "", ZipMethod::Stored);
    EXPECT_THROW(writer.add("one too many", "", ZipMethod::Stored), std::length_error);

    ORV::Test::TempDir dir;
    const Demo::ZipArchive zip = openWritten(dir, writer.finish());
    EXPECT_EQ(zip.entries().size(), ZipWriter::maxMembers);
    EXPECT_TRUE(zip.contains("/65534"));
    EXPECT_FALSE(zip.contains("/one too many"));
}
