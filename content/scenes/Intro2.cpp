// The mote falls into a field of ink pillars; where it lands the pillars rise,
// ring after ring outwards. The view opens at 1 s with the mote still falling.
#include "content/scenes/Materials.h"
#include "content/scenes/Mesh.h"
#include "content/scenes/Motion.h"
#include "content/scenes/SceneKit.h"
#include "content/scenes/Scenes.h"

#include "content/scenewriter/Shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ORV::Content {

namespace {

constexpr float kLength = 4.5f;
constexpr int kRings = 6;
constexpr float kLanding = 1.35f; // when the mote touches down

Core::Vector3 moteAt(float t)
{
    if (t < kLanding) {
        const float f = t / kLanding;
        return {0.0f, 16.0f - 14.8f * f * f, 0.0f};
    }
    // A small bounce, then hovering at the centre.
    const float after = t - kLanding;
    return {0.0f, 1.2f + 0.9f * std::fabs(std::sin(after * 4.0f)) * std::exp(-after * 2.5f), 0.0f};
}

float riseOf(int ring, float t)
{
    const float start = kLanding + 0.05f + 0.32f * float(ring);
    return std::max(0.001f, easeOutBack((t - start) / 0.55f));
}

Demo::MeshPart pillarRing(int ring)
{
    // An eight-sided pillar with a bevelled cap, one unit tall.
    const Point2 profile[] = {{0.5f, 0}, {0.5f, 0.92f}, {0.5f, 0.92f}, {0.4f, 1.0f}, {0.4f, 1.0f}, {0, 1.0f}};
    const Demo::MeshPart pillar = latheMesh(profile, 8);
    MeshBuilder b;
    const float radius = 2.2f + 2.3f * float(ring);
    const int count = 5 + 6 * ring;
    for (int i = 0; i < count; ++i) {
        const unsigned seed = unsigned(ring * 97 + i);
        const float a = 2.0f * std::numbers::pi_v<float> * (float(i) + 0.5f * float(ring % 2)) / float(count);
        const float r = radius + (hash01(seed) - 0.5f) * 0.8f;
        const float height = (1.5f + 2.5f * hash01(seed + 31)) * (2.0f - 0.25f * float(ring));
        const float width = 0.8f + 0.5f * hash01(seed + 57);
        b.append(pillar, pose({r * std::cos(a), 0, r * std::sin(a)}, axisAngle({0, 1, 0}, a), {width, height, width}));
    }
    return b.part();
}

// Camera03 (1-4 s): low among the outer pillars, looking up at the fall,
// then rising and tilting down as the rings rise towards it.
CameraShot shotAt(float t)
{
    const float f = smooth((t - 1.0f) / 3.0f);
    const Core::Vector3 eye = lerp(Core::Vector3{16, 2.4f, 18}, Core::Vector3{14, 10.0f, 15}, f);
    const float lookY = std::max(2.0f, moteAt(t).y * 0.55f);
    return CameraShot{eye, {0, lookY, 0}, 1.05f};
}

} // namespace

Demo::SceneDescription intro2Scene()
{
    SceneBuilder s(kLength);
    const Colour glow{255, 226, 170};
    const std::int32_t paper = s.material(celMaterial("nightPaper", {52, 56, 74}));
    const std::int32_t ink = s.material(celMaterial("inkPillar", {40, 38, 52}));
    const std::int32_t core = s.material(celMaterial("moteCore", {255, 250, 235}, &glow));
    const std::int32_t halo = s.material(glowMaterial("moteHalo", glow, 1.5f, true));
    const std::int32_t ripple = s.material(glowMaterial("landingRing", {255, 200, 140}, 1.0f));

    for (int ring = 0; ring < kRings; ++ring)
        s.node("pillars" + std::to_string(ring), s.mesh(pillarRing(ring)), ink, [ring](float t) {
            return pose({0, 0, 0}, {}, {1, riseOf(ring, t), 1});
        });
    // Drawn after what stands on it: the depth test then rejects the covered
    // part before shading it.
    s.node("ground", s.mesh(groundMesh(160, 16, 10)), paper, pose({0, 0, 0}));

    s.node("moteCore", s.mesh(sphereMeshPart(8, 12, 0.25f)), core, [](float t) { return pose(moteAt(t)); });
    // The halo faces the scene's one camera.
    s.node("moteHalo", s.mesh(quadMesh(2.0f, 2.0f)), halo, [](float t) {
        const float flare = 1.0f + 2.0f * pulse(t, kLanding, 0.3f);
        return pose(moteAt(t), facing(moteAt(t), shotAt(t).eye), Core::Vector3{1, 1, 1} * flare);
    });
    // A ring of light runs out over the ground from the landing, ahead of the
    // rising pillars.
    s.node("landingRing", s.mesh(torusMesh(1.0f, 0.06f, 48, 4)), ripple, [](float t) {
        const float grow = t < kLanding ? 0.001f : 0.5f + 7.0f * (t - kLanding);
        return pose({0, 0.1f, 0}, {}, {grow, 1, grow});
    });

    s.light(
        [](float t) {
            return moteAt(t) + Core::Vector3{0, 0.6f, 0};
        },
        [](float t) {
            return Core::Vector3{1.0f, 0.85f, 0.6f} * (1.0f + 1.5f * pulse(t, kLanding, 0.35f));
        },
        [](float) { return 22.0f; });
    s.light(
        [](float) {
            return Core::Vector3{30, 40, -20};
        },
        [](float) {
            return Core::Vector3{0.25f, 0.3f, 0.45f};
        },
        [](float) { return 300.0f; });

    s.camera("Camera03", shotAt);
    return s.finish();
}

} // namespace ORV::Content
