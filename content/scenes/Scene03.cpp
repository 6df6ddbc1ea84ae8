// A city of paper blocks unfolding out of the ground in waves from its centre.
// At ten seconds (the big flash) every window and street lights at once; the
// second view circles the lit city from above.
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

constexpr float kLength = 20.5f;
constexpr int kGrid = 10; // blocks per side
constexpr float kCell = 5.0f;
constexpr int kWaves = 7;
constexpr float kLightsOn = 10.0f;
// Switches flip a little early so that the sample at ten seconds, whichever
// side of 10 its time rounds to, is already on (the view opens there).
constexpr float kSwitch = kLightsOn - 0.05f;
constexpr float kPi = std::numbers::pi_v<float>;

float cellCentre(int i)
{
    return (float(i) - float(kGrid - 1) * 0.5f) * kCell;
}

int waveOf(int i, int j)
{
    const float d = std::hypot(cellCentre(i), cellCentre(j));
    return std::min(kWaves - 1, int(d / (kCell * 1.1f)));
}

float riseOf(int wave, float t)
{
    const float start = -0.4f + 1.05f * float(wave);
    return std::max(0.001f, easeOutBack((t - start) / 1.1f));
}

struct Block {
    Core::Vector3 centre; // on the ground
    Core::Vector3 size;
    bool tower; // a round tower with a dome instead of a box
};

Block blockAt(int i, int j)
{
    const unsigned seed = unsigned(i * 31 + j * 7 + 3);
    Block b;
    const float w = 2.4f + 1.0f * hash01(seed), d = 2.4f + 1.0f * hash01(seed + 1);
    // Taller near the centre, a skyline that falls away to the edges.
    const float nearness = 1.0f - std::hypot(cellCentre(i), cellCentre(j)) / (kCell * float(kGrid) * 0.72f);
    const float h = 2.0f + (3.0f + 9.0f * hash01(seed + 2)) * std::max(0.2f, nearness);
    b.centre = {cellCentre(i), 0, cellCentre(j)};
    b.size = {w, h, d};
    b.tower = hash01(seed + 5) < 0.12f;
    return b;
}

void addBlock(MeshBuilder& m, const Block& b)
{
    if (b.tower) {
        const float r = std::min(b.size.x, b.size.z) * 0.5f, h = b.size.y;
        const Point2 profile[] = {
            {r, 0},    {r, h}, {r, h}, {r * 1.1f, h}, {r * 1.1f, h}, {r * 0.9f, h + r * 0.5f}, {r * 0.5f, h + r * 0.9f},
            {0, h + r}};
        m.append(latheMesh(profile, 16), pose(b.centre));
        return;
    }
    m.append(bevelBoxMesh(b.size, 0.18f), pose(b.centre + Core::Vector3{0, b.size.y * 0.5f, 0}));
    // A roof cap, slightly smaller, so the skyline has steps.
    if (b.size.y > 6.0f) {
        const Core::Vector3 cap{b.size.x * 0.6f, 1.2f, b.size.z * 0.6f};
        m.append(bevelBoxMesh(cap, 0.12f), pose(b.centre + Core::Vector3{0, b.size.y + 0.6f, 0}));
    }
}

// Window panes just proud of a box block's four walls, in rows.
void addWindows(MeshBuilder& m, const Block& b)
{
    if (b.tower) return;
    const Demo::MeshPart pane = quadMesh(0.45f, 0.6f);
    const int rows = int(b.size.y / 1.6f);
    for (int face = 0; face < 4; ++face) {
        const float a = float(face) * kPi / 2;
        const float half = (face % 2 == 0 ? b.size.z : b.size.x) * 0.5f + 0.03f;
        const float span = face % 2 == 0 ? b.size.x : b.size.z;
        const int columns = std::max(1, int(span / 1.1f));
        const Core::Quaternion facing = axisAngle({0, 1, 0}, a);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                if (hash01(unsigned(face * 1000 + r * 37 + c * 11) + unsigned(b.centre.x * 13 + b.centre.z * 7)) < 0.3f)
                    continue; // some windows stay dark
                const float x = (float(c) + 0.5f) / float(columns) * span - span * 0.5f;
                const Core::Vector3 local{x, 1.1f + float(r) * 1.6f, half};
                m.append(pane, pose(b.centre + rotate(facing, local), facing));
            }
    }
}

Core::Vector3 moteAt(float t)
{
    // Circles high over the centre, swooping down to light the city at ten.
    const float a = 0.45f * t;
    const float height = 22.0f - 12.0f * smooth((t - 7.0f) / 3.0f) + 6.0f * smooth((t - 11.0f) / 4.0f);
    const float radius = 14.0f - 12.0f * smooth((t - 7.0f) / 3.0f) + 10.0f * smooth((t - 11.0f) / 4.0f);
    return {radius * std::cos(a), height, radius * std::sin(a)};
}

} // namespace

Demo::SceneDescription scene03Scene()
{
    SceneBuilder s(kLength);
    const Colour glow{255, 226, 170};
    const std::int32_t paper = s.material(celMaterial("cityPaper", {226, 216, 196}));
    const std::int32_t street = s.material(celMaterial("street", {88, 92, 110}));
    const std::int32_t window = s.material(glowMaterial("windowLight", {255, 214, 130}, 1.2f));
    const std::int32_t lamp = s.material(glowMaterial("streetGlow", {255, 170, 90}, 1.0f));
    const std::int32_t core = s.material(celMaterial("moteCore", {255, 250, 235}, &glow));
    const std::int32_t halo = s.material(glowMaterial("moteHalo", glow, 1.5f, true));

    for (int wave = 0; wave < kWaves; ++wave) {
        MeshBuilder blocks, windows;
        for (int i = 0; i < kGrid; ++i)
            for (int j = 0; j < kGrid; ++j) {
                if (waveOf(i, j) != wave) continue;
                const Block b = blockAt(i, j);
                addBlock(blocks, b);
                addWindows(windows, b);
            }
        if (blocks.vertexCount() == 0) continue;
        s.node("blocks" + std::to_string(wave), s.mesh(blocks.part()), paper, [wave](float t) {
            return pose({0, 0, 0}, {}, {1, riseOf(wave, t), 1});
        });
        // The windows ride with their blocks and are shrunk to nothing until
        // the city lights up (hidden below the ground they would still be
        // rasterised and depth-tested, thousands of them).
        if (windows.vertexCount() != 0)
            s.node("windows" + std::to_string(wave), s.mesh(windows.part()), window, [wave](float t) {
                const float on = t < kSwitch ? 0.001f : 1.0f;
                return pose({0, 0, 0}, {}, {on, riseOf(wave, t) * on, on});
            });
    }

    // Strips of light down the middle of every street, switched on with the
    // windows.
    const std::int32_t strips = s.mesh([] {
        MeshBuilder b;
        const Demo::MeshPart strip = quadMesh(0.6f, kCell * float(kGrid));
        const Core::Quaternion flat = axisAngle({1, 0, 0}, -kPi / 2);
        for (int k = 0; k <= kGrid; ++k) {
            const float at = (float(k) - float(kGrid) * 0.5f) * kCell;
            b.append(strip, pose({at, 0.05f, 0}, flat));
            b.append(strip, pose({0, 0.06f, at}, thenRotate(flat, axisAngle({0, 1, 0}, kPi / 2))));
        }
        return b.part();
    }());
    s.node("streetGlow", strips, lamp, [](float t) {
        const float on = t < kSwitch ? 0.001f : 1.0f;
        return pose({0, 0, 0}, {}, {on, on, on});
    });
    // Drawn after what stands on it: the depth test then rejects the covered
    // part before shading it.
    s.node("ground", s.mesh(groundMesh(240, 12, 16)), street, pose({0, 0, 0}));

    s.node("moteCore", s.mesh(sphereMeshPart(8, 12, 0.3f)), core, [](float t) {
        return pose(moteAt(t), {}, Core::Vector3{1, 1, 1} * (1.0f + 1.5f * pulse(t, kLightsOn, 0.4f)));
    });
    s.node("moteHalo", s.mesh(crossedQuadsMesh(2.2f)), halo, [](float t) {
        return pose(moteAt(t), axisAngle({0, 1, 0}, t),
                    Core::Vector3{1, 1, 1} * (1.0f + 3.0f * pulse(t, kLightsOn, 0.5f)));
    });

    // A low warm sun over the paper city until the flash, when night falls
    // and the city lights up: the windows and streets glow, and the mote's
    // light is the only lamp. The sun is then switched off by its radius as
    // well as its colour, so that its shading pass leaves every pixel at once.
    s.light(
        [](float) {
            return Core::Vector3{-60, 45, 35};
        },
        [](float t) {
            return t < kSwitch ? Core::Vector3{0.95f, 0.88f, 0.78f} : Core::Vector3{};
        },
        [](float t) { return t < kSwitch ? 400.0f : 0.01f; });
    s.light([](float t) { return moteAt(t); },
            [](float t) {
                const float on = t < kSwitch ? 0.6f : 0.8f + 1.2f * pulse(t, kLightsOn, 0.6f);
                return Core::Vector3{1.0f, 0.8f, 0.55f} * on;
            },
            [](float t) { return t < kSwitch ? 18.0f : 34.0f; });

    // sceneCam (0-8 s): down a street at roof height as the blocks unfold
    // around the camera, then rising to see the waves reach the edge.
    s.camera("sceneCam", [](float t) {
        const float f = smooth(t / 8.0f);
        const Core::Vector3 eye{lerp(-36.0f, -22.0f, f), lerp(3.0f, 20.0f, f * f), lerp(0.2f, 14.0f, f * f)};
        const Core::Vector3 target{lerp(-14.0f, 0.0f, f), lerp(3.0f, 2.0f, f), lerp(4.0f, 0.0f, f)};
        return CameraShot{eye, target, 1.2f};
    });
    // Camera01 (10-20 s): the lit city from above, circling slowly.
    s.camera("Camera01", [](float t) {
        const float a = 0.9f + 0.07f * t;
        const Core::Vector3 eye{46.0f * std::cos(a), 24.0f + 0.5f * (t - 10.0f), 46.0f * std::sin(a)};
        return CameraShot{eye, {0, 3, 0}, 1.0f};
    });
    return s.finish();
}

} // namespace ORV::Content
