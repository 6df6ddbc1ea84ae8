// One data archive in ZIP layout: its central directory, read once when the
// archive is opened, and the decompression of single members into memory.
// Single-volume archives only; members stored or compressed with raw deflate.
// ZIP64 end records and extra fields are read, so member counts past 65,535 and
// offsets past 4 GiB are taken in full.
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
    std::uint64_t compressedSize = 0; // bytes of member data in the file
    std::uint64_t uncompressedSize = 0;
    std::uint64_t dataOffset = 0; // absolute file position of the first data byte
};

class ZipArchive {
public:
    // Longest member name, in bytes, that takes part in a key; longer names are
    // known by their first maxNameLength bytes.
    static constexpr std::size_t maxNameLength = 256;

    // Largest member, in uncompressed bytes, that readMember reads. A read
    // holds the whole member in memory, so the size the directory declares
    // decides what one read allocates; without a bound, a few megabytes of
    // hostile deflate data declaring 4 GiB would exhaust the machine. The
    // demo's own assets (textures, scenes and the soundtrack of a 640 x 480
    // demo) are megabytes each, far below this, which leaves them room to grow
    // while keeping a damaged archive's cost small beside the memory of any
    // machine the demo runs on.
    static constexpr std::uint64_t maxMemberSize = std::uint64_t{256} << 20;

    ZipArchive() = default;

    // Forgets any earlier directory, then reads the directory of the archive at
    // path. Returns false when the file can't be opened or has no end record;
    // a directory that fails a check part way keeps the entries before the
    // failing header. The path is kept either way for later member reads.
    // Whenever the directory was not read in full, or its end records can't
    // be trusted, directoryFault() says why.
    bool open(const std::string& path);

    // Empty when open read the whole directory the end records describe;
    // otherwise one sentence on what was wrong, for a warning.
    const std::string& directoryFault() const { return fault_; }

    const std::string& path() const { return path_; }
    // Bytes in front of the archive proper (an archive appended to another file).
    std::int64_t baseOffset() const { return baseOffset_; }
    // Every member by key, in byte-wise key order.
    const std::map<std::string, ZipEntry>& entries() const { return entries_; }

    // Keys are compared after turning A-Z into lower case, like the stored keys.
    bool contains(std::string key) const;
    // Uncompressed size of a member as the directory declares it; 0 for an
    // unknown key.
    std::uint64_t memberSize(std::string key) const;
    // The member's bytes, exactly memberSize() of them, or none when the key is
    // unknown, the size is over maxMemberSize, the memory can't be had, the
    // file can't be read, or the member's data is damaged (its deflate data
    // producing more than the declared size counts as damaged).
    std::optional<std::vector<char>> readMember(std::string key) const;

    // The key under which a member with this stored name is entered: "/" and
    // the name up to its first zero byte and at most maxNameLength bytes, A-Z
    // turned into lower case. Backslashes are kept as they are.
    static std::string keyForName(std::string_view storedName);

private:
    std::string path_;
    std::int64_t baseOffset_ = 0;
    std::map<std::string, ZipEntry> entries_;
    std::string fault_;
};

} // namespace ORV::Demo
