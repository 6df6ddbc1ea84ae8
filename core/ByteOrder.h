// Little-endian fields of the files the engine reads and writes (archives,
// scene files, images): reads from bytes, and words converted between the
// file's order and the host's. Header-only and free of any platform header.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ORV::Core {

// The 16-bit, 32-bit and 64-bit values stored little-endian at p.
inline std::uint16_t readLittle16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t readLittle32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
inline std::uint64_t readLittle64(const std::uint8_t* p)
{
    return std::uint64_t{readLittle32(p)} | std::uint64_t{readLittle32(p + 4)} << 32;
}

// A 32-bit word copied raw from little-endian storage, in host order; the
// same swap turns a host word into its little-endian storage.
inline std::uint32_t fromLittleEndian(std::uint32_t v)
{
    if constexpr (std::endian::native == std::endian::little)
        return v;
    else
        return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// Converts count records, each a whole number of 32-bit words, in place
// between little-endian storage and host order (either way: the swap is its
// own inverse). Nothing to do on little-endian hosts.
template <typename T> void swapLittleEndianWords(T* data, std::size_t count)
{
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) % 4 == 0);
    if constexpr (std::endian::native != std::endian::little) {
        auto* bytes = reinterpret_cast<unsigned char*>(data);
        for (std::size_t i = 0; i < count * sizeof(T); i += 4) {
            std::uint32_t w;
            std::memcpy(&w, bytes + i, 4);
            w = fromLittleEndian(w);
            std::memcpy(bytes + i, &w, 4);
        }
    } else {
        (void)data;
        (void)count;
    }
}

} // namespace ORV::Core
