#include "resources/detail/MemoryStream.h"

namespace ORV::Demo::detail {

MemoryBuffer::MemoryBuffer(std::vector<char> bytes) : bytes_(std::move(bytes))
{
    char* begin = bytes_.data();
    setg(begin, begin, begin + bytes_.size());
}

MemoryBuffer::pos_type MemoryBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                             std::ios_base::openmode which)
{
    if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
    off_type base = 0;
    if (direction == std::ios_base::cur)
        base = gptr() - eback();
    else if (direction == std::ios_base::end)
        base = egptr() - eback();
    const off_type size = egptr() - eback();
    // Positions outside [0, size] are refused rather than clamped, as a file
    // stream refuses a negative position.
    if ((offset > 0 && offset > size - base) || (offset < 0 && -offset > base)) return pos_type(off_type(-1));
    const off_type target = base + offset;
    setg(eback(), eback() + target, egptr());
    return pos_type(target);
}

MemoryBuffer::pos_type MemoryBuffer::seekpos(pos_type position, std::ios_base::openmode which)
{
    return seekoff(off_type(position), std::ios_base::beg, which);
}

} // namespace ORV::Demo::detail
