// An input stream over bytes it owns: the in-memory copy of an archive member
// that openStream hands out. Supports reading and seeking; no writing.
#pragma once

#include <istream>
#include <streambuf>
#include <vector>

namespace ORV::Demo::detail {

class MemoryBuffer : public std::streambuf {
public:
    explicit MemoryBuffer(std::vector<char> bytes);
    // The get area points into bytes_, so a copy would read another's bytes.
    MemoryBuffer(const MemoryBuffer&) = delete;
    MemoryBuffer& operator=(const MemoryBuffer&) = delete;

protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    std::vector<char> bytes_;
};

// Holds the buffer in a base that is constructed before std::istream, so that
// the stream is given a buffer that already exists.
struct MemoryBufferHolder {
    explicit MemoryBufferHolder(std::vector<char> bytes) : buffer(std::move(bytes)) {}
    MemoryBuffer buffer;
};

class MemoryStream : private MemoryBufferHolder, public std::istream {
public:
    explicit MemoryStream(std::vector<char> bytes) : MemoryBufferHolder(std::move(bytes)), std::istream(&buffer) {}
};

} // namespace ORV::Demo::detail
