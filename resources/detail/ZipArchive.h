// One data archive in ZIP layout: its central directory, read once when the
// archive is opened, and the decompression of single members into memory.
// Single-volume archives only; members stored or compressed with raw deflate.
// The archive file is open only while the directory is read and while a member
// is read; between reads only the entry table stays in memory.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::Demo {

// One member of an archive as its central directory describes it.
struct ZipEntry {
    std::string name; // the member's key: "/" + lower-cased name
    std::uint16_t method = 0; // 0 stored, 8 deflate
    std::uint32_t crc = 0; // CRC-32 of the uncompressed bytes
    std::uint32_t compressedSize = 0; // bytes of member data in the file
    std::uint32_t uncompressedSize = 0;
    std::uint64_t dataOffset = 0; // absolute file position of the first data byte
};

class ZipArchive {
public:
    // Longest member name, in bytes, that takes part in a key; longer names are
    // known by their first maxNameLength bytes.
    static constexpr std::size_t maxNameLength = 256;

    ZipArchive() = default;

    // Forgets any earlier directory, then reads the directory of the archive at
    // path. Returns false when the file can't be opened or has no end record;
    // a directory that fails a check part way keeps the entries before the
    // failing header. The path is kept either way for later member reads.
    bool open(const std::string& path);

    const std::string& path() const { return path_; }
    // Bytes in front of the archive proper (an archive appended to another file).
    std::int64_t baseOffset() const { return baseOffset_; }
    // Every member by key, in byte-wise key order.
    const std::map<std::string, ZipEntry>& entries() const { return entries_; }

    // Keys are compared after turning A-Z into lower case, like the stored keys.
    bool contains(std::string key) const;
    // Uncompressed size of a member; 0 for an unknown key.
    std::uint32_t memberSize(std::string key) const;
    // The member's bytes, exactly memberSize() of them, or none when the key is
    // unknown, the file can't be read, or the member's data is damaged.
    std::optional<std::vector<char>> readMember(std::string key) const;

    // The key under which a member with this stored name is entered: "/" and
    // the name up to its first zero byte and at most maxNameLength bytes, A-Z
    // turned into lower case. Backslashes are kept as they are.
    static std::string keyForName(std::string_view storedName);

private:
    std::string path_;
    std::int64_t baseOffset_ = 0;
    std::map<std::string, ZipEntry> entries_;
};

} // namespace ORV::Demo
