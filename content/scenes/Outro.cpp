// A quiet place at dusk: the mote drifts down into a lantern, which wakes
// warm, beside a paper sign carrying the credits. The camera settles on the
// sign and lantern by twelve seconds, where the picture holds.
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

constexpr float kLength = 12.5f;
constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kSettle = 8.0f; // the mote is in the lantern
const Core::Vector3 kLantern{-1.6f, 3.55f, 0.4f};
const Core::Vector3 kSign{2.0f, 2.3f, 0.0f};
constexpr float kSignTurn = -0.22f; // radians about y, towards the camera

Core::Vector3 moteAt(float t)
{
    static const Spline path({{-9, 11, -8}, {-4, 8, -2}, {-5, 5.5f, 3}, {-2.5f, 5.2f, 2.0f}, kLantern});
    const Core::Vector3 p = path.at(smoother(t / kSettle));
    const float wander = 1.0f - smooth(t / kSettle);
    return p + Core::Vector3{0.4f * std::sin(t * 1.7f), 0.3f * std::sin(t * 2.3f), 0} * wander;
}

float lanternGlow(float t)
{
    return smooth((t - kSettle + 0.3f) / 1.2f);
}

Demo::MeshPart lanternMesh()
{
    MeshBuilder b;
    // Post from the ground to the lantern's foot.
    const Point2 post[] = {{0.22f, 0},   {0.16f, 2.9f}, {0.16f, 2.9f}, {0.3f, 2.9f},
                           {0.3f, 2.9f}, {0.3f, 3.05f}, {0.3f, 3.05f}, {0, 3.05f}};
    b.append(latheMesh(post, 12));
    // The lantern's roof and base, with four corner bars between them.
    const Point2 roof[] = {{0.55f, 0}, {0.7f, 0.05f}, {0.7f, 0.05f}, {0.35f, 0.45f}, {0.12f, 0.6f}, {0, 0.75f}};
    b.append(latheMesh(roof, 8), pose({0, 4.0f, 0}));
    const Point2 base[] = {{0, 0}, {0.5f, 0}, {0.5f, 0}, {0.5f, 0.12f}, {0.5f, 0.12f}, {0, 0.12f}};
    b.append(latheMesh(base, 8), pose({0, 3.05f, 0}));
    const Demo::MeshPart bar = boxMesh({0.07f, 0.9f, 0.07f});
    for (int k = 0; k < 4; ++k) {
        const float a = kPi / 4 + float(k) * kPi / 2;
        b.append(bar, pose({0.44f * std::cos(a), 3.6f, 0.44f * std::sin(a)}));
    }
    // A ring to hang it by.
    b.append(torusMesh(0.14f, 0.03f, 16, 4), pose({0, 4.85f, 0}, axisAngle({1, 0, 0}, kPi / 2)));
    return b.part();
}

Demo::MeshPart signMesh()
{
    MeshBuilder b;
    b.append(bevelBoxMesh({4.4f, 2.8f, 0.16f}, 0.05f));
    for (const float x : {-1.8f, 1.8f}) b.append(boxMesh({0.18f, 2.4f, 0.18f}), pose({x, -2.3f + 0.9f, -0.05f}));
    // A little roof over the board.
    b.append(boxMesh({4.8f, 0.12f, 0.6f}), pose({0, 1.5f, 0.1f}, axisAngle({1, 0, 0}, 0.25f)));
    return b.part();
}

Demo::MeshPart hillsAndTrees()
{
    MeshBuilder b;
    const Demo::MeshPart hill = sphereMeshPart(10, 20, 1.0f);
    b.append(hill, pose({-30, -6, -45}, {}, {28, 12, 16}));
    b.append(hill, pose({22, -8, -55}, {}, {34, 14, 18}));
    const Point2 tree[] = {{0.25f, 0},   {0.25f, 1.2f}, {0.25f, 1.2f}, {1.6f, 1.2f},
                           {0.9f, 3.2f}, {1.2f, 3.2f},  {0.5f, 5.2f},  {0, 6.0f}};
    const Demo::MeshPart one = latheMesh(tree, 9);
    for (unsigned i = 0; i < 9; ++i) {
        const float x = -26.0f + 52.0f * (float(i) + hash01(i + 11) * 0.6f) / 9.0f;
        const float z = -14.0f - 14.0f * hash01(i + 40);
        const float h = 0.8f + 0.7f * hash01(i + 70);
        b.append(one, pose({x, 0, z}, axisAngle({0, 1, 0}, float(i)), {h, h, h}));
    }
    return b.part();
}

CameraShot shotAt(float t)
{
    const float f = smoother(t / 11.5f);
    const Core::Vector3 eye = lerp(Core::Vector3{-6, 7, 15}, Core::Vector3{1.2f, 2.9f, 9.2f}, f);
    const Core::Vector3 rest{1.0f, 2.6f, 0.2f};
    const Core::Vector3 target = lerp(moteAt(t), rest, smooth((t - 2.0f) / 8.0f));
    return CameraShot{eye, target, lerp(1.1f, 0.85f, f)};
}

} // namespace

Demo::SceneDescription outroScene()
{
    SceneBuilder s(kLength);
    const Colour glow{255, 226, 170};
    const std::int32_t grass = s.material(celMaterial("duskGrass", {86, 110, 96}));
    const std::int32_t hills = s.material(celMaterial("duskHills", {62, 74, 100}));
    const std::int32_t iron = s.material(celMaterial("lanternIron", {48, 44, 52}));
    const std::int32_t wood = s.material(celMaterial("signWood", {150, 112, 76}));
    const std::int32_t card = s.material(cardMaterial("credits", MaterialNames::creditsImage));
    const std::int32_t core = s.material(celMaterial("moteCore", {255, 250, 235}, &glow));
    const std::int32_t halo = s.material(glowMaterial("moteHalo", glow, 1.5f, true));
    const std::int32_t lanternLight = s.material(glowMaterial("lanternLight", {255, 200, 120}, 1.6f, true));

    s.node("lantern", s.mesh(lanternMesh()), iron, pose({kLantern.x, 0, kLantern.z}));
    const Core::Quaternion turn = axisAngle({0, 1, 0}, kSignTurn);
    s.node("sign", s.mesh(signMesh()), wood, pose(kSign, turn));
    // The card on the board's face: uv (0, 0) at its top left.
    s.node("creditsCard", s.mesh(quadMesh(4.0f, 2.4f)), card, pose(kSign + rotate(turn, {0, 0, 0.09f}), turn));
    // Drawn after what stands before them: the depth test then rejects the covered
    // part before shading it.
    s.node("ground", s.mesh(groundMesh(160, 16, 12)), grass, pose({0, 0, 0}));
    s.node("hillsAndTrees", s.mesh(hillsAndTrees()), hills, pose({0, 0, 0}));

    s.node("moteCore", s.mesh(sphereMeshPart(8, 12, 0.2f)), core, [](float t) { return pose(moteAt(t)); });
    // The glows face the one camera that sees this scene.
    s.node("moteHalo", s.mesh(quadMesh(1.5f, 1.5f)), halo, [](float t) {
        return pose(moteAt(t), facing(moteAt(t), shotAt(t).eye),
                    Core::Vector3{1, 1, 1} * (1.0f - 0.4f * lanternGlow(t)));
    });
    s.node("lanternGlow", s.mesh(quadMesh(1.8f, 1.8f)), lanternLight, [](float t) {
        const float g = lanternGlow(t);
        return pose(kLantern, facing(kLantern, shotAt(t).eye),
                    Core::Vector3{1, 1, 1} * std::max(0.001f, g * (1.0f + 0.06f * std::sin(t * 5.0f))));
    });

    // The mote's light becomes the lantern's; a cool dusk sky light from
    // behind the hills.
    s.light([](float t) { return moteAt(t); },
            [](float t) {
                return Core::Vector3{1.0f, 0.82f, 0.55f} * (0.8f + 0.6f * lanternGlow(t));
            },
            [](float t) { return 10.0f + 6.0f * lanternGlow(t); });
    s.light(
        [](float) {
            return Core::Vector3{20, 35, -40};
        },
        [](float) {
            return Core::Vector3{0.45f, 0.5f, 0.7f};
        },
        [](float) { return 300.0f; });

    // Camera01: follows the mote down from the sky, then settles square on
    // the sign with the lantern beside it.
    s.camera("Camera01", shotAt);
    return s.finish();
}

} // namespace ORV::Content
