// One long flight down a tunnel of turning rings and inked arches towards a
// bright horizon, with beams of light streaming past the camera.
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

constexpr float kLength = 25.5f;
constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kRingGap = 14.0f;
constexpr int kRings = 38;
constexpr float kRingRadius = 6.5f;
constexpr float kFloor = -7.0f;
constexpr int kBeams = 8;

// Distance flown along -z: gathering speed over the first seconds, then
// steady, easing a little at the end as the horizon nears.
float flown(float t)
{
    return 17.0f * t + 6.0f * t * std::exp(-t * 0.4f) - 0.15f * std::max(0.0f, t - 20.0f) * (t - 20.0f);
}

Core::Vector3 eyeAt(float t)
{
    return {2.0f * std::sin(t * 0.31f), 1.0f * std::cos(t * 0.23f) - 0.5f, -flown(t)};
}

Demo::MeshPart ringsMesh(int parity)
{
    // Each ring a tube with studs round it, so its turning shows.
    MeshBuilder ring;
    ring.append(torusMesh(kRingRadius, 0.32f, 40, 6), pose({}, axisAngle({1, 0, 0}, kPi / 2)));
    const Demo::MeshPart stud = boxMesh({0.7f, 0.7f, 0.9f});
    for (int k = 0; k < 6; ++k) {
        const float a = float(k) * kPi / 3;
        ring.append(stud, pose({kRingRadius * std::cos(a), kRingRadius * std::sin(a), 0}, axisAngle({0, 0, 1}, a)));
    }
    const Demo::MeshPart one = ring.part();
    MeshBuilder b;
    for (int i = parity; i < kRings; i += 2) b.append(one, pose({0, 0, -10.0f - kRingGap * float(i)}));
    return b.part();
}

Demo::MeshPart archesMesh()
{
    const Demo::MeshPart arch = tubeMesh(
        [](float s) {
            const float a = kPi * s;
            return Core::Vector3{-9.5f * std::cos(a), kFloor + 9.5f * std::sin(a) * 1.25f, 0};
        },
        [](float) { return 0.55f; }, 28, 8);
    const Demo::MeshPart foot = boxMesh({1.8f, 1.0f, 1.8f});
    MeshBuilder b;
    for (int i = 0; i < 13; ++i) {
        const float z = -17.0f - kRingGap * 3.0f * float(i);
        b.append(arch, pose({0, 0, z}));
        b.append(foot, pose({-9.5f, kFloor + 0.5f, z}));
        b.append(foot, pose({9.5f, kFloor + 0.5f, z}));
    }
    return b.part();
}

// A beam's place: it runs towards the camera along the tunnel wall and
// starts again far ahead once behind the camera, hidden (tiny) while it
// wraps so no blend between samples drags it across the view.
Core::Transform beamAt(int k, float t)
{
    const float cycle = 120.0f;
    const float phase = std::fmod(float(k) * 37.0f + 55.0f * t, cycle);
    const float z = -flown(t) - 110.0f + phase;
    const float a = float(k) * 2.0f * kPi / float(kBeams) + 0.3f;
    const bool wrapping = phase < 6.0f || phase > cycle - 6.0f;
    const float size = wrapping ? 0.001f : 1.0f;
    return pose({4.6f * std::cos(a), 4.6f * std::sin(a), z}, {}, {size, size, size});
}

} // namespace

Demo::SceneDescription scene04Scene()
{
    SceneBuilder s(kLength);
    const std::int32_t ringColour = s.material(celMaterial("ringBlue", {70, 96, 160}));
    const std::int32_t ringWarm = s.material(celMaterial("ringOchre", {214, 160, 80}));
    const std::int32_t stone = s.material(celMaterial("archStone", {226, 216, 196}));
    const std::int32_t floor = s.material(celMaterial("tunnelFloor", {60, 58, 76}));
    const std::int32_t beam = s.material(glowMaterial("beam", {140, 220, 255}, 1.3f));
    const std::int32_t sun = s.material(glowMaterial("horizon", {255, 240, 210}, 2.0f, true));

    s.node("ringsA", s.mesh(ringsMesh(0)), ringColour, [](float t) {
        return pose({}, axisAngle({0, 0, 1}, 0.35f * t));
    });
    s.node("ringsB", s.mesh(ringsMesh(1)), ringWarm, [](float t) { return pose({}, axisAngle({0, 0, 1}, -0.5f * t)); });
    s.node("arches", s.mesh(archesMesh()), stone, pose({0, 0, 0}));
    s.node("floor", s.mesh(groundMesh(1.0f, 20, 40)), floor, pose({0, kFloor, -300.0f}, {}, {30.0f, 1.0f, 700.0f}));
    s.node("horizon", s.mesh(quadMesh(200, 110)), sun, pose({0, 12, -900}));

    const std::int32_t beamMesh = s.mesh([] {
        MeshBuilder b;
        b.append(boxMesh({0.14f, 0.14f, 22.0f}));
        b.append(crossedQuadsMesh(0.9f), pose({0, 0, -11.0f}));
        return b.part();
    }());
    for (int k = 0; k < kBeams; ++k)
        s.node("beam" + std::to_string(k), beamMesh, beam, [k](float t) { return beamAt(k, t); });

    // A light flying just ahead of the camera, and the horizon's glow.
    s.light(
        [](float t) {
            return eyeAt(t) + Core::Vector3{0, 1.5f, -16.0f};
        },
        [](float) {
            return Core::Vector3{1.0f, 0.9f, 0.75f};
        },
        [](float) { return 30.0f; });
    s.light(
        [](float) {
            return Core::Vector3{0, 30, -850};
        },
        [](float t) {
            return Core::Vector3{1.0f, 0.95f, 0.85f} * (0.6f + 0.6f * smooth(t / 25.0f));
        },
        [](float) { return 1200.0f; });

    // Camera01: the flight, weaving gently and banking into its turns.
    s.camera("Camera01", [](float t) {
        const Core::Vector3 eye = eyeAt(t);
        const Core::Vector3 ahead = eyeAt(t + 1.2f);
        const float bank = 0.25f * std::cos(t * 0.31f);
        return CameraShot{eye, ahead + Core::Vector3{0, 0.3f, 0}, 1.25f, {std::sin(bank), std::cos(bank), 0}};
    });
    return s.finish();
}

} // namespace ORV::Content
