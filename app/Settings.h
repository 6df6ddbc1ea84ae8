// The display settings and fixed times of the demo, process-wide.
#pragma once

#include <cstdint>

namespace ORV::Demo {

class Display;

// Stored values; the main function sets 640 x 480 before the display exists.
extern std::int32_t screenWidth;
extern std::int32_t screenHeight;
extern bool fullScreen;

// The display owned by the main function; set before any asset is loaded.
extern Display* currentDisplay;

// The frame loop may end on its own only once the demo time reaches this
// (seconds): the sum of the segment durations.
constexpr float demoEndTime = 148.0f;

} // namespace ORV::Demo
