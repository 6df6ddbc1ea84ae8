// ASCII case folding for names that are case-blind in the formats we read
// (effect keywords and states, semantics). Only 'a'..'z' and 'A'..'Z' fold;
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

inline std::string toUpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = toUpperAscii(c);
    return out;
}

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (toUpperAscii(a[i]) != toUpperAscii(b[i]))
            return false;
    return true;
}

} // namespace ORV::Core
