#include "resources/detail/ZipArchive.h"

#include "core/Ascii.h"
#include "core/ByteOrder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace ORV::Demo {

namespace {

constexpr std::uint32_t localHeaderSignature = 0x04034b50;
constexpr std::uint32_t centralHeaderSignature = 0x02014b50;
constexpr std::uint32_t zip64EndRecordSignature = 0x06064b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::size_t endRecordSize = 22;
// The end record plus the longest archive comment.
constexpr std::size_t endRecordSearchSize = endRecordSize + 65535;
constexpr std::size_t localHeaderSize = 30;
constexpr std::size_t centralHeaderSize = 46;
constexpr std::int64_t zip64LocatorSize = 20;
// The fixed part of a ZIP64 end record; its size field counts the bytes after
// the first 12, 44 of them without extensible data.
constexpr std::int64_t zip64EndRecordSize = 56;
constexpr std::uint16_t zip64ExtraId = 0x0001;
constexpr std::size_t readChunkSize = 16384;
constexpr std::uint16_t methodStored = 0;
constexpr std::uint16_t methodDeflate = 8;
constexpr std::uint16_t flagDataDescriptor = 1u << 3;
// A 32-bit field of this value (16-bit: 0xffff) says that the real value is
// in a ZIP64 record or extra field.
constexpr std::uint32_t zip64SizeMarker = 0xffffffffu;
constexpr std::uint16_t zip64CountMarker = 0xffffu;

// Deflate never expands more than 1032 to 1: the cheapest symbol, a match of
// 258 bytes, costs at least two bits. A directory entry that claims more than
// that is damaged or hostile, and its size must not decide how much memory a
// read allocates. The constant covers a last partial match.
constexpr std::uint64_t maxDeflateRatio = 1032;
constexpr std::uint64_t deflateSlack = 1024;

// Records as readRecord lays them out in memory: every 4-byte field at a
// multiple of 4 from the start, which is the natural layout of these structs.
struct LocalHeader {
    std::uint32_t signature;
    std::uint16_t versionNeeded, flags, method, time, date;
    std::uint32_t crc, compressedSize, uncompressedSize;
    std::uint16_t nameLength, extraLength;
};
constexpr const char* localHeaderLayout = "lssssslllss";

struct CentralHeader {
    std::uint32_t signature;
    std::uint16_t versionMadeBy, versionNeeded, flags, method, time, date;
    std::uint32_t crc, compressedSize, uncompressedSize;
    std::uint16_t nameLength, extraLength, commentLength, diskNumberStart, internalAttributes;
    std::uint32_t externalAttributes, localHeaderOffset;
};
constexpr const char* centralHeaderLayout = "lsssssslllsssssll";

static_assert(offsetof(LocalHeader, crc) == 16 && offsetof(LocalHeader, extraLength) == 30);
static_assert(offsetof(CentralHeader, crc) == 16 && offsetof(CentralHeader, externalAttributes) == 40
              && offsetof(CentralHeader, localHeaderOffset) == 44);

// Reads one record from the current file position into record, one field per
// letter of layout: "l" a 4-byte field, "s" a 2-byte field, any other letter
// is skipped. Fields lie back to back in the file; in memory a 4-byte field
// that would start at an odd multiple of 2 moves on by two bytes. Values are
// little-endian in the file and stored in host order. The record's bytes are
// read in one go; false on a short read, with the record then undefined.
bool readRecord(std::istream& in, std::string_view layout, void* record, std::size_t recordSize)
{
    std::size_t fileBytes = 0;
    for (char letter : layout) fileBytes += letter == 'l' ? 4 : letter == 's' ? 2 : 0;
    std::array<unsigned char, 64> raw{};
    assert(fileBytes <= raw.size());
    in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(fileBytes));
    if (static_cast<std::size_t>(in.gcount()) != fileBytes) return false;

    auto* out = static_cast<unsigned char*>(record);
    std::size_t from = 0, to = 0;
    for (char letter : layout) {
        if (letter == 'l') {
            if (to % 4 == 2) to += 2;
            assert(to + 4 <= recordSize);
            const std::uint32_t value = Core::readLittle32(raw.data() + from);
            std::memcpy(out + to, &value, 4);
            from += 4, to += 4;
        } else if (letter == 's') {
            assert(to + 2 <= recordSize);
            const std::uint16_t value = Core::readLittle16(raw.data() + from);
            std::memcpy(out + to, &value, 2);
            from += 2, to += 2;
        }
    }
    (void)recordSize;
    return true;
}

template <class Record> bool readRecord(std::istream& in, std::string_view layout, Record& record)
{
    return readRecord(in, layout, &record, sizeof record);
}

void lowerAscii(std::string& text)
{
    for (char& c : text) c = Core::toLowerAscii(c);
}

// The file opened unbuffered: the reader seeks before nearly every record, so
// a stream buffer would only refill itself for nothing; member data goes
// straight into the reader's own chunk.
bool openUnbuffered(std::ifstream& file, const std::string& path)
{
    file.rdbuf()->pubsetbuf(nullptr, 0);
    file.open(path, std::ios::binary);
    return file.is_open();
}

std::int64_t fileSize(std::ifstream& file)
{
    file.clear();
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.clear();
    return size < 0 ? -1 : static_cast<std::int64_t>(size);
}

bool seekTo(std::ifstream& file, std::uint64_t position)
{
    if (position > static_cast<std::uint64_t>(std::numeric_limits<std::streamoff>::max())) return false;
    file.clear();
    file.seekg(static_cast<std::streamoff>(position));
    return !file.fail();
}

// a + b, or nothing when the sum does not fit: offsets read from the file
// are added without trusting them.
std::optional<std::uint64_t> checkedAdd(std::uint64_t a, std::uint64_t b)
{
    if (b > std::numeric_limits<std::uint64_t>::max() - a) return std::nullopt;
    return a + b;
}

// Reads bytes.size() bytes from position; false on a short read.
template <std::size_t size>
bool readAt(std::ifstream& file, std::uint64_t position, std::array<unsigned char, size>& bytes)
{
    if (!seekTo(file, position)) return false;
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(file.gcount()) == size;
}

// File position of the end-of-central-directory record: the highest place in
// the archive's tail where its signature starts and the whole record fits, or
// -1. A record at position 0 leaves no room for members and counts as none.
std::int64_t locateEndRecord(std::ifstream& file)
{
    const std::int64_t size = fileSize(file);
    if (size < static_cast<std::int64_t>(endRecordSize)) return -1;
    const auto tailSize = static_cast<std::size_t>(std::min<std::int64_t>(size, endRecordSearchSize));
    const std::int64_t tailStart = size - static_cast<std::int64_t>(tailSize);
    std::vector<unsigned char> tail(tailSize);
    if (!seekTo(file, static_cast<std::uint64_t>(tailStart))) return -1;
    file.read(reinterpret_cast<char*>(tail.data()), static_cast<std::streamsize>(tailSize));
    if (static_cast<std::size_t>(file.gcount()) != tailSize) return -1;

    for (std::size_t i = tailSize - endRecordSize + 1; i-- > 0;) {
        if (tail[i] == 0x50 && tail[i + 1] == 0x4b && tail[i + 2] == 0x05 && tail[i + 3] == 0x06) {
            const std::int64_t position = tailStart + static_cast<std::int64_t>(i);
            return position == 0 ? -1 : position;
        }
    }
    return -1;
}

// What the end records say about the central directory. Offsets count from
// the start of the archive proper.
struct DirectoryLocation {
    std::uint32_t thisDisk = 0, directoryDisk = 0;
    std::uint64_t recordsOnDisk = 0, recordsTotal = 0;
    std::uint64_t size = 0, offset = 0;
    // File position that the directory ends at: the ZIP64 end record when the
    // archive has one, else the end record.
    std::int64_t followedBy = 0;

    bool singleVolume() const { return thisDisk == 0 && directoryDisk == 0 && recordsOnDisk == recordsTotal; }
};

DirectoryLocation fromEndRecord(const std::array<unsigned char, endRecordSize>& end, std::int64_t endPosition)
{
    DirectoryLocation where;
    where.thisDisk = Core::readLittle16(&end[4]);
    where.directoryDisk = Core::readLittle16(&end[6]);
    // The record counts are taken as unsigned: an archive of more than 32767
    // members is read in full.
    where.recordsOnDisk = Core::readLittle16(&end[8]);
    where.recordsTotal = Core::readLittle16(&end[10]);
    where.size = Core::readLittle32(&end[12]);
    where.offset = Core::readLittle32(&end[16]);
    where.followedBy = endPosition;
    return where;
}

bool hasZip64Markers(const std::array<unsigned char, endRecordSize>& end)
{
    for (std::size_t field : {4, 6, 8, 10})
        if (Core::readLittle16(&end[field]) == zip64CountMarker) return true;
    return Core::readLittle32(&end[12]) == zip64SizeMarker || Core::readLittle32(&end[16]) == zip64SizeMarker;
}

enum class Zip64End { absent, read, damaged };

// Reads the ZIP64 end record that a locator right before the end record at
// endPosition points to. The record must end where the locator starts, as
// every writer puts it; it is looked for in its fixed 56-byte form right
// there (so that bytes in front of the archive, which shift the locator's
// offset, don't hide it) and then at the locator's offset (so that a record
// with extensible data is found in an archive with nothing in front).
// absent when there is no locator, damaged when no record fits it.
Zip64End readZip64End(std::ifstream& file, std::int64_t endPosition, DirectoryLocation& where)
{
    if (endPosition < zip64LocatorSize) return Zip64End::absent;
    const auto locatorPosition = static_cast<std::uint64_t>(endPosition - zip64LocatorSize);
    std::array<unsigned char, zip64LocatorSize> locator{};
    if (!readAt(file, locatorPosition, locator) || Core::readLittle32(locator.data()) != zip64LocatorSignature)
        return Zip64End::absent;

    if (locatorPosition < zip64EndRecordSize) return Zip64End::damaged;
    const std::uint64_t lastStart = locatorPosition - zip64EndRecordSize;
    std::array<unsigned char, zip64EndRecordSize> record{};
    for (const std::uint64_t position : {lastStart, Core::readLittle64(&locator[8])}) {
        if (position > lastStart || !readAt(file, position, record)) continue;
        const std::uint64_t size = Core::readLittle64(&record[4]);
        if (Core::readLittle32(record.data()) != zip64EndRecordSignature || size < zip64EndRecordSize - 12
            || size != locatorPosition - position - 12)
            continue;
        where.thisDisk = Core::readLittle32(&record[16]);
        where.directoryDisk = Core::readLittle32(&record[20]);
        where.recordsOnDisk = Core::readLittle64(&record[24]);
        where.recordsTotal = Core::readLittle64(&record[32]);
        where.size = Core::readLittle64(&record[40]);
        where.offset = Core::readLittle64(&record[48]);
        where.followedBy = static_cast<std::int64_t>(position);
        return Zip64End::read;
    }
    return Zip64End::damaged;
}

// True when every field of the end record that holds a value of its own (not
// the ZIP64 marker) agrees with the ZIP64 end record.
bool endRecordsAgree(const DirectoryLocation& plain, const DirectoryLocation& zip64)
{
    const auto agrees16 = [](std::uint64_t plain, std::uint64_t zip64) {
        return plain == zip64CountMarker || plain == zip64;
    };
    const auto agrees32 = [](std::uint64_t plain, std::uint64_t zip64) {
        return plain == zip64SizeMarker || plain == zip64;
    };
    return agrees16(plain.thisDisk, zip64.thisDisk) && agrees16(plain.directoryDisk, zip64.directoryDisk)
           && agrees16(plain.recordsOnDisk, zip64.recordsOnDisk) && agrees16(plain.recordsTotal, zip64.recordsTotal)
           && agrees32(plain.size, zip64.size) && agrees32(plain.offset, zip64.offset);
}

// Takes the 64-bit values of the ZIP64 extra field among extra (a central
// header's extra fields) for the fields that hold the marker: the
// uncompressed size, the compressed size and the local header offset, in
// that order, each present only when its field holds the marker. A field
// whose value is missing keeps the marker: a member of that size is over
// every limit, and a header at that offset does not check out.
void applyZip64Extra(std::string_view extra, std::uint64_t& uncompressedSize, std::uint64_t& compressedSize,
                     std::uint64_t& localHeaderOffset)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(extra.data());
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::uint16_t id = Core::readLittle16(bytes + at);
        const std::size_t length = Core::readLittle16(bytes + at + 2);
        const std::size_t end = std::min(extra.size(), at + 4 + length);
        if (id == zip64ExtraId) {
            std::size_t field = at + 4;
            for (std::uint64_t* value : {&uncompressedSize, &compressedSize, &localHeaderOffset}) {
                if (*value != zip64SizeMarker) continue;
                if (field + 8 > end) return;
                *value = Core::readLittle64(bytes + field);
                field += 8;
            }
            return;
        }
        at = end;
    }
}

// Where the member's data starts, after checking its local header against
// entry (the central header's values) and nameLength; -1 when they disagree
// or the header can't be read.
std::int64_t findDataOffset(std::ifstream& file, std::int64_t baseOffset, std::uint64_t localHeaderOffset,
                            std::uint16_t nameLength, const ZipEntry& entry)
{
    const auto headerPosition = checkedAdd(static_cast<std::uint64_t>(baseOffset), localHeaderOffset);
    if (!headerPosition || !seekTo(file, *headerPosition)) return -1;
    LocalHeader local{};
    if (!readRecord(file, localHeaderLayout, local)) return -1;
    if (local.signature != localHeaderSignature || local.method != entry.method || local.nameLength != nameLength)
        return -1;
    // With a data descriptor the local header's CRC and sizes are written as
    // zero, the real ones follow the data; the central ones are used.
    // A local size of 0xffffffff says the size is in a ZIP64 extra field, as
    // Info-ZIP writes when it zips a stream of unknown length; the central
    // size then stands for it.
    const auto sameSize = [](std::uint32_t local, std::uint64_t central) {
        return local == central || local == zip64SizeMarker;
    };
    if (!(local.flags & flagDataDescriptor)
        && (local.crc != entry.crc || !sameSize(local.compressedSize, entry.compressedSize)
            || !sameSize(local.uncompressedSize, entry.uncompressedSize)))
        return -1;
    // Below 2^63 after the seek, so the sum can't wrap.
    return static_cast<std::int64_t>(*headerPosition + localHeaderSize + local.nameLength + local.extraLength);
}

// Reads the central header at offset (counted from the archive start) into
// entry and sets headerBytes to the bytes it takes in the directory. Returns
// nullptr, or why the header can't be used.
const char* readCentralEntry(std::ifstream& file, std::int64_t baseOffset, std::uint64_t offset, ZipEntry& entry,
                             std::uint64_t& headerBytes)
{
    const auto position = checkedAdd(static_cast<std::uint64_t>(baseOffset), offset);
    CentralHeader header{};
    if (!position || !seekTo(file, *position) || !readRecord(file, centralHeaderLayout, header))
        return "a header lies outside the file";
    if (header.signature != centralHeaderSignature) return "a header lacks its signature";
    if (header.method != methodStored && header.method != methodDeflate)
        return "a member is compressed by a method other than store or deflate";
    if (header.nameLength == 0) return "a member has no name";

    std::string name(std::min<std::size_t>(header.nameLength, ZipArchive::maxNameLength), '\0');
    file.read(name.data(), static_cast<std::streamsize>(name.size()));
    if (static_cast<std::size_t>(file.gcount()) != name.size()) return "a name runs past the end of the file";

    entry.name = ZipArchive::keyForName(name);
    entry.method = header.method;
    entry.crc = header.crc;
    entry.compressedSize = header.compressedSize;
    entry.uncompressedSize = header.uncompressedSize;
    std::uint64_t localHeaderOffset = header.localHeaderOffset;
    if (header.extraLength > 0
        && (header.compressedSize == zip64SizeMarker || header.uncompressedSize == zip64SizeMarker
            || header.localHeaderOffset == zip64SizeMarker)) {
        std::string extra(header.extraLength, '\0');
        if (!seekTo(file, *position + centralHeaderSize + header.nameLength)) return "a header lies outside the file";
        file.read(extra.data(), static_cast<std::streamsize>(extra.size()));
        if (static_cast<std::size_t>(file.gcount()) != extra.size())
            return "an extra field runs past the end of the file";
        applyZip64Extra(extra, entry.uncompressedSize, entry.compressedSize, localHeaderOffset);
    }

    const std::int64_t dataOffset = findDataOffset(file, baseOffset, localHeaderOffset, header.nameLength, entry);
    if (dataOffset < 0) return "a member's local header does not match its central header";
    entry.dataOffset = static_cast<std::uint64_t>(dataOffset);
    headerBytes = centralHeaderSize + std::uint64_t{header.nameLength} + header.extraLength + header.commentLength;
    return nullptr;
}

// zlib's raw-deflate inflater, ended when it goes out of scope.
class Inflater {
public:
    Inflater() { ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~Inflater()
    {
        if (ready_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool ready() const { return ready_; }
    z_stream& stream() { return stream_; }

private:
    z_stream stream_{};
    bool ready_ = false;
};

} // namespace

std::string ZipArchive::keyForName(std::string_view storedName)
{
    const std::size_t zero = storedName.find('\0');
    if (zero != std::string_view::npos) storedName = storedName.substr(0, zero);
    std::string key = "/";
    key.append(storedName.substr(0, std::min(storedName.size(), maxNameLength)));
    lowerAscii(key);
    return key;
}

bool ZipArchive::open(const std::string& path)
{
    path_ = path;
    baseOffset_ = 0;
    entries_.clear();
    fault_.clear();
    const auto addFault = [this](const std::string& text) { fault_ += (fault_.empty() ? "" : "; ") + text; };

    std::ifstream file;
    if (!openUnbuffered(file, path)) {
        addFault("the file can't be opened");
        return false;
    }
    const std::int64_t endPosition = locateEndRecord(file);
    std::array<unsigned char, endRecordSize> end{};
    if (endPosition < 0 || !readAt(file, static_cast<std::uint64_t>(endPosition), end)) {
        addFault("no end-of-central-directory record in its last 65,557 bytes");
        return false;
    }

    // The ZIP64 end record, when there is one, gives the 64-bit counts, size
    // and offset that the end record can't hold: the end record then holds
    // the ZIP64 marker in those fields, or (as when Info-ZIP zips a stream)
    // the same values.
    DirectoryLocation where = fromEndRecord(end, endPosition);
    DirectoryLocation zip64 = where;
    switch (readZip64End(file, endPosition, zip64)) {
    case Zip64End::absent: break;
    case Zip64End::read:
        if (!endRecordsAgree(where, zip64)) addFault("its end record and ZIP64 end record disagree");
        where = zip64;
        break;
    case Zip64End::damaged:
        // The directory still ends before the ZIP64 end record, which is
        // taken to be of the fixed size nearly every writer uses.
        where.followedBy = std::max<std::int64_t>(0, endPosition - zip64LocatorSize - zip64EndRecordSize);
        addFault(hasZip64Markers(end) ? "its ZIP64 end record is missing or damaged, so its member count is not known"
                                      : "its ZIP64 end record is missing or damaged");
        break;
    }
    if (!where.singleVolume()) addFault("it says it spans several volumes, which are not read");

    // Bytes in front of the archive (it was appended to another file) show as
    // the distance between where the directory ends and where the end records
    // really lie; every offset of the archive is then read that much later.
    if (where.singleVolume() && where.recordsOnDisk > 0) {
        const auto directoryEnd = checkedAdd(where.size, where.offset);
        if (directoryEnd && *directoryEnd <= static_cast<std::uint64_t>(where.followedBy))
            baseOffset_ = where.followedBy - static_cast<std::int64_t>(*directoryEnd);
    }

    // Headers are read one after another until recordsOnDisk are read or one
    // of them fails a check; the entries before a failing header stay. Every
    // header read takes at least 47 bytes of the file, so the real file, not
    // the count it gives, bounds the work and memory a hostile directory can
    // cause; nothing is reserved from the count.
    std::uint64_t offset = where.offset;
    std::uint64_t count = 0;
    const char* failure = nullptr;
    for (; count < where.recordsOnDisk; ++count) {
        ZipEntry entry;
        std::uint64_t headerBytes = 0;
        failure = readCentralEntry(file, baseOffset_, offset, entry, headerBytes);
        if (failure) break;
        // A later header with the same key replaces the earlier one.
        entries_.insert_or_assign(entry.name, entry);
        offset += headerBytes;
    }
    if (failure) {
        addFault("its central directory ends after " + std::to_string(count) + " of the "
                 + std::to_string(where.recordsOnDisk) + " members it lists: " + failure);
    } else if (offset - where.offset != where.size) {
        // A count cut to fit its field (or otherwise wrong) leaves members
        // unread: their headers fill the rest of the directory's size.
        addFault("its " + std::to_string(count) + " members fill " + std::to_string(offset - where.offset)
                 + " bytes of a central directory of " + std::to_string(where.size)
                 + " bytes, so its member count is wrong");
    }
    return true;
}

bool ZipArchive::contains(std::string key) const
{
    lowerAscii(key);
    return entries_.count(key) != 0;
}

std::uint64_t ZipArchive::memberSize(std::string key) const
{
    lowerAscii(key);
    const auto found = entries_.find(key);
    return found == entries_.end() ? 0 : found->second.uncompressedSize;
}

// A member within the limit fits zlib's 32-bit output count in one go.
static_assert(ZipArchive::maxMemberSize <= std::numeric_limits<uInt>::max());

std::optional<std::vector<char>> ZipArchive::readMember(std::string key) const
{
    lowerAscii(key);
    const auto found = entries_.find(key);
    if (found == entries_.end()) return std::nullopt;
    const ZipEntry& entry = found->second;
    // Before the file is even opened: nothing is read, allocated or inflated
    // for a member over the limit.
    if (entry.uncompressedSize > maxMemberSize) return std::nullopt;

    std::ifstream file;
    if (!openUnbuffered(file, path_)) return std::nullopt;

    // The member's data must lie inside the file as it is now, and its size
    // must be one its data can produce, before anything is allocated for it.
    // Stored data of another length than the declared size is damaged.
    const std::int64_t size = fileSize(file);
    if (size < 0 || entry.dataOffset > static_cast<std::uint64_t>(size)
        || entry.compressedSize > static_cast<std::uint64_t>(size) - entry.dataOffset)
        return std::nullopt;
    const bool stored = entry.method == methodStored;
    if (stored && entry.uncompressedSize != entry.compressedSize) return std::nullopt;
    if (!stored && entry.compressedSize < maxMemberSize
        && entry.uncompressedSize > entry.compressedSize * maxDeflateRatio + deflateSlack)
        return std::nullopt;
    if (!seekTo(file, entry.dataOffset)) return std::nullopt;

    // Zero-filled, so that the tail a deflate stream ending early leaves
    // unwritten holds zeros and never stale memory. Memory that can't be had
    // fails this read like damaged data would; the caller goes on.
    std::vector<char> output, chunk;
    try {
        output.resize(static_cast<std::size_t>(entry.uncompressedSize));
        if (!stored)
            chunk.resize(static_cast<std::size_t>(std::min<std::uint64_t>(readChunkSize, entry.compressedSize)));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }

    std::size_t produced = 0;
    if (stored) {
        file.read(output.data(), static_cast<std::streamsize>(output.size()));
        if (static_cast<std::size_t>(file.gcount()) != output.size()) return std::nullopt;
        produced = output.size();
    } else if (entry.compressedSize > 0) {
        Inflater inflater;
        if (!inflater.ready()) return std::nullopt;
        z_stream& stream = inflater.stream();
        std::uint64_t inputLeft = entry.compressedSize;
        std::size_t pendingStart = 0, pendingSize = 0;
        // Where inflate writes once the declared size is filled: one byte,
        // to learn whether the stream would produce more without keeping it.
        char beyond = 0;
        for (;;) {
            if (pendingSize == 0 && inputLeft > 0) {
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), inputLeft));
                file.read(chunk.data(), static_cast<std::streamsize>(want));
                if (static_cast<std::size_t>(file.gcount()) != want) return std::nullopt;
                inputLeft -= want;
                pendingStart = 0;
                pendingSize = want;
            }
            const std::size_t room = output.size() - produced;
            stream.next_in = reinterpret_cast<Bytef*>(chunk.data() + pendingStart);
            stream.avail_in = static_cast<uInt>(pendingSize);
            stream.next_out = reinterpret_cast<Bytef*>(room > 0 ? output.data() + produced : &beyond);
            // maxMemberSize keeps the room within zlib's 32-bit count.
            stream.avail_out = static_cast<uInt>(room > 0 ? room : 1);
            const int result = inflate(&stream, Z_SYNC_FLUSH);
            const std::size_t consumed = pendingSize - stream.avail_in;
            pendingStart += consumed, pendingSize -= consumed;
            // More data than the directory declares: the member is damaged,
            // not to be cut to size.
            if (room == 0 && stream.avail_out == 0) return std::nullopt;
            if (room > 0) produced += room - stream.avail_out;
            if (result == Z_STREAM_END) break;
            // Z_BUF_ERROR here means no progress was possible: the input ran
            // out before the stream's end. Like every other error it fails
            // the read.
            if (result != Z_OK) return std::nullopt;
        }
        // A deflate stream that ends properly before the size the directory
        // gives still yields the member at that size, when it produced
        // anything at all; the bytes it did not produce are zero. Its CRC
        // can't be checked.
        if (produced < output.size()) {
            if (produced > 0) return output;
            return std::nullopt;
        }
    } else if (!output.empty()) {
        // No deflate data at all (as some writers store an empty member) can
        // only stand for an empty member.
        return std::nullopt;
    }

    // A member read in full must match the CRC-32 of the directory: a damaged
    // archive then gives a failed stream instead of wrong bytes that a loader
    // would take as good.
    std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, Z_NULL, 0));
    for (std::size_t at = 0; at < output.size();) {
        const std::size_t part = std::min<std::size_t>(output.size() - at, std::numeric_limits<uInt>::max());
        crc = static_cast<std::uint32_t>(
            crc32(crc, reinterpret_cast<const Bytef*>(output.data() + at), static_cast<uInt>(part)));
        at += part;
    }
    if (crc != entry.crc) return std::nullopt;
    return output;
}

} // namespace ORV::Demo
