// Scene assembly: materials typed from a scene file's parameter text, and
// models built from its mesh parts, on an off-screen device.
#include "scene/SceneAssembly.h"
#include "display/Display.h"
#include "resources/Material.h"
#include "resources/Model.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "scene/SceneFile.h"
#include "tests/support/OffscreenDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

using namespace ORV;
using namespace ORV::Demo;

namespace {

// Passes "ambient" and "shade" only; parameters of each kind a scene sets.
const char* const kCartoon = R"(
float4x4 WorldViewProj : WorldViewProj;
float4 Color = {0, 0, 0, 1};
float Strength = 1.0;
int Steps = 3;

float4 vs(float3 p : POSITION) : POSITION { return mul(float4(p, 1), WorldViewProj); }
float4 ps() : COLOR { return Color * Strength; }

technique Cartoon
{
    pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); }
    pass shade { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); }
}
)";

// The registry loader of the effect above, whatever the path.
std::unique_ptr<Resource> loadCartoon(std::string, std::string)
{
    auto shader = std::make_unique<Shader>();
    std::istringstream in(kCartoon);
    shader->compile(in, "cartoon.fx");
    return shader;
}

class SceneAssemblyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.createWindow(16, 16, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
        // Register the compiled shader under its path, as the manifest would.
        resourceRegistry().addResource("cartoon.fx", "cartoon", loadCartoon);
        resourceRegistry().loadNext();
    }
    // The registered effect belongs to this fixture's device: release it
    // before the device goes, even when an assertion ended the test.
    void TearDown() override { resourceRegistry().releaseAll(); }
    Display display;
};

} // namespace

TEST_F(SceneAssemblyTest, SceneTextBecomesTypedParameters)
{
    MaterialRecord record;
    record.effectName = "cartoon.fx";
    record.parameters = {{"Color", "255 128 0"}, {"Strength", "0.25"}, {"Steps", "0.25"}, {"Unknown", "1"}};
    std::unique_ptr<Material> material(buildMaterial(record));
    ASSERT_NE(material->shader(), nullptr);
    EXPECT_EQ(material->passNames().size(), 4u);
    EXPECT_EQ(material->passNames().at(ambientPass), "ambient");
    EXPECT_EQ(material->passNames().at(shadePass), "shade");
    EXPECT_EQ(material->passNames().at(emissivePass), "emissive");
    EXPECT_EQ(material->passNames().at(depthDistPass), "depthdist");
    ASSERT_EQ(material->colors().count("Color"), 1u);
    const auto color = material->colors().at("Color");
    EXPECT_FLOAT_EQ(color[0], 1.0f);
    EXPECT_NEAR(color[1], 0.50196f, 1e-5f);
    EXPECT_FLOAT_EQ(color[2], 0.0f);
    EXPECT_FLOAT_EQ(color[3], 1.0f);
    EXPECT_EQ(material->floats().at("Strength"), 0.25f);
    EXPECT_EQ(material->floats().count("Steps"), 0u); // an integer parameter is ignored

    // Text that is not a number leaves the parameter to the effect's default.
    record.parameters = {{"Color", "red"}, {"Strength", "strong"}};
    std::unique_ptr<Material> unparsed(buildMaterial(record));
    EXPECT_TRUE(unparsed->colors().empty());
    EXPECT_TRUE(unparsed->floats().empty());

    // An effect that is not loaded gives a material without a shader.
    record.effectName = "missing.fx";
    std::unique_ptr<Material> orphan(buildMaterial(record));
    EXPECT_EQ(orphan->shader(), nullptr);
}

TEST_F(SceneAssemblyTest, BuiltMaterialIsDrawnOnlyInTheRenderPassesItsEffectHas)
{
    MaterialRecord record;
    record.effectName = "cartoon.fx";
    std::unique_ptr<Material> material(buildMaterial(record));
    const std::pair<PassId, bool> passes[] = {
        {ambientPass, true}, {shadePass, true}, {emissivePass, false}, {depthDistPass, false}};
    for (const auto& [pass, drawn] : passes) {
        display.pushPass(pass);
        EXPECT_EQ(material->selectForCurrentPass(), drawn) << pass;
        EXPECT_EQ(material->beginNextPass(), drawn) << pass;
        EXPECT_FALSE(material->beginNextPass()) << pass;
        material->endPasses();
        EXPECT_FALSE(Display::device().effectPassActive()) << pass;
        display.popPass();
    }
}

TEST_F(SceneAssemblyTest, ModelsFromScenePartsKeepTheirPositionsAndDropBrokenTriangles)
{
    // One triangle covering the target, one naming a missing vertex, one
    // naming the vertex one past the last, one stray index; the other fields
    // are set so that a mix-up of fields would move the positions.
    MeshPart part;
    part.vertices.resize(4);
    part.vertices[0].position = {-1, -1, 0};
    part.vertices[1].position = {-1, 3, 0};
    part.vertices[2].position = {3, -1, 0};
    part.vertices[3].position = {5, 5, 0};
    for (MeshVertex& v : part.vertices) {
        v.normal = {7, 7, 7};
        v.u = 9.0f;
        v.v = 9.0f;
        v.tangent = {8, 8, 8, 8};
    }
    part.indices = {0, 1, 2, 0, 1, 7, 0, 2, 4, 2};
    Model model;
    buildFromMesh(model, part);
    ASSERT_NE(model.mesh(), nullptr);
    EXPECT_EQ(model.mesh()->faceCount(), 1u);
    EXPECT_EQ(model.mesh()->vertexCount(), 3u); // the unused vertex is dropped

    Display::device().setRenderState(Gfx::RenderState::Lighting, 0);
    Display::device().setRenderState(Gfx::RenderState::CullMode, Gfx::value(Gfx::Cull::None));
    display.setWorld(Core::Matrix::identity());
    ASSERT_TRUE(display.nextFrame());
    model.draw(); // fixed-function stand-in: white with lighting off
    const auto pixels = Display::device().readPixels(*Display::device().backBuffer());
    EXPECT_EQ(pixels[0], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[15 * 16 + 15], 0xFFFFFFFFu);

    part.indices = {0, 1, 9};
    Model empty;
    buildFromMesh(empty, part);
    EXPECT_EQ(empty.mesh(), nullptr);
}
