// The benchmark's frame, described once for both ways of drawing it: through
// the graphics layer (EngineFrame) and in hand-written GL (PlainGlFrame). A
// lit sphere drawn in an ambient pass and four additive light passes into a
// scene target, then seven full-screen passes: down to 256 x 256, four 5-tap
// blurs there, a composite at full size and the final pass on the back
// buffer. Both ways use the mesh, lights, matrices and shader code below, so
// that they draw the same pixels.
#pragma once

#include "core/Math.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ORV::Bench {

struct FrameSize {
    int width = 640, height = 480;
};

// Position, normal, texture coordinate and tangent, as the demo's models have.
struct MeshVertex {
    float position[3], normal[3], uv[2], tangent[4];
};

struct MeshData {
    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices;
    uint32_t triangles() const { return uint32_t(indices.size() / 3); }
};

// A UV sphere of radius 3 at the origin with about `triangles` triangles (at
// least 8).
MeshData sphereMesh(int triangles);

// The full-screen quad: position then texture coordinate, (0, 0) at the top
// left of the target.
constexpr int kQuadStride = 20;
extern const float kQuadVertices[20];
extern const uint32_t kQuadIndices[6];

constexpr int kBlurSize = 256;
constexpr int kLightCount = 4;
struct Light {
    float position[4], color[4];
};
extern const Light kLights[kLightCount];
constexpr float kAmbient[4] = {0.1f, 0.1f, 0.15f, 1.0f};
// The blurs step by these texture coordinates.
constexpr float kTexelStep[2] = {0.0015625f, 0.00208333f}; // as the effect's TexelSize

// World * view * projection for the frame's aspect: 60 degrees, camera at
// z = 8 looking at the sphere; row-major for row vectors.
Core::Matrix worldViewProjection(FrameSize size);

// The effect the engine draws with: technique "Frame" with passes ambient,
// light, post (the 5-tap blur) and copy (one tap, for measuring).
extern const char* const kFrameEffect;

// The same shaders in GLSL 4.50 for the hand-written frame. Uniform
// locations: 0 the matrix, 1 the light position, 2 the light colour, 3 the
// blur step. `alphaTestEpilogue` appends, to each fragment shader, the alpha
// test every pixel shader of the graphics layer carries: a uniform switch
// (location 8, left 0: off) and a discard.
struct GlslSources {
    const char* litVertex;
    const char* quadVertex;
    std::array<const char*, 4> fragment; // ambient, light, blur, copy
};
GlslSources frameGlsl();
// Fragment source with the alpha-test epilogue appended to `fragment`.
std::string withAlphaTestEpilogue(const char* fragment);

enum class FramePass : int { Ambient = 0, Light = 1, Blur = 2, Copy = 3 };

} // namespace ORV::Bench
