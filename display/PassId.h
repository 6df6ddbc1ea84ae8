// Render-pass identifiers: 64-bit values drawn from one process-wide counter
// that starts at 1, so that 0 means "no pass". Only equality matters.
#pragma once

#include <cstdint>

namespace ORV::Demo {

using PassId = std::uint64_t;

// Returns the counter's value, then increments it. Main thread only.
PassId newPassId();

// The four passes of every frame, drawn during static initialisation in this
// order (1, 2, 3, 4).
extern const PassId ambientPass;
extern const PassId shadePass;
extern const PassId emissivePass;
extern const PassId depthDistPass;

} // namespace ORV::Demo
