// The constants of the scene file format (".orv3d"), shared by the reader
// (scene/SceneFile.h) and the writer of the content tools
// (content/scenewriter).
#pragma once

#include <cstdint>

namespace ORV::Demo {

// The first four bytes of every scene file, then the version as a
// little-endian 32-bit integer.
inline constexpr char sceneMagic[4] = {'O', 'R', '3', 'D'};
inline constexpr std::int32_t sceneVersion = 170;

// Sample i of an animation belongs to the time reached by adding this step i
// times in single precision (the float 0x3DCCCCCD), not to i * 0.1.
inline constexpr float sceneSampleStep = 0.1f;

} // namespace ORV::Demo
