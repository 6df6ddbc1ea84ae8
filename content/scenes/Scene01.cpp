// A pencil-hatched tower with a stair winding round it. The mote climbs the
// stair, its light sliding over the hatching; rings of light orbit the top.
// Both views replay the first four seconds, so the mote is already moving
// when each opens.
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
constexpr int kSteps = 60;
constexpr float kStepAngle = 0.32f; // radians per step
constexpr float kStepRise = 0.38f;
constexpr float kStairRadius = 4.6f; // centre of the treads
constexpr float kTowerTop = 24.0f;
constexpr float kPlazaRadius = 14.0f;

Core::Vector3 onStair(float step, float lift, float radius = kStairRadius)
{
    const float a = step * kStepAngle;
    return {radius * std::cos(a), 1.0f + step * kStepRise + lift, -radius * std::sin(a)};
}

// The mote's step number: it climbs a little over ten steps in four seconds,
// hopping from tread to tread.
float moteStep(float t)
{
    return 26.0f + 2.7f * t;
}

Core::Vector3 moteAt(float t)
{
    const float step = moteStep(t);
    const float hop = std::fabs(std::sin(step * std::numbers::pi_v<float>));
    return onStair(step, 0.6f + 0.45f * hop);
}

Demo::MeshPart tower()
{
    const Point2 profile[] = {{4.2f, 0},
                              {4.2f, 1.0f},
                              {4.2f, 1.0f},
                              {3.3f, 1.3f},
                              {3.3f, 1.3f},
                              {3.0f, 6.0f},
                              {2.8f, 16.0f},
                              {3.0f, kTowerTop - 1.0f},
                              {3.0f, kTowerTop - 1.0f},
                              {3.8f, kTowerTop - 0.6f},
                              {3.8f, kTowerTop - 0.6f},
                              {3.8f, kTowerTop},
                              {3.8f, kTowerTop},
                              {2.6f, kTowerTop},
                              {2.6f, kTowerTop},
                              {2.4f, kTowerTop + 1.2f},
                              {1.2f, kTowerTop + 3.4f},
                              {0.0f, kTowerTop + 4.6f}};
    return latheMesh(profile, 64);
}

Demo::MeshPart stair()
{
    const Demo::MeshPart tread = bevelBoxMesh({2.5f, 0.22f, 1.1f}, 0.05f);
    const Demo::MeshPart post = boxMesh({0.12f, 1.0f, 0.12f});
    MeshBuilder b;
    for (int i = 0; i < kSteps; ++i) {
        const float step = float(i);
        const Core::Quaternion turn = axisAngle({0, 1, 0}, step * kStepAngle);
        b.append(tread, pose(onStair(step, 0.0f), turn));
        if (i % 2 == 0) b.append(post, pose(onStair(step, 0.55f, kStairRadius + 1.1f), turn));
    }
    // The hand rail rides on the posts.
    b.append(tubeMesh([](float s) { return onStair(s * float(kSteps - 1), 1.05f, kStairRadius + 1.1f); },
                      [](float) { return 0.07f; }, 240, 8));
    return b.part();
}

// The round paved floor the tower stands on; beyond its edge the drawing
// stops at the bare paper, as a sketch does (and the renderer shades only
// what is drawn).
Demo::MeshPart plaza()
{
    const Point2 profile[] = {{kPlazaRadius, -0.5f}, {kPlazaRadius, 0}, {kPlazaRadius, 0}, {0, 0}};
    return latheMesh(profile, 64);
}

} // namespace

Demo::SceneDescription scene01Scene()
{
    SceneBuilder s(kLength);
    const Colour glow{255, 226, 170};
    // Each surface hatched in its own direction: the stone rising right, the
    // treads along their planks, the ground rising left.
    const std::int32_t stone = s.material(hatchMaterial("towerStone", {214, 204, 184}, 0));
    const std::int32_t wood = s.material(hatchMaterial("stairWood", {176, 150, 118}, 2));
    const std::int32_t ground = s.material(hatchMaterial("hatchGround", {190, 188, 176}, 1));
    const std::int32_t core = s.material(celMaterial("moteCore", {255, 250, 235}, &glow));
    const std::int32_t halo = s.material(glowMaterial("moteHalo", glow, 1.5f, true));
    const std::int32_t ringGlow = s.material(glowMaterial("orbitRing", {150, 200, 255}, 1.2f));

    s.node("tower", s.mesh(tower()), stone, pose({0, 0, 0}));
    s.node("stair", s.mesh(stair()), wood, pose({0, 0, 0}));
    // Drawn after what stands on it: the depth test then rejects the covered
    // part before shading it.
    s.node("ground", s.mesh(plaza()), ground, pose({0, 0, 0}));

    s.node("moteCore", s.mesh(sphereMeshPart(8, 12, 0.25f)), core, [](float t) { return pose(moteAt(t)); });
    s.node("moteHalo", s.mesh(crossedQuadsMesh(1.8f)), halo, [](float t) {
        return pose(moteAt(t), axisAngle({0, 1, 0}, t * 1.3f));
    });

    // Three tilted rings circling the crown, each on its own axis and pace.
    const std::int32_t ring = s.mesh(torusMesh(1.0f, 0.03f, 64, 4));
    for (int k = 0; k < 3; ++k) {
        s.node("orbitRing" + std::to_string(k), ring, ringGlow, [k](float t) {
            const float tilt = 0.35f + 0.3f * float(k);
            const Core::Quaternion spin = axisAngle({0, 1, 0}, t * (0.9f + 0.4f * float(k)) + float(k) * 2.1f);
            const Core::Quaternion lean = axisAngle({1, 0, 0.3f * float(k)}, tilt);
            const float radius = 5.0f + 1.3f * float(k);
            return pose({0, kTowerTop + 1.5f + 0.7f * float(k), 0}, thenRotate(lean, spin), {radius, radius, radius});
        });
    }

    // The mote's warm light climbs with it; a cool key light from high up
    // throws the hatched shadows across the tower.
    s.light(
        [](float t) {
            return moteAt(t) + Core::Vector3{0.8f, 0.4f, 0.8f};
        },
        [](float) {
            return Core::Vector3{1.1f, 0.9f, 0.65f};
        },
        [](float) { return 14.0f; });
    s.light(
        [](float) {
            return Core::Vector3{-30, 50, 25};
        },
        [](float) {
            return Core::Vector3{0.7f, 0.72f, 0.8f};
        },
        [](float) { return 300.0f; });

    // SceneCam: from the foot of the tower, craning up the stair past the
    // mote, rising with it.
    s.camera("SceneCam", [](float t) {
        const Core::Vector3 mote = moteAt(t);
        const float a = moteStep(t) * kStepAngle - 0.9f;
        const Core::Vector3 eye{17.0f * std::cos(a), mote.y - 4.0f + 0.5f * t, -17.0f * std::sin(a)};
        return CameraShot{eye, lerp(mote, Core::Vector3{0, mote.y + 3.0f, 0}, 0.35f), 1.05f};
    });
    // sceneCam02: from above the crown, looking down the spiral at the mote
    // climbing towards the camera, the rings sweeping through the frame.
    s.camera("sceneCam02", [](float t) {
        const Core::Vector3 mote = moteAt(t);
        const float a = 0.6f + 0.12f * t;
        const Core::Vector3 eye{15.0f * std::cos(a), kTowerTop + 7.0f - 0.4f * t, 15.0f * std::sin(a)};
        return CameraShot{eye, lerp(mote, Core::Vector3{0, mote.y, 0}, 0.4f), 1.0f};
    });
    return s.finish();
}

} // namespace ORV::Content
