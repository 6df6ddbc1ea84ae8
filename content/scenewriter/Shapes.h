// Meshes of simple shapes as scene mesh parts, for the content generator,
// tests and benchmarks.
#pragma once

#include "scene/SceneFile.h"

namespace ORV::Content {

// A sphere of the given radius about the origin: rings + 1 rows of
// segments + 1 vertices (the seam repeated), normals pointing out, texture
// coordinates u along the segments and v from the top (0) to the bottom (1),
// and 2 * rings * segments triangles, each clockwise as seen from outside
// (the device's front faces under the demo's culling).
// rings >= 2 and segments >= 3.
Demo::MeshPart sphereMeshPart(int rings, int segments, float radius = 1.0f, std::int32_t materialSlot = 0);

} // namespace ORV::Content
