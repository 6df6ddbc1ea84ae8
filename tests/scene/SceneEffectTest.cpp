// Scenes as drawables: building from a written scene file, poses, lights and
// cameras from the animations, the node matrix, material slots, drawing by
// render pass, scene views and the scene-global effect values.
#include "scene/SceneEffect.h"

#include "console/Console.h"
#include "content/scenewriter/SceneWriter.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "resources/Material.h"
#include "resources/Model.h"
#include "resources/Shader.h"
#include "scene/SceneFile.h"
#include "scene/SceneGlobals.h"
#include "scene/SceneView.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace ORV;
using namespace ORV::Demo;

namespace {

constexpr float kHalfSqrt2 = 0.70710678f;

std::int32_t transformAnimation(SceneDescription& d, const std::vector<Core::Transform>& poses)
{
    std::vector<float> flat;
    for (const Core::Transform& pose : poses) {
        float values[Core::Transform::floatCount];
        pose.toFloats(values);
        flat.insert(flat.end(), values, values + Core::Transform::floatCount);
    }
    return Content::appendSampledAnimation(d, Core::TrackValueKind::Transform, flat);
}

std::int32_t scalarAnimation(SceneDescription& d, std::vector<float> samples)
{
    return Content::appendSampledAnimation(d, Core::TrackValueKind::Scalar, samples);
}

std::int32_t vectorAnimation(SceneDescription& d, std::vector<float> samples)
{
    return Content::appendSampledAnimation(d, Core::TrackValueKind::Vector3, samples);
}

MeshPart triangle(std::int32_t slot)
{
    MeshPart part;
    part.materialSlot = slot;
    part.vertices.resize(3);
    part.vertices[1].position = {1, 0, 0};
    part.vertices[2].position = {0, 1, 0};
    part.indices = {0, 1, 2};
    part.vertexCount = 3;
    part.indexCount = 3;
    return part;
}

MaterialRecord plainMaterial(const std::string& name)
{
    MaterialRecord m;
    m.name = name;
    m.effectName = "none.fx";
    return m;
}

// Two mesh groups (three parts, one part), a plain and a multi-material, two
// nodes, two lights and cameras "Camera01" (twice) and "Camera02".
SceneDescription sampleScene()
{
    SceneDescription d;
    d.meshGroups = {{triangle(0), triangle(4), triangle(5)}, {triangle(0)}};
    MaterialRecord multi;
    multi.name = "multi";
    multi.subMaterialCount = 3;
    multi.subMaterials = {0, 1, 2};
    d.materials = {plainMaterial("first"), multi, plainMaterial("third")};
    Core::Transform moved;
    moved.translation = {1, 2, 3};
    const std::int32_t still = transformAnimation(d, {moved});
    d.nodes = {{"multi-node", 0, 1, still, {}}, {"plain-node", 1, 0, still, {}}};
    const std::int32_t red = vectorAnimation(d, {1, 0, 0});
    const std::int32_t green = vectorAnimation(d, {0, 1, 0});
    const std::int32_t radius = scalarAnimation(d, {5});
    d.lights = {{still, red, radius}, {still, green, radius}};
    Core::Transform turned; // 90 degrees about +Y
    turned.translation = {1, 2, 3};
    turned.rotation = {0, kHalfSqrt2, 0, kHalfSqrt2};
    const std::int32_t turnedCamera = transformAnimation(d, {turned});
    const std::int32_t fov = scalarAnimation(d, {0.8f});
    d.cameras = {{"Camera01", still, fov}, {"Camera02", turnedCamera, fov}, {"Camera01", turnedCamera, fov}};
    return d;
}

std::string written(const SceneDescription& d)
{
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(Content::writeScene(out, d, error)) << error;
    return out.str();
}

// Records what the base class asks of its hooks.
class ProbeScene : public SceneEffect {
public:
    std::vector<std::string> created;
    std::vector<const Material*> drawnMaterials; // per model drawn, in order

    Material* createMaterial(const MaterialRecord& record) override
    {
        created.push_back(record.name);
        return SceneEffect::createMaterial(record);
    }
    void renderGroup(const ModelGroup& group) override
    {
        SceneEffect::renderGroup(group);
        for (const Model* model : group.models) drawnMaterials.push_back(model->material);
    }
};

void build(SceneEffect& scene, const SceneDescription& d, Material* defaultMaterial = nullptr)
{
    std::istringstream in(written(d));
    scene.build(in, defaultMaterial, "test.orv3d");
}

void expectNear(const Core::Vector3& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

// Models are made on a device, so every scene needs a display.
class SceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.createWindow(16, 16, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
    }
    void TearDown() override { sceneGlobals() = {}; }

    // Builds the scene with fallback as every plain material, draws it in the
    // ambient pass and returns the material of each model drawn, in order.
    std::vector<const Material*> materialsDrawnInAmbient(const SceneDescription& d, Material* fallback)
    {
        ProbeScene scene;
        build(scene, d, fallback);
        scene.update(0, 0);
        display.pushPass(ambientPass);
        scene.render(nullptr);
        display.popPass();
        return scene.drawnMaterials;
    }

    Display display;
};

TEST(NodeMatrix, ScaleSignTranslationAndScaleOrientation)
{
    Core::Transform t;
    t.translation = {1, 2, 3};
    t.scale = {2, 2, 2};
    Core::Matrix m = nodeMatrix(t);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(m.m[i][i], 2.0f);
    EXPECT_EQ(m.m[3][0], 1.0f);
    EXPECT_EQ(m.m[3][1], 2.0f);
    EXPECT_EQ(m.m[3][2], 3.0f);
    t.sign = -1;
    m = nodeMatrix(t);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(m.m[i][i], -2.0f);
    EXPECT_EQ(m.m[3][0], 1.0f) << "the sign does not flip the translation";

    // Scale 2 along an axis turned 45 degrees about +Z: (1, 1) doubles, (1, -1)
    // stays. The inverse and the forward scale orientation swapped would
    // double (1, -1) instead.
    Core::Transform oriented;
    oriented.scale = {2, 1, 1};
    const float s = std::sin(0.3926991f), c = std::cos(0.3926991f);
    oriented.scaleOrientation = {0, 0, s, c};
    m = nodeMatrix(oriented);
    const Core::Vector4 along = Core::transformPoint({1, 1, 0}, m);
    const Core::Vector4 across = Core::transformPoint({1, -1, 0}, m);
    EXPECT_NEAR(along.x, 2, 1e-5f);
    EXPECT_NEAR(along.y, 2, 1e-5f);
    EXPECT_NEAR(across.x, 1, 1e-5f);
    EXPECT_NEAR(across.y, -1, 1e-5f);
}

TEST(NodeMatrix, QuarterTurnsAboutEachAxisMoveTheOtherTwo)
{
    // Each row: a quarter turn (right-handed) and where it takes two points.
    const float s = 0.70710678f;
    struct Row {
        Core::Quaternion rotation;
        Core::Vector3 point, image;
    };
    const Row rows[] = {
        {{s, 0, 0, s}, {0, 1, 0}, {0, 0, 1}}, {{s, 0, 0, s}, {0, 0, 1}, {0, -1, 0}},
        {{0, s, 0, s}, {0, 0, 1}, {1, 0, 0}}, {{0, s, 0, s}, {1, 0, 0}, {0, 0, -1}},
        {{0, 0, s, s}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, s, s}, {0, 1, 0}, {-1, 0, 0}},
    };
    for (const Row& row : rows) {
        Core::Transform t;
        t.rotation = row.rotation;
        const Core::Vector4 p = Core::transformPoint(row.point, nodeMatrix(t));
        EXPECT_NEAR(p.x, row.image.x, 1e-5f) << row.rotation.x << row.rotation.y << row.rotation.z;
        EXPECT_NEAR(p.y, row.image.y, 1e-5f) << row.rotation.x << row.rotation.y << row.rotation.z;
        EXPECT_NEAR(p.z, row.image.z, 1e-5f) << row.rotation.x << row.rotation.y << row.rotation.z;
    }
}

TEST_F(SceneTest, ListsFollowTheFileAndMaterialsAreMadeForPlainRecordsOnly)
{
    ProbeScene scene;
    Material fallback;
    build(scene, sampleScene(), &fallback);
    ASSERT_EQ(scene.modelGroups().size(), 2u);
    EXPECT_EQ(scene.modelGroups()[0].models.size(), 3u);
    EXPECT_EQ(scene.modelGroups()[0].materialSlots, (std::vector<std::int32_t>{0, 4, 5}));
    EXPECT_EQ(scene.modelGroups()[1].models.size(), 1u);
    EXPECT_EQ(scene.created, (std::vector<std::string>{"first", "third"}));
    ASSERT_EQ(scene.materials().size(), 3u);
    EXPECT_EQ(scene.materials()[0].material, &fallback);
    EXPECT_EQ(scene.materials()[1].material, nullptr);
    EXPECT_EQ(scene.materials()[1].subMaterials.size(), 3u);
    // One binding per camera name, the later record's; the current camera is
    // the first record's name.
    EXPECT_EQ(scene.cameraBindings().size(), 2u);
    EXPECT_EQ(scene.cameraBindings().at("Camera01").transformAnimation,
              scene.cameraBindings().at("Camera02").transformAnimation);
    EXPECT_EQ(scene.currentCamera(), "Camera01");
    // Before the first update: identity poses, dark lights, no cameras.
    EXPECT_EQ(scene.nodes()[0].transform, Core::Transform::identity());
    EXPECT_EQ(scene.lights()[0].radius, 0.0f);
    EXPECT_TRUE(scene.cameras().empty());

    scene.selectCamera("Camera02");
    scene.selectCamera("NoSuchCamera");
    EXPECT_EQ(scene.currentCamera(), "Camera02");
}

TEST_F(SceneTest, BadHeaderGivesAnEmptySceneAndNoCameraRecordsNoCurrentCamera)
{
    SceneEffect broken;
    std::istringstream garbage("not a scene file at all");
    const std::size_t logBefore = Core::logText().size();
    broken.build(garbage, nullptr, "garbage.orv3d");
    EXPECT_EQ(Core::logText().substr(logBefore),
              "Scene garbage.orv3d: bad header: header: magic is not \"OR3D\" (at byte 0)\r\n");
    broken.update(0, 1);
    EXPECT_TRUE(broken.nodes().empty());
    EXPECT_TRUE(broken.currentCamera().empty());

    SceneDescription d = sampleScene();
    d.cameras.clear();
    SceneEffect noCameras;
    build(noCameras, d);
    noCameras.update(0, 0);
    EXPECT_TRUE(noCameras.currentCamera().empty());
    EXPECT_TRUE(noCameras.cameras().empty());
}

TEST_F(SceneTest, AMissingSceneAssetLoadsEmptyAndIsNamedOnce)
{
    ORV::Test::TempDir folder;
    fileSystem().remount(folder.path().string());
    const std::size_t logBefore = Core::logText().size();
    std::unique_ptr<Resource> resource = loadScene("intro2.orv3d", "intro2");
    EXPECT_EQ(Core::logText().substr(logBefore), "Scene intro2.orv3d: no such asset; the scene stays empty\r\n");
    auto& scene = static_cast<SceneEffect&>(*resource);
    scene.update(0, 1);
    scene.draw(nullptr);
    EXPECT_TRUE(scene.nodes().empty());
}

TEST_F(SceneTest, PosesLightsAndCamerasFromTheAnimations)
{
    SceneEffect scene;
    build(scene, sampleScene());
    scene.update(0, 0);
    expectNear(scene.nodes()[0].transform.translation, 1, 2, 3);
    expectNear(scene.lights()[0].colour, 1, 0, 0);
    expectNear(scene.lights()[1].colour, 0, 1, 0);
    EXPECT_EQ(scene.lights()[1].radius, 5.0f);
    // 90 degrees about +Y: the camera gets the inverse rotation.
    const Camera& turned = scene.cameras().at("Camera02");
    expectNear(turned.position(), 1, 2, 3);
    expectNear(turned.right(), 0, 0, 1);
    expectNear(turned.up(), 0, 1, 0);
    expectNear(turned.front(), -1, 0, 0);
    EXPECT_FLOAT_EQ(turned.fov(), 0.8f);
    EXPECT_EQ(turned.aspect(), 1.333f);
    EXPECT_EQ(turned.nearPlane(), 1.0f);
    EXPECT_EQ(turned.farPlane(), 10000.0f);
}

TEST_F(SceneTest, IndicesNamingNothingAreSkippedAndTheRestStillWorks)
{
    SceneDescription d = sampleScene();
    d.nodes.push_back({"lost-group", 7, 0, 0, {}});
    d.nodes.push_back({"lost-material", 0, -1, 0, {}});
    d.nodes.push_back({"lost-animation", 1, 0, 99, {}});
    d.lights.push_back({-5, 0, 1000});
    d.cameras.push_back({"Broken", 1000, 0});
    SceneEffect scene;
    const std::size_t logBefore = Core::logText().size();
    build(scene, d);
    const std::string logged = Core::logText().substr(logBefore);
    EXPECT_NE(logged.find("Scene test.orv3d: 5 record(s)"), std::string::npos) << logged;
    EXPECT_NE(logged.find("node 2 \"lost-group\""), std::string::npos) << logged;
    EXPECT_EQ(logged.find("Scene", 1), std::string::npos) << "one warning per scene: " << logged;
    ASSERT_EQ(scene.nodes().size(), 5u);
    EXPECT_FALSE(scene.nodes()[2].drawable);
    EXPECT_FALSE(scene.nodes()[3].drawable);
    EXPECT_TRUE(scene.nodes()[4].drawable);
    EXPECT_EQ(scene.cameraBindings().count("Broken"), 0u);
    scene.update(0, 0);
    EXPECT_EQ(scene.nodes()[4].transform, Core::Transform::identity()) << "not animated";
    expectNear(scene.nodes()[1].transform.translation, 1, 2, 3);
    expectNear(scene.lights()[2].position, 0, 0, 0);
}

TEST_F(SceneTest, SubMaterialSlotsPickFromTheWholeListAndNegativeSlotsAreNotDrawn)
{
    SceneDescription d = sampleScene();
    d.meshGroups[0].push_back(triangle(-1));
    Material fallback;
    const std::vector<const Material*> drawn = materialsDrawnInAmbient(d, &fallback);
    // Node 0 draws group 0 under the multi-material: slots 0, 4 and 5 mod 3
    // give entries 0, 1 and 2; the slot -1 part keeps no material assignment.
    // Node 1 draws group 1 with entry 0's material.
    ASSERT_EQ(drawn.size(), 5u);
    EXPECT_EQ(drawn[0], &fallback);
    EXPECT_EQ(drawn[1], nullptr) << "entry 1 is the multi-material itself";
    EXPECT_EQ(drawn[2], &fallback);
    EXPECT_EQ(drawn[3], nullptr) << "never assigned";
    EXPECT_EQ(drawn[4], &fallback);
}

TEST_F(SceneTest, SlotsPastTheEndOfTheMaterialListAreNotDrawn)
{
    // A multi-material of four sub-materials in a scene of three materials:
    // slots 0, 4 and 5 mod 4 give entries 0, 0 and 1; slot 3 names entry 3,
    // which the scene does not have, and its part keeps no material.
    SceneDescription d = sampleScene();
    d.materials[1].subMaterialCount = 4;
    d.materials[1].subMaterials = {0, 1, 2, 0};
    d.meshGroups[0].push_back(triangle(3));
    Material fallback;
    const std::vector<const Material*> drawn = materialsDrawnInAmbient(d, &fallback);
    ASSERT_EQ(drawn.size(), 5u);
    EXPECT_EQ(drawn[0], &fallback);
    EXPECT_EQ(drawn[1], &fallback);
    EXPECT_EQ(drawn[2], nullptr) << "entry 1 is the multi-material itself";
    EXPECT_EQ(drawn[3], nullptr) << "never assigned";
    EXPECT_EQ(drawn[4], &fallback) << "node 1";
}

TEST_F(SceneTest, PassesDecideHowOftenTheSceneIsDrawnAndShadeSeesEachLight)
{
    // The probe draws through the pass-aware render of the demo's scenes.
    class PassProbe : public PassSceneEffect {
    public:
        std::vector<Core::Vector3> colours;
        void renderGroup(const ModelGroup&) override { colours.push_back(sceneGlobals().lightColor); }
        Material* createMaterial(const MaterialRecord&) override { return nullptr; }
    };
    PassProbe scene;
    build(scene, sampleScene());
    scene.update(0, 0);
    auto drawsIn = [&](PassId pass) {
        scene.colours.clear();
        if (pass != 0) display.pushPass(pass);
        scene.render(nullptr);
        if (pass != 0) display.popPass();
        return scene.colours.size();
    };
    EXPECT_EQ(drawsIn(0), 0u) << "nothing at the initial pass";
    EXPECT_EQ(drawsIn(ambientPass), 2u);
    EXPECT_EQ(drawsIn(depthDistPass), 2u);
    EXPECT_EQ(drawsIn(emissivePass), 2u);
    EXPECT_EQ(drawsIn(newPassId()), 0u);
    ASSERT_EQ(drawsIn(shadePass), 4u) << "two nodes, once per light";
    expectNear(scene.colours[0], 1, 0, 0);
    expectNear(scene.colours[1], 1, 0, 0);
    expectNear(scene.colours[2], 0, 1, 0);
    expectNear(scene.colours[3], 0, 1, 0);

    // A current camera the scene cannot look through draws nothing.
    PassProbe unselected;
    build(unselected, sampleScene());
    display.pushPass(ambientPass);
    unselected.render(nullptr); // before the first update: no cameras yet
    display.popPass();
    EXPECT_TRUE(unselected.colours.empty());
}

TEST_F(SceneTest, WindowsIncludeBothEndsAndInactiveViewsLeaveTheSceneAlone)
{
    SceneEffect scene;
    build(scene, sampleScene());
    SceneView view;
    view.update(0, 1);
    EXPECT_FALSE(view.active()) << "no scene bound";
    view.bind(&scene, "Camera02");
    view.startTime = 8;
    view.endTime = 16;
    for (float t : {8.0f, 16.0f}) {
        view.update(0, t);
        EXPECT_TRUE(view.active()) << t;
    }
    for (float t : {7.99f, 16.01f}) {
        view.update(0, t);
        EXPECT_FALSE(view.active()) << t;
    }
    view.render(nullptr);
    EXPECT_EQ(scene.currentCamera(), "Camera01") << "an inactive view selects nothing";
}

TEST_F(SceneTest, TimeKeysRemapSceneTimeAndViewsShareAScene)
{
    // A scalar scene animation equal to its time: node 0's x follows scene time.
    SceneDescription d = sampleScene();
    std::vector<Core::Transform> poses(101);
    for (std::size_t i = 0; i < poses.size(); ++i) poses[i].translation.x = Content::sceneSampleTime(i);
    d.nodes[0].transformAnimation = transformAnimation(d, poses);
    SceneEffect scene;
    build(scene, d);

    SceneView halfSpeed;
    halfSpeed.bind(&scene, "Camera02");
    halfSpeed.addTimeKey(0, 0);
    halfSpeed.addTimeKey(8, 4);
    halfSpeed.update(0, 6);
    EXPECT_NEAR(scene.nodes()[0].transform.translation.x, 3, 1e-4f);
    halfSpeed.update(0, 10);
    EXPECT_NEAR(scene.nodes()[0].transform.translation.x, 4, 1e-4f) << "held after the last key";

    SceneView plain;
    plain.bind(&scene, "Camera01");
    plain.update(0, 2.5f);
    EXPECT_NEAR(scene.nodes()[0].transform.translation.x, 2.5f, 1e-4f);
    plain.render(nullptr);
    EXPECT_EQ(scene.currentCamera(), "Camera01");
    halfSpeed.render(nullptr);
    EXPECT_EQ(scene.currentCamera(), "Camera02");
}

TEST_F(SceneTest, SceneGlobalsReachEveryShaderThatDeclaresThem)
{
    registerSceneGlobals();
    const char* source = R"(
float4 ambient : ambient;
float4 lightColour : LIGHTCOLOR;
float4 lightPosition : LightPosition;
float radius : LIGHTRADIUS;
float cut : FXCUT;
float dark : FxDark;
float bright : fxlight;
float4 vs(float4 p : POSITION) : POSITION { return p * (ambient.x + lightColour.x + lightPosition.x + radius + cut + dark + bright); }
float4 ps() : COLOR { return 1; }
technique T { pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }
)";
    Shader first, second;
    std::istringstream a(source), b(source);
    first.compile(a, "a.fx");
    second.compile(b, "b.fx");
    ASSERT_NE(first.effect(), nullptr);
    auto value = [](Shader& shader, const char* name) {
        const auto v = shader.effect()->parameterValue(shader.effect()->parameterByName(name));
        return std::vector<float>(v.begin(), v.end());
    };
    first.begin();
    EXPECT_EQ(value(first, "lightColour"), (std::vector<float>{0, 0, 0, 1})) << "before any light";
    first.effect()->end();

    sceneGlobals().lightColor = {0.5f, 0.25f, 1};
    sceneGlobals().lightPosition = {1, 2, 3};
    sceneGlobals().lightRadius = 7;
    sceneGlobals().fxCut = 0.5f;
    sceneGlobals().fxDark = 0.25f;
    sceneGlobals().fxLight = 2;
    for (Shader* shader : {&first, &second}) {
        shader->begin();
        EXPECT_EQ(value(*shader, "ambient"), (std::vector<float>{0, 0, 0, 1}));
        EXPECT_EQ(value(*shader, "lightColour"), (std::vector<float>{0.5f, 0.25f, 1, 1}));
        EXPECT_EQ(value(*shader, "lightPosition"), (std::vector<float>{1, 2, 3, 1}));
        EXPECT_EQ(value(*shader, "radius"), std::vector<float>{7});
        EXPECT_EQ(value(*shader, "cut"), std::vector<float>{0.5f});
        EXPECT_EQ(value(*shader, "dark"), std::vector<float>{0.25f});
        EXPECT_EQ(value(*shader, "bright"), std::vector<float>{2});
        shader->effect()->end();
    }
}

} // namespace
