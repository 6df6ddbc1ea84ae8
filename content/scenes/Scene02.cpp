// A slow machine: meshing gears, a pendulum keeping time and pistons worked
// by a crankshaft. The mote drifts along the machine and each beam of light
// switches on as it passes, left to right.
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

constexpr float kLength = 8.5f;
constexpr float kPi = std::numbers::pi_v<float>;

struct Gear {
    int teeth;
    float root, tip;
    Core::Vector3 centre;
    float ratio; // turns per turn of the drive wheel (signed: meshing reverses)
    float phase; // radians, so that teeth sit between teeth
};

// The drive wheel (first) and the gears it turns; centre distances are the
// sums of pitch radii (half-way between root and tip).
const Gear kGears[] = {
    {18, 2.7f, 3.1f, {0, 6, 0}, 1.0f, 0.0f},
    {11, 1.55f, 1.95f, {4.65f, 6, 0}, -18.0f / 11.0f, kPi / 11.0f},
    {26, 4.0f, 4.4f, {-7.1f, 6, 0}, -18.0f / 26.0f, kPi / 26.0f},
    {11, 1.55f, 1.95f, {4.65f, 9.65f, 0}, 18.0f / 11.0f, 0.0f},
};

float driveAngle(float t)
{
    return 0.28f * t; // radians of the drive wheel: slow and heavy
}

Core::Vector3 moteAt(float t)
{
    const float x = lerp(-13.0f, 11.5f, smoother(t / 8.2f) * 0.35f + t / 8.2f * 0.65f);
    return {x, 8.0f + 1.6f * std::sin(t * 1.4f), 2.6f + 0.5f * std::cos(t * 1.1f)};
}

constexpr float kBeamX[] = {-11.0f, -6.5f, -2.0f, 2.5f, 7.0f, 11.5f};

float beamOn(int k, float t)
{
    // Find when the mote passes the beam: the mote moves right monotonically.
    float passes = kLength;
    for (float u = 0.0f; u < kLength; u += 0.01f)
        if (moteAt(u).x >= kBeamX[k]) {
            passes = u;
            break;
        }
    return std::max(0.001f, easeOutBack((t - passes) / 0.4f));
}

// The crankshaft runs along x above the pistons; each piston slides on a
// vertical line under its crank.
const Core::Vector3 kShaft{-0.8f, 8.6f, 2.6f};
constexpr float kCrank = 0.6f; // crank radius
constexpr float kRodLength = 2.2f;
constexpr float kPistonHeight = 4.6f; // from the piston's foot to its head
constexpr float kPistonX[] = {-3.0f, -0.8f, 1.4f};

float crankAngle(float t)
{
    return 3.0f * driveAngle(t);
}

float crankPhase(int k)
{
    return float(k) * 2.0f * kPi / 3.0f;
}

Core::Vector3 crankPin(int k, float t)
{
    const float a = crankAngle(t) + crankPhase(k);
    return {kPistonX[k], kShaft.y + kCrank * std::cos(a), kShaft.z + kCrank * std::sin(a)};
}

Core::Vector3 pistonTop(int k, float t)
{
    const Core::Vector3 pin = crankPin(k, t);
    const float dz = pin.z - kShaft.z;
    return {kPistonX[k], pin.y - std::sqrt(kRodLength * kRodLength - dz * dz), kShaft.z};
}

Demo::MeshPart crankshaftMesh()
{
    // In the shaft's own frame: the axis along x through the origin, each
    // crank's pin at radius kCrank turned by its phase about x.
    MeshBuilder b;
    b.append(tubeMesh(
        [](float u) {
            return Core::Vector3{-3.0f + 6.0f * u, 0, 0};
        },
        [](float) { return 0.16f; }, 1, 12));
    const Demo::MeshPart web = bevelBoxMesh({0.16f, kCrank + 0.4f, 0.4f}, 0.04f);
    const Demo::MeshPart pin = tubeMesh(
        [](float u) {
            return Core::Vector3{-0.3f + 0.6f * u, 0, 0};
        },
        [](float) { return 0.11f; }, 1, 10);
    for (int k = 0; k < 3; ++k) {
        const Core::Quaternion turn = axisAngle({1, 0, 0}, crankPhase(k));
        const float x = kPistonX[k] - kShaft.x;
        for (const float side : {-0.3f, 0.3f}) b.append(web, pose(rotate(turn, {x + side, kCrank * 0.5f, 0}), turn));
        b.append(pin, pose(rotate(turn, {x, kCrank, 0}), turn));
    }
    return b.part();
}

Demo::MeshPart gearMesh(const Gear& g)
{
    MeshBuilder b;
    const std::vector<Point2> outline = gearOutline(g.teeth, g.root, g.tip);
    b.append(extrudeMesh(outline, 0.6f, 0.1f));
    const Point2 hub[] = {{0, -0.6f}, {0.7f, -0.6f}, {0.7f, -0.6f}, {0.7f, 0.6f}, {0.7f, 0.6f}, {0, 0.6f}};
    b.append(latheMesh(hub, 16), pose({}, axisAngle({1, 0, 0}, kPi / 2)));
    // Spokes cut the wheel's face into a readable turning shape.
    const Demo::MeshPart spoke = boxMesh({g.root * 1.8f, 0.35f, 0.8f});
    for (int k = 0; k < 3; ++k) b.append(spoke, pose({}, axisAngle({0, 0, 1}, float(k) * kPi / 3)));
    return b.part();
}

Demo::MeshPart pendulumMesh()
{
    MeshBuilder b;
    b.append(tubeMesh([](float s) { return Core::Vector3{0, -6.0f * s, 0}; }, [](float) { return 0.09f; }, 1, 8));
    b.append(sphereMeshPart(10, 16, 0.9f), pose({0, -6.4f, 0}, {}, {1, 1, 0.45f}));
    b.append(sphereMeshPart(6, 10, 0.25f));
    return b.part();
}

// The floor and back wall the machine stands against.
Demo::MeshPart backdropMesh()
{
    MeshBuilder b;
    b.append(boxMesh({34, 0.8f, 6}), pose({0, 0.4f, -1}));
    b.append(boxMesh({34, 16, 0.6f}), pose({0, 8, -2.2f}));
    return b.part();
}

Demo::MeshPart frameMesh()
{
    MeshBuilder b;
    for (const float x : {-16.0f, 16.0f}) b.append(boxMesh({1.2f, 16, 1.2f}), pose({x, 8, -1.4f}));
    // Axle bosses for the gears.
    const Point2 boss[] = {{0, 0}, {0.4f, 0}, {0.4f, 0}, {0.4f, 2.2f}, {0.4f, 2.2f}, {0, 2.2f}};
    for (const Gear& g : kGears)
        b.append(latheMesh(boss, 10), pose(g.centre + Core::Vector3{0, 0, -2.0f}, axisAngle({1, 0, 0}, kPi / 2)));
    // Bearing posts carrying the crankshaft's ends.
    for (const float x : {kShaft.x - 3.3f, kShaft.x + 3.3f}) {
        b.append(bevelBoxMesh({0.4f, kShaft.y - 0.6f, 0.4f}, 0.05f),
                 pose({x, 0.8f + (kShaft.y - 0.8f) * 0.5f, kShaft.z}));
        const Point2 bearing[] = {{0.3f, -0.2f}, {0.3f, 0.2f}, {0.3f, 0.2f}, {0, 0.2f}};
        b.append(latheMesh(bearing, 12), pose({x, kShaft.y, kShaft.z}, axisAngle({0, 0, 1}, kPi / 2)));
    }
    // Piston housings: open-topped cylinders.
    const Point2 housing[] = {{0.8f, 0}, {0.8f, 2.6f}, {0.8f, 2.6f}, {0.6f, 2.6f}, {0.6f, 2.6f}, {0.6f, 0.5f}};
    for (const float x : kPistonX) b.append(latheMesh(housing, 16), pose({x, 0.8f, kShaft.z}));
    return b.part();
}

} // namespace

Demo::SceneDescription scene02Scene()
{
    SceneBuilder s(kLength);
    const Colour glow{255, 226, 170};
    const std::int32_t wall = s.material(celMaterial("workshopWall", {58, 62, 80}));
    const std::int32_t iron = s.material(celMaterial("machineIron", {74, 84, 104}));
    const std::int32_t brass = s.material(celMaterial("brass", {212, 164, 72}));
    const std::int32_t copper = s.material(celMaterial("copper", {186, 104, 70}));
    const std::int32_t steel = s.material(celMaterial("steel", {170, 180, 190}));
    const std::int32_t core = s.material(celMaterial("moteCore", {255, 250, 235}, &glow));
    const std::int32_t halo = s.material(glowMaterial("moteHalo", glow, 1.5f, true));
    const std::int32_t beam = s.material(glowMaterial("beam", {120, 210, 255}, 1.3f));

    s.node("frame", s.mesh(frameMesh()), iron, pose({0, 0, 0}));
    for (std::size_t i = 0; i < std::size(kGears); ++i) {
        const Gear g = kGears[i];
        s.node("gear" + std::to_string(i), s.mesh(gearMesh(g)), i % 2 ? copper : brass, [g](float t) {
            return pose(g.centre, axisAngle({0, 0, 1}, driveAngle(t) * g.ratio + g.phase));
        });
    }

    s.node("pendulum", s.mesh(pendulumMesh()), brass, [](float t) {
        return pose({11.5f, 14.5f, 1.0f}, axisAngle({0, 0, 1}, 0.42f * std::sin(t * 2.0f * kPi / 2.8f + 0.6f)));
    });

    // Three pistons hung from a crankshaft by connecting rods, their cranks a
    // third of a turn apart: the shaft turns and the pistons slide in their
    // housings as a real slider-crank does.
    s.node("crankshaft", s.mesh(crankshaftMesh()), steel, [](float t) {
        return pose(kShaft, axisAngle({1, 0, 0}, crankAngle(t)));
    });
    const std::int32_t piston = s.mesh([] {
        const Point2 profile[] = {{0, 0},        {0.55f, 0},    {0.55f, 0},   {0.55f, 0.9f}, {0.55f, 0.9f},
                                  {0.2f, 0.9f},  {0.2f, 0.9f},  {0.2f, 4.2f}, {0.2f, 4.2f},  {0.35f, 4.2f},
                                  {0.35f, 4.6f}, {0.35f, 4.6f}, {0, 4.6f}};
        return latheMesh(profile, 14);
    }());
    const std::int32_t link = s.mesh(tubeMesh(
        [](float u) {
            return Core::Vector3{0, kRodLength * u, 0};
        },
        [](float) { return 0.1f; }, 1, 8));
    for (int k = 0; k < 3; ++k) {
        s.node("piston" + std::to_string(k), piston, steel, [k](float t) {
            const Core::Vector3 top = pistonTop(k, t);
            return pose(top - Core::Vector3{0, kPistonHeight, 0});
        });
        // The rod runs from the piston's head up to its crank pin.
        s.node("connectingRod" + std::to_string(k), link, iron, [k](float t) {
            const Core::Vector3 top = pistonTop(k, t), pin = crankPin(k, t);
            return pose(top, axisAngle({1, 0, 0}, std::atan2(pin.z - top.z, pin.y - top.y)));
        });
    }

    // Beams rise from the floor to the roof as the mote reaches them.
    const std::int32_t beamMesh = s.mesh([] {
        MeshBuilder b;
        b.append(boxMesh({0.22f, 15.0f, 0.22f}), pose({0, 7.5f, 0}));
        b.append(crossedQuadsMesh(1.4f), pose({0, 0.4f, 0}));
        return b.part();
    }());
    for (int k = 0; k < int(std::size(kBeamX)); ++k)
        s.node("beam" + std::to_string(k), beamMesh, beam, [k](float t) {
            return pose({kBeamX[k], 0.8f, 1.2f}, {}, {1, beamOn(k, t), 1});
        });
    // Drawn after the machine in front of it: the depth test then rejects the
    // covered part before shading it.
    s.node("backdrop", s.mesh(backdropMesh()), wall, pose({0, 0, 0}));

    s.node("moteCore", s.mesh(sphereMeshPart(8, 12, 0.25f)), core, [](float t) { return pose(moteAt(t)); });
    s.node("moteHalo", s.mesh(crossedQuadsMesh(1.8f)), halo, [](float t) {
        return pose(moteAt(t), axisAngle({0, 1, 0}, t));
    });

    s.light(
        [](float t) {
            return moteAt(t) + Core::Vector3{0, 0.5f, 1.5f};
        },
        [](float) {
            return Core::Vector3{1.1f, 0.9f, 0.65f};
        },
        [](float) { return 12.0f; });
    s.light(
        [](float) {
            return Core::Vector3{-20, 30, 40};
        },
        [](float) {
            return Core::Vector3{0.75f, 0.75f, 0.8f};
        },
        [](float) { return 300.0f; });

    // Camera01: the whole machine, a slow crane across it after the mote.
    s.camera("Camera01", [](float t) {
        const float f = smooth(t / 8.0f);
        const Core::Vector3 eye = lerp(Core::Vector3{-10, 9, 18}, Core::Vector3{8, 7.5f, 17}, f);
        return CameraShot{eye, {moteAt(t).x * 0.5f, 6.5f, 0}, 1.15f};
    });
    // Camera02: close on the teeth and the beams, keeping pace with the mote.
    s.camera("Camera02", [](float t) {
        const Core::Vector3 mote = moteAt(t);
        const float x = std::clamp(mote.x, -7.0f, 8.0f);
        return CameraShot{{x + 3.5f, 4.5f + 0.3f * t, 11.0f}, {x + 0.5f, 6.5f, 0}, 0.95f};
    });
    return s.finish();
}

} // namespace ORV::Content
