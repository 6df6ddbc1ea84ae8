// How many GL object names the graphics layer holds at this moment, per kind,
// counted by the one wrapper that owns every name the layer creates. For tests
// and benchmarks that check a piece of work gives back what it made: take the
// counts before and after, and compare. Counts cover every context and thread
// of the process.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ORV::Gfx {

struct GlObjectCounts {
    static constexpr std::size_t kindCount = 8;
    static constexpr const char* kindNames[kindCount] = {"buffers",       "textures", "framebuffers", "renderbuffers",
                                                         "vertex arrays", "programs", "shaders",      "samplers"};

    std::array<std::int64_t, kindCount> live{}; // by kind, in the order of kindNames
    std::int64_t total() const;
    bool operator==(const GlObjectCounts&) const = default;
};

GlObjectCounts liveGlObjects();

} // namespace ORV::Gfx
