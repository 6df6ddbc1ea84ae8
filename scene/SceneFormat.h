// The constants of the scene file format (".orv3d"), shared by the reader
// (scene/SceneFile.h) and the writer of the content tools
// (content/scenewriter).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace ORV::Demo {

// The first four bytes of every scene file, then the version as a
// little-endian 32-bit integer.
inline constexpr char sceneMagic[4] = {'O', 'R', '3', 'D'};
inline constexpr std::int32_t sceneVersion = 170;

// Sample i of an animation belongs to the time reached by adding this step i
// times in single precision (the float 0x3DCCCCCD), not to i * 0.1; see
// nextSceneSampleTime.
inline constexpr float sceneSampleStep = 0.1f;

// The time of the sample after one at time t: t + sceneSampleStep in single
// precision while that sum moves on from t. Sample 18,073,720 (counting from 0)
// reaches 2^21 s, where the step is less than half the spacing of floats: the
// sum would stay at t and every later sample would share that time. From there
// each sample takes the next float up instead, so samples keep times of their
// own up to the largest float (some 900 million samples on); after it comes
// infinity, which has no successor.
inline float nextSceneSampleTime(float t)
{
    const float next = t + sceneSampleStep;
    return next > t ? next : std::nextafter(t, std::numeric_limits<float>::infinity());
}

} // namespace ORV::Demo
