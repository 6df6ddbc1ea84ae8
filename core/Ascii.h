// ASCII case folding for names that are case-blind in the formats we read
// (effect keywords and states, semantics, archive paths). Only 'a'..'z' and 'A'..'Z' fold;
// every other byte, those of UTF-8 sequences included, stays as it is, whatever
// the C locale says.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ORV::Core {

constexpr char toUpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

constexpr char toLowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

inline std::string toUpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = toUpperAscii(c);
    return out;
}

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (toUpperAscii(a[i]) != toUpperAscii(b[i])) return false;
    return true;
}

// Byte-wise order of the lower-case forms; a name that is a prefix of another
// orders first. Transparent, so that map lookups by string_view allocate nothing.
struct LessIgnoringCase {
    using is_transparent = void;
    constexpr bool operator()(std::string_view a, std::string_view b) const
    {
        const std::size_t n = a.size() < b.size() ? a.size() : b.size();
        for (std::size_t i = 0; i < n; ++i) {
            const auto ca = static_cast<unsigned char>(toLowerAscii(a[i]));
            const auto cb = static_cast<unsigned char>(toLowerAscii(b[i]));
            if (ca != cb) return ca < cb;
        }
        return a.size() < b.size();
    }
};

} // namespace ORV::Core
