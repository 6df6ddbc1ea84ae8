// Writes single-volume ZIP archives in memory: members stored or compressed
// with raw deflate (zlib), in the order they are added, every one with the same
// fixed DOS date and time and no extra fields, so that the same members always
// give the same bytes. What it writes is what the demo's archive reader accepts
// (resources/detail/ZipArchive.h): no ZIP64, no data descriptors, no
// encryption. Member names are taken as given (the reader folds A-Z to lower
// case when it looks them up).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Content {

enum class ZipMethod : std::uint16_t { Stored = 0, Deflated = 8 };

class ZipWriter {
public:
    // Without ZIP64 records an archive holds at most this many members, and
    // members, names and the whole archive must each stay below 4 GiB.
    static constexpr std::size_t maxMembers = 0xFFFF;

    // 1980-01-01 00:00:00, the earliest DOS date, in every header: archives
    // made on different days compare equal.
    static constexpr std::uint16_t dosTime = 0;
    static constexpr std::uint16_t dosDate = (0 << 9) | (1 << 5) | 1;

    // Compresses (for Deflated, at zlib's best level) and appends a member.
    // Throws std::length_error when the member, its name or the archive would
    // pass the limits above, and std::runtime_error when zlib fails; the
    // archive is unchanged then.
    void add(std::string_view name, std::string_view data, ZipMethod method = ZipMethod::Deflated);

    std::size_t memberCount() const { return entries_.size(); }

    // The whole archive: the local headers and data written so far, the
    // central directory and the end record. May be called more than once.
    std::string finish() const;

private:
    struct Entry {
        std::string name;
        ZipMethod method;
        std::uint32_t crc;
        std::uint32_t compressedSize;
        std::uint32_t uncompressedSize;
        std::uint32_t localHeaderOffset;
    };

    std::string body_; // local headers and member data
    std::vector<Entry> entries_;
};

// Raw deflate of data (no zlib header or trailer), as ZIP stores it, at zlib's
// best compression. Throws std::runtime_error when zlib fails.
std::string deflateRaw(std::string_view data);

// The CRC-32 that ZIP headers carry.
std::uint32_t zipCrc32(std::string_view data);

} // namespace ORV::Content
