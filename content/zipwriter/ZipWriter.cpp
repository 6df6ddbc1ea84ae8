#include "content/zipwriter/ZipWriter.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <stdexcept>

namespace ORV::Content {

namespace {

constexpr std::uint64_t maxField = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint16_t versionNeeded = 20; // 2.0: deflate
constexpr std::uint16_t versionMadeBy = 0x0314; // Unix, 2.0: no DOS attributes implied
constexpr std::size_t localHeaderBytes = 30;
constexpr std::size_t endRecordBytes = 22;

void put16(std::string& out, std::uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value)
{
    put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

} // namespace

std::string deflateRaw(std::string_view data)
{
    // zlib counts in uInt; the callers' members are far smaller, and add()
    // refuses anything past 4 GiB before it gets here.
    if (data.size() > UINT_MAX) throw std::length_error("member too large to deflate");
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib could not start a deflate stream");
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    const uLong produced = stream.total_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("zlib could not deflate a member");
    out.resize(produced);
    return out;
}

std::uint32_t zipCrc32(std::string_view data)
{
    uLong crc = crc32(0, Z_NULL, 0);
    // crc32 takes uInt lengths: feed large inputs in pieces.
    while (!data.empty()) {
        const std::size_t piece = std::min<std::size_t>(data.size(), std::size_t{1} << 30);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(piece));
        data.remove_prefix(piece);
    }
    return static_cast<std::uint32_t>(crc);
}

void ZipWriter::add(std::string_view name, std::string_view data, ZipMethod method)
{
    if (entries_.size() >= maxMembers) throw std::length_error("a ZIP archive without ZIP64 holds 65535 members");
    if (name.empty() || name.size() > 0xFFFF) throw std::length_error("ZIP member names are 1 to 65535 bytes");
    if (data.size() >= maxField) throw std::length_error("ZIP members without ZIP64 stay below 4 GiB");

    const std::string encoded = method == ZipMethod::Deflated ? deflateRaw(data) : std::string(data);
    const std::uint64_t end = body_.size() + localHeaderBytes + name.size() + encoded.size();
    // The directory follows the data and its offset must fit too; leave room
    // for it when judging.
    if (end >= maxField) throw std::length_error("a ZIP archive without ZIP64 stays below 4 GiB");

    Entry entry{std::string(name),
                method,
                zipCrc32(data),
                static_cast<std::uint32_t>(encoded.size()),
                static_cast<std::uint32_t>(data.size()),
                static_cast<std::uint32_t>(body_.size())};

    put32(body_, 0x04034B50);
    put16(body_, versionNeeded);
    put16(body_, 0); // flags: no descriptor, no encryption
    put16(body_, static_cast<std::uint16_t>(method));
    put16(body_, dosTime);
    put16(body_, dosDate);
    put32(body_, entry.crc);
    put32(body_, entry.compressedSize);
    put32(body_, entry.uncompressedSize);
    put16(body_, static_cast<std::uint16_t>(name.size()));
    put16(body_, 0); // extra field length
    body_ += name;
    body_ += encoded;
    entries_.push_back(std::move(entry));
}

std::string ZipWriter::finish() const
{
    std::string directory;
    for (const Entry& entry : entries_) {
        put32(directory, 0x02014B50);
        put16(directory, versionMadeBy);
        put16(directory, versionNeeded);
        put16(directory, 0);
        put16(directory, static_cast<std::uint16_t>(entry.method));
        put16(directory, dosTime);
        put16(directory, dosDate);
        put32(directory, entry.crc);
        put32(directory, entry.compressedSize);
        put32(directory, entry.uncompressedSize);
        put16(directory, static_cast<std::uint16_t>(entry.name.size()));
        put16(directory, 0); // extra field length
        put16(directory, 0); // comment length
        put16(directory, 0); // disk number
        put16(directory, 0); // internal attributes
        put32(directory, 0100644u << 16); // external attributes: a regular file, rw-r--r--
        put32(directory, entry.localHeaderOffset);
        directory += entry.name;
    }
    if (body_.size() + directory.size() + endRecordBytes >= maxField)
        throw std::length_error("a ZIP archive without ZIP64 stays below 4 GiB");

    std::string archive;
    archive.reserve(body_.size() + directory.size() + endRecordBytes);
    archive += body_;
    archive += directory;
    put32(archive, 0x06054B50);
    put16(archive, 0); // this disk
    put16(archive, 0); // disk with the directory
    put16(archive, static_cast<std::uint16_t>(entries_.size()));
    put16(archive, static_cast<std::uint16_t>(entries_.size()));
    put32(archive, static_cast<std::uint32_t>(directory.size()));
    put32(archive, static_cast<std::uint32_t>(body_.size()));
    put16(archive, 0); // comment length
    return archive;
}

} // namespace ORV::Content
