// Darkness, a paper field of standing stones, and one glowing mote drifting in
// from far away with a trail behind it. The mote beats at 0 s and 1 s of scene
// time: the first view opens on the first beat and the second view (from 1 s)
// on the second, so the cut flashes are the mote's pulse.
#include "content/scenes/Materials.h"
#include "content/scenes/Mesh.h"
#include "content/scenes/Motion.h"
#include "content/scenes/SceneKit.h"
#include "content/scenes/Scenes.h"
#include "content/scenewriter/Shapes.h"

#include <algorithm>
#include <cmath>

namespace ORV::Content {

namespace {

constexpr float kLength = 5.5f;
constexpr int kTrail = 10;
constexpr float kTrailGap = 0.11f; // seconds between trail sprites

const Spline& motePath()
{
    static const Spline path({{-34, 9, -46}, {-20, 6, -24}, {-8, 3.5f, -8}, {0, 2.6f, 0}, {6, 3.0f, 4}, {10, 3.8f, 3}});
    return path;
}

Core::Vector3 moteAt(float t)
{
    // Fast from the distance, slowing as it nears the stones.
    const float s = 1.0f - std::pow(1.0f - std::clamp(t / 6.5f, 0.0f, 1.0f), 1.6f);
    const Core::Vector3 p = motePath().at(s);
    return p + Core::Vector3{0.0f, 0.25f * std::sin(t * 2.7f), 0.0f};
}

float beat(float t)
{
    return pulse(t, 0.0f, 0.22f) + pulse(t, 1.0f, 0.22f);
}

Demo::MeshPart stones()
{
    const Point2 profile[] = {{0, -0.3f}, {0.62f, -0.3f}, {0.7f, 0.7f}, {0.55f, 1.8f}, {0.28f, 2.5f}, {0, 2.65f}};
    const Demo::MeshPart stone = latheMesh(profile, 16);
    MeshBuilder b;
    for (unsigned i = 0; i < 22; ++i) {
        // Two loose rows either side of the mote's path, nearer ones taller.
        const float along = -40.0f + 50.0f * hash01(i * 3 + 1);
        const float side = (i % 2 ? 1.0f : -1.0f) * (4.0f + 7.0f * hash01(i * 3 + 2));
        const Core::Vector3 at{along * 0.75f + side * 0.6f, 0, along + side * 0.3f};
        const float h = 0.7f + 1.3f * hash01(i * 3 + 3);
        const float lean = (hash01(i * 7 + 5) - 0.5f) * 0.3f;
        b.append(stone, pose(at, axisAngle({1, 0, 0.4f}, lean), {h * 0.9f, h, h}));
    }
    return b.part();
}

} // namespace

Demo::SceneDescription intro1Scene()
{
    SceneBuilder s(kLength);
    const Colour glow{255, 226, 170};
    const std::int32_t paper = s.material(celMaterial("nightPaper", {52, 56, 74}));
    const std::int32_t stone = s.material(celMaterial("stone", {96, 92, 112}));
    const std::int32_t core = s.material(celMaterial("moteCore", {255, 250, 235}, &glow));
    const std::int32_t halo = s.material(glowMaterial("moteHalo", glow, 1.5f, true));
    const std::int32_t trail = s.material(glowMaterial("moteTrail", {255, 190, 120}, 0.8f, true));

    s.node("stones", s.mesh(stones()), stone, pose({0, 0, 0}));
    // Drawn after what stands on it: the depth test then rejects the covered
    // part before shading it.
    s.node("ground", s.mesh(groundMesh(220, 16, 12)), paper, pose({0, 0, 0}));

    s.node("moteCore", s.mesh(sphereMeshPart(8, 12, 0.22f)), core, [](float t) {
        return pose(moteAt(t), {}, Core::Vector3{1, 1, 1} * (1.0f + 0.6f * beat(t)));
    });
    s.node("moteHalo", s.mesh(crossedQuadsMesh(1.6f)), halo, [](float t) {
        return pose(moteAt(t), axisAngle({0, 1, 0}, t * 0.8f), Core::Vector3{1, 1, 1} * (1.0f + 0.9f * beat(t)));
    });
    const std::int32_t spark = s.mesh(crossedQuadsMesh(0.7f));
    for (int k = 1; k <= kTrail; ++k) {
        s.node("trail" + std::to_string(k), spark, trail, [k](float t) {
            const float when = t - kTrailGap * float(k);
            const float size = when < 0.0f ? 0.001f : 1.0f - float(k) / float(kTrail + 2);
            return pose(moteAt(std::max(when, 0.0f)), axisAngle({0, 1, 0}, float(k)), Core::Vector3{1, 1, 1} * size);
        });
    }

    // The mote's own light, swelling on each beat, and a faint cold moon.
    s.light([](float t) { return moteAt(t); },
            [](float t) {
                return Core::Vector3{1.0f, 0.85f, 0.6f} * (0.9f + 1.2f * beat(t));
            },
            [](float t) { return 12.0f + 6.0f * beat(t); });
    s.light(
        [](float) {
            return Core::Vector3{-40, 60, 30};
        },
        [](float) {
            return Core::Vector3{0.22f, 0.26f, 0.4f};
        },
        [](float) { return 400.0f; });

    // Camera01 (0-5 s): from beside the stones, watching the mote come in out
    // of the distance, turning to follow it.
    s.camera("Camera01", [](float t) {
        const Core::Vector3 mote = moteAt(t);
        return CameraShot{lerp(Core::Vector3{9, 3.2f, 15}, Core::Vector3{5, 2.6f, 13}, smooth(t / 5.0f)),
                          lerp(Core::Vector3{-6, 3, -10}, mote, 0.9f), 1.0f};
    });
    // Camera02 (1-5 s): low and close, the stones passing between camera and
    // mote as the camera swings round with it.
    s.camera("Camera02", [](float t) {
        const Core::Vector3 mote = moteAt(t);
        const float a = 2.3f + 0.35f * t;
        return CameraShot{mote + Core::Vector3{6.5f * std::cos(a), -1.2f, 6.5f * std::sin(a)},
                          mote + Core::Vector3{0, -0.4f, 0}, 1.1f};
    });
    return s.finish();
}

} // namespace ORV::Content
