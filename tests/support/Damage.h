// Damaged copies of a valid file for the bad-input sweeps of the readers: cut
// lengths, single-bit and single-byte changes at positions drawn from a
// fixed-seed generator (std::mt19937 gives the same numbers everywhere, so a
// failing round can be named and repeated), 32-bit and 16-bit fields
// overwritten, and filler bytes. Header-only; works on any byte container
// whose elements are one byte (std::string, std::vector<std::uint8_t>).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace ORV::Test {

// The prefix lengths a truncation sweep feeds a reader for a file of size
// bytes: every length below size when there are at most most of them,
// otherwise most lengths spread evenly over the file. 0, 1 and size - 1 are
// always among them (the reader's first check, its first byte, and a file
// missing only its last byte). Ascending, without repeats.
inline std::vector<std::size_t> cutLengths(std::size_t size, std::size_t most)
{
    std::set<std::size_t> lengths;
    if (size <= most) {
        for (std::size_t n = 0; n < size; ++n) lengths.insert(n);
    } else {
        for (std::size_t i = 0; i < most; ++i) lengths.insert(i * size / most);
    }
    for (std::size_t edge : {std::size_t{0}, std::size_t{1}, size - 1})
        if (edge < size) lengths.insert(edge);
    return {lengths.begin(), lengths.end()};
}

// Changes one byte of bytes at a position in [from, bytes.size()) drawn from
// random: flips one bit on even rounds, writes a random value on odd ones
// (never the value already there). Returns what it did, for a trace.
template <class Bytes> std::string damageOneByte(Bytes& bytes, std::mt19937& random, int round, std::size_t from = 0)
{
    const std::size_t at = from + random() % (bytes.size() - from);
    const auto before = static_cast<std::uint8_t>(bytes[at]);
    auto after = static_cast<std::uint8_t>(round % 2 == 0 ? before ^ (1u << (random() % 8)) : random());
    if (after == before) after ^= 0x80;
    bytes[at] = static_cast<typename Bytes::value_type>(after);
    char text[64];
    std::snprintf(text, sizeof text, "round %d: byte %zu 0x%02X -> 0x%02X", round, at, before, after);
    return text;
}

// Little-endian fields written in place; the field must lie inside bytes.
template <class Bytes> void putLittle32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<typename Bytes::value_type>((value >> (8 * i)) & 0xFF);
}
template <class Bytes> void putLittle16(Bytes& bytes, std::size_t at, std::uint16_t value)
{
    bytes.at(at) = static_cast<typename Bytes::value_type>(value & 0xFF);
    bytes.at(at + 1) = static_cast<typename Bytes::value_type>(value >> 8);
}
template <class Bytes> std::uint32_t getLittle32(const Bytes& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t(static_cast<std::uint8_t>(bytes.at(at + i))) << (8 * i);
    return value;
}
template <class Bytes> std::uint16_t getLittle16(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes.at(at))
                                      | static_cast<std::uint8_t>(bytes.at(at + 1)) << 8);
}

// size bytes from a fixed-seed generator, none of them equal to avoid (so that
// filler cannot hold a format's signature byte); the same bytes every run.
inline std::string fillerBytes(std::size_t size, std::uint32_t seed, char avoid)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
        if (c == avoid) c = static_cast<char>(c ^ 0x01);
    }
    return bytes;
}

} // namespace ORV::Test
