// Builds ZIP archives byte by byte for tests and benchmarks, including the
// damaged and unusual ones real writers never make: every field of both
// headers and of the end record can be overridden.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Test {

// Raw deflate (no zlib header), as ZIP stores it.
inline std::string deflateRaw(std::string_view data, int level = Z_DEFAULT_COMPRESSION)
{
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate failed");
    out.resize(stream.total_out);
    return out;
}

inline std::uint32_t crcOf(std::string_view data)
{
    return static_cast<std::uint32_t>(
        crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct ZipMember {
    std::string name;
    std::string data;
    std::uint16_t method = 8; // 0 stored, 8 deflate, anything else written as stored bytes
    bool dataDescriptor = false; // flag bit 3: zero CRC and sizes locally, a descriptor after the data
    std::string extra; // extra field, in the central header and (without localExtra) the local one
    std::optional<std::string> localExtra; // the local header's own extra field, as many writers make it
    std::string comment; // member comment, central header only
    int level = Z_DEFAULT_COMPRESSION;

    // Overrides for damaged archives.
    std::optional<std::string> payload; // bytes written as member data instead of the encoded data
    std::optional<std::uint32_t> crc, compressedSize, uncompressedSize; // both headers
    std::optional<std::uint32_t> localCrc;
    std::optional<std::uint16_t> localMethod, localNameLength, centralNameLength;
    std::optional<std::uint32_t> localHeaderOffset;
    std::optional<std::uint32_t> localSignature;
    bool localZip64Sizes = false; // 0xffffffff sizes in the local header, as for a ZIP64 extra
};

struct ZipBuilder {
    std::vector<ZipMember> members;
    std::string comment;
    std::string prefix; // bytes in front of the archive
    bool offsetsIncludePrefix = false; // offsets counted from the file start (as "zip -A" writes them)

    std::optional<std::uint16_t> thisDisk, directoryDisk, recordsOnDisk, recordsTotal;
    std::optional<std::uint32_t> directorySize, directoryOffset;
    std::optional<std::uint16_t> commentLength;
    bool zip64EndRecords = false; // a ZIP64 end record and locator before the end record
    // Overrides for the ZIP64 end record, and bytes of extensible data after
    // its fixed part.
    std::optional<std::uint64_t> zip64RecordsOnDisk, zip64RecordsTotal;
    std::string zip64ExtensibleData;

    ZipBuilder& add(std::string name, std::string data, std::uint16_t method = 8)
    {
        ZipMember member;
        member.name = std::move(name);
        member.data = std::move(data);
        member.method = method;
        members.push_back(std::move(member));
        return *this;
    }

    std::string build() const
    {
        std::string body;
        std::string directory;
        const std::uint32_t shift = offsetsIncludePrefix ? static_cast<std::uint32_t>(prefix.size()) : 0;
        for (const ZipMember& m : members) {
            const std::string encoded = m.payload ? *m.payload : m.method == 8 ? deflateRaw(m.data, m.level) : m.data;
            const std::uint32_t crc = m.crc.value_or(crcOf(m.data));
            const std::uint32_t compressed = m.compressedSize.value_or(static_cast<std::uint32_t>(encoded.size()));
            const std::uint32_t uncompressed = m.uncompressedSize.value_or(static_cast<std::uint32_t>(m.data.size()));
            const std::uint16_t flags = m.dataDescriptor ? 8 : 0;
            const auto offset = static_cast<std::uint32_t>(body.size()) + shift;

            put32(body, m.localSignature.value_or(0x04034b50));
            put16(body, 20);
            put16(body, flags);
            put16(body, m.localMethod.value_or(m.method));
            put16(body, 0);
            put16(body, 0x21);
            put32(body, m.dataDescriptor ? 0 : m.localCrc.value_or(crc));
            put32(body, m.dataDescriptor ? 0 : m.localZip64Sizes ? 0xffffffffu : compressed);
            put32(body, m.dataDescriptor ? 0 : m.localZip64Sizes ? 0xffffffffu : uncompressed);
            put16(body, m.localNameLength.value_or(static_cast<std::uint16_t>(m.name.size())));
            const std::string& localExtra = m.localExtra ? *m.localExtra : m.extra;
            put16(body, static_cast<std::uint16_t>(localExtra.size()));
            body += m.name;
            body += localExtra;
            body += encoded;
            if (m.dataDescriptor) {
                put32(body, 0x08074b50);
                put32(body, crc);
                put32(body, compressed);
                put32(body, uncompressed);
            }

            put32(directory, 0x02014b50);
            put16(directory, 0x031e);
            put16(directory, 20);
            put16(directory, flags);
            put16(directory, m.method);
            put16(directory, 0);
            put16(directory, 0x21);
            put32(directory, crc);
            put32(directory, compressed);
            put32(directory, uncompressed);
            put16(directory, m.centralNameLength.value_or(static_cast<std::uint16_t>(m.name.size())));
            put16(directory, static_cast<std::uint16_t>(m.extra.size()));
            put16(directory, static_cast<std::uint16_t>(m.comment.size()));
            put16(directory, 0);
            put16(directory, 0);
            put32(directory, 0);
            put32(directory, m.localHeaderOffset.value_or(offset));
            directory += m.name;
            directory += m.extra;
            directory += m.comment;
        }
        // With ZIP64 end records a count that does not fit is the marker
        // 0xffff, as the format says; without, it is cut to 16 bits, as
        // careless writers do.
        const std::uint16_t count = zip64EndRecords && members.size() > 0xffff
                                        ? std::uint16_t{0xffff}
                                        : static_cast<std::uint16_t>(members.size());
        std::string end;
        if (zip64EndRecords) {
            const std::uint64_t recordAt = body.size() + directory.size() + shift;
            put32(end, 0x06064b50);
            put64(end, 44 + zip64ExtensibleData.size());
            put16(end, 0x031e);
            put16(end, 45);
            put32(end, 0);
            put32(end, 0);
            put64(end, zip64RecordsOnDisk.value_or(members.size()));
            put64(end, zip64RecordsTotal.value_or(members.size()));
            put64(end, directory.size());
            put64(end, body.size() + shift);
            end += zip64ExtensibleData;
            put32(end, 0x07064b50);
            put32(end, 0);
            put64(end, recordAt);
            put32(end, 1);
        }
        put32(end, 0x06054b50);
        put16(end, thisDisk.value_or(0));
        put16(end, directoryDisk.value_or(0));
        put16(end, recordsOnDisk.value_or(count));
        put16(end, recordsTotal.value_or(count));
        put32(end, directorySize.value_or(static_cast<std::uint32_t>(directory.size())));
        put32(end, directoryOffset.value_or(static_cast<std::uint32_t>(body.size()) + shift));
        put16(end, commentLength.value_or(static_cast<std::uint16_t>(comment.size())));
        return prefix + body + directory + end + comment;
    }

    static void put16(std::string& out, std::uint16_t value)
    {
        out += static_cast<char>(value & 0xff);
        out += static_cast<char>(value >> 8);
    }
    static void put32(std::string& out, std::uint32_t value)
    {
        put16(out, static_cast<std::uint16_t>(value & 0xffff));
        put16(out, static_cast<std::uint16_t>(value >> 16));
    }
    static void put64(std::string& out, std::uint64_t value)
    {
        put32(out, static_cast<std::uint32_t>(value & 0xffffffffu));
        put32(out, static_cast<std::uint32_t>(value >> 32));
    }
};

} // namespace ORV::Test
