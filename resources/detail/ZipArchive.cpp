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
constexpr std::size_t readChunkSize = 16384;
constexpr std::uint16_t methodStored = 0;
constexpr std::uint16_t methodDeflate = 8;
constexpr std::uint16_t flagDataDescriptor = 1u << 3;
constexpr std::uint32_t zip64SizeMarker = 0xffffffffu;

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
    file.clear();
    file.seekg(static_cast<std::streamoff>(position));
    return !file.fail();
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

// Bytes of ZIP64 end records between the central directory and the end
// record at endPosition: 76 when a ZIP64 end record (of the fixed 56-byte
// form) and its locator stand there, as Info-ZIP writes them when it zips a
// stream, else 0. Without this, those bytes would be taken for bytes in front
// of the archive and every offset would land that far off.
std::int64_t zip64EndRecordsBefore(std::ifstream& file, std::int64_t endPosition)
{
    constexpr std::int64_t locatorSize = 20, recordSize = 56;
    if (endPosition < locatorSize + recordSize) return 0;
    std::array<unsigned char, 12> record{};
    std::array<unsigned char, 4> locator{};
    if (!seekTo(file, static_cast<std::uint64_t>(endPosition - locatorSize - recordSize))) return 0;
    file.read(reinterpret_cast<char*>(record.data()), record.size());
    if (static_cast<std::size_t>(file.gcount()) != record.size()) return 0;
    if (!seekTo(file, static_cast<std::uint64_t>(endPosition - locatorSize))) return 0;
    file.read(reinterpret_cast<char*>(locator.data()), locator.size());
    if (static_cast<std::size_t>(file.gcount()) != locator.size()) return 0;
    const bool present = Core::readLittle32(locator.data()) == zip64LocatorSignature
                         && Core::readLittle32(record.data()) == zip64EndRecordSignature
                         && Core::readLittle32(record.data() + 4) == recordSize - 12
                         && Core::readLittle32(record.data() + 8) == 0;
    return present ? locatorSize + recordSize : 0;
}

// Where the member's data starts, after checking its local header against the
// central one; -1 when they disagree or the header can't be read.
std::int64_t findDataOffset(std::ifstream& file, std::int64_t baseOffset, const CentralHeader& central)
{
    const std::uint64_t headerPosition = static_cast<std::uint64_t>(baseOffset) + central.localHeaderOffset;
    if (!seekTo(file, headerPosition)) return -1;
    LocalHeader local{};
    if (!readRecord(file, localHeaderLayout, local)) return -1;
    if (local.signature != localHeaderSignature || local.method != central.method
        || local.nameLength != central.nameLength)
        return -1;
    // With a data descriptor the local header's CRC and sizes are written as
    // zero, the real ones follow the data; the central ones are used.
    // A local size of 0xffffffff says the size is in a ZIP64 extra field, as
    // Info-ZIP writes when it zips a stream of unknown length; the central
    // size then stands for it.
    const auto sameSize = [](std::uint32_t local, std::uint32_t central) {
        return local == central || local == zip64SizeMarker;
    };
    if (!(local.flags & flagDataDescriptor)
        && (local.crc != central.crc || !sameSize(local.compressedSize, central.compressedSize)
            || !sameSize(local.uncompressedSize, central.uncompressedSize)))
        return -1;
    return static_cast<std::int64_t>(headerPosition + localHeaderSize + local.nameLength + local.extraLength);
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

    std::ifstream file;
    if (!openUnbuffered(file, path)) return false;
    const std::int64_t endPosition = locateEndRecord(file);
    if (endPosition < 0) return false;

    std::array<unsigned char, endRecordSize> end{};
    if (!seekTo(file, static_cast<std::uint64_t>(endPosition))) return false;
    file.read(reinterpret_cast<char*>(end.data()), endRecordSize);
    if (static_cast<std::size_t>(file.gcount()) != endRecordSize) return false;
    const std::uint16_t thisDisk = Core::readLittle16(&end[4]);
    const std::uint16_t directoryDisk = Core::readLittle16(&end[6]);
    // The record counts are taken as unsigned: an archive of more than 32767
    // members is read in full.
    const std::uint16_t recordsOnDisk = Core::readLittle16(&end[8]);
    const std::uint16_t recordsTotal = Core::readLittle16(&end[10]);
    const std::uint32_t directorySize = Core::readLittle32(&end[12]);
    const std::uint32_t directoryOffset = Core::readLittle32(&end[16]);

    // Bytes in front of the archive (it was appended to another file) show as
    // the distance between where the directory ends and where the end record
    // really lies; every offset of the archive is then read that much later.
    if (thisDisk == 0 && directoryDisk == 0 && recordsOnDisk > 0 && recordsOnDisk == recordsTotal) {
        const std::int64_t directoryEnd = std::int64_t{directorySize} + std::int64_t{directoryOffset};
        const std::int64_t followedBy = zip64EndRecordsBefore(file, endPosition);
        if (endPosition - followedBy >= directoryEnd) baseOffset_ = endPosition - followedBy - directoryEnd;
    }

    // Headers are read one after another until recordsOnDisk are read or one
    // of them fails a check; the entries before a failing header stay. The
    // count bounds the work a hostile directory can cause.
    std::uint64_t offset = directoryOffset;
    for (unsigned count = 0; count < recordsOnDisk; ++count) {
        if (!seekTo(file, static_cast<std::uint64_t>(baseOffset_) + offset)) break;
        CentralHeader header{};
        if (!readRecord(file, centralHeaderLayout, header)) break;
        if (header.signature != centralHeaderSignature) break;
        if (header.method != methodStored && header.method != methodDeflate) break;
        if (header.nameLength == 0) break;

        std::string name(std::min<std::size_t>(header.nameLength, maxNameLength), '\0');
        file.read(name.data(), static_cast<std::streamsize>(name.size()));
        if (static_cast<std::size_t>(file.gcount()) != name.size()) break;

        const std::int64_t dataOffset = findDataOffset(file, baseOffset_, header);
        if (dataOffset < 0) break;

        ZipEntry entry;
        entry.name = keyForName(name);
        entry.method = header.method;
        entry.crc = header.crc;
        entry.compressedSize = header.compressedSize;
        entry.uncompressedSize = header.uncompressedSize;
        entry.dataOffset = static_cast<std::uint64_t>(dataOffset);
        // A later header with the same key replaces the earlier one.
        entries_.insert_or_assign(entry.name, entry);

        offset += centralHeaderSize + std::uint64_t{header.nameLength} + header.extraLength + header.commentLength;
    }
    return true;
}

bool ZipArchive::contains(std::string key) const
{
    lowerAscii(key);
    return entries_.count(key) != 0;
}

std::uint32_t ZipArchive::memberSize(std::string key) const
{
    lowerAscii(key);
    const auto found = entries_.find(key);
    return found == entries_.end() ? 0 : found->second.uncompressedSize;
}

std::optional<std::vector<char>> ZipArchive::readMember(std::string key) const
{
    lowerAscii(key);
    const auto found = entries_.find(key);
    if (found == entries_.end()) return std::nullopt;
    const ZipEntry& entry = found->second;

    std::ifstream file;
    if (!openUnbuffered(file, path_)) return std::nullopt;

    // The member's data must lie inside the file as it is now, and its size
    // must be one its data can produce, before anything is allocated for it.
    const std::int64_t size = fileSize(file);
    if (size < 0 || entry.dataOffset > static_cast<std::uint64_t>(size)
        || entry.compressedSize > static_cast<std::uint64_t>(size) - entry.dataOffset)
        return std::nullopt;
    const bool stored = entry.method == methodStored;
    if (stored && entry.uncompressedSize > entry.compressedSize) return std::nullopt;
    if (!stored && entry.uncompressedSize > entry.compressedSize * maxDeflateRatio + deflateSlack) return std::nullopt;

    Inflater inflater;
    if (!stored && !inflater.ready()) return std::nullopt;
    if (!seekTo(file, entry.dataOffset)) return std::nullopt;

    // Zero-filled, so that the tail a deflate stream ending early leaves
    // unwritten holds zeros and never stale memory.
    std::vector<char> output(entry.uncompressedSize);
    std::vector<char> chunk(std::min<std::size_t>(readChunkSize, entry.compressedSize));
    std::uint32_t inputLeft = entry.compressedSize;
    std::size_t pendingStart = 0, pendingSize = 0;
    std::size_t produced = 0;
    bool streamEnded = false;

    while (produced < output.size()) {
        if (pendingSize == 0 && inputLeft > 0) {
            const std::size_t want = std::min<std::size_t>(chunk.size(), inputLeft);
            file.read(chunk.data(), static_cast<std::streamsize>(want));
            if (static_cast<std::size_t>(file.gcount()) != want) break;
            inputLeft -= static_cast<std::uint32_t>(want);
            pendingStart = 0;
            pendingSize = want;
        }
        const std::size_t room = output.size() - produced;
        if (stored) {
            if (pendingSize == 0) break;
            const std::size_t copied = std::min(room, pendingSize);
            std::memcpy(output.data() + produced, chunk.data() + pendingStart, copied);
            produced += copied, pendingStart += copied, pendingSize -= copied;
            continue;
        }
        z_stream& stream = inflater.stream();
        stream.next_in = reinterpret_cast<Bytef*>(chunk.data() + pendingStart);
        stream.avail_in = static_cast<uInt>(pendingSize);
        stream.next_out = reinterpret_cast<Bytef*>(output.data() + produced);
        stream.avail_out = static_cast<uInt>(room);
        const int result = inflate(&stream, Z_SYNC_FLUSH);
        const std::size_t consumed = pendingSize - stream.avail_in;
        pendingStart += consumed, pendingSize -= consumed;
        produced += room - stream.avail_out;
        if (result == Z_STREAM_END) {
            streamEnded = true;
            break;
        }
        // Z_BUF_ERROR here means no progress was possible: the input ran out
        // before the stream's end. Like every other error it fails the read.
        if (result != Z_OK) return std::nullopt;
    }

    if (produced == output.size()) {
        // A member read in full must match the CRC-32 of the directory: a
        // damaged archive then gives a failed stream instead of wrong bytes
        // that a loader would take as good.
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
    // A deflate stream that ends properly before the size the directory gives
    // still yields the member at that size, when it produced anything at all;
    // the bytes it did not produce are zero. Its CRC can't be checked.
    if (streamEnded && produced > 0) return output;
    return std::nullopt;
}

} // namespace ORV::Demo
