// Shaders: compiling through the asset file system, the automatic parameters
// of the semantic table, matrix inversion, and the stop on a broken effect.
#include "resources/Shader.h"
#include "console/Console.h"
#include "core/Ascii.h"
#include "display/Camera.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace ORV;
using namespace ORV::Demo;
using ORV::Test::TempDir;

namespace {

const char* const kSemanticsEffect = R"(
float4x4 a : worldviewproj;
float4x4 b : WORLDVIEWPROJ;
float4x4 projI : ProjI;
float4x4 worldViewI : WorldViewI;
float4x4 worldI : WorldI;
float4x4 viewI : VIEWI;
float4 cameraPosition : WorldCameraPosition;
float4 plain = {1, 2, 3, 4};
float4 unknown : NotASemantic = {5, 6, 7, 8};

float4 vs(float4 p : POSITION) : POSITION
{
    return mul(p, a) + mul(p, b) + mul(p, projI) + mul(p, worldViewI) + mul(p, worldI) + mul(p, viewI)
         + cameraPosition + plain + unknown;
}
float4 ps() : COLOR { return float4(1, 1, 1, 1); }

technique Empty { }
technique Main { pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }
)";

Core::Matrix matrixWith(float diagonal, float translateX)
{
    Core::Matrix m;
    m.m[0][0] = m.m[1][1] = m.m[2][2] = diagonal;
    m.m[3][0] = translateX;
    return m;
}

std::vector<float> flat(const Core::Matrix& m)
{
    return {&m.m[0][0], &m.m[0][0] + 16};
}

class ShaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.createWindow(8, 8, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
        setEffectFailureHandler(+[](const std::string&) { ++failures; });
        failures = 0;
    }
    void TearDown() override { setEffectFailureHandler(nullptr); }

    static std::unique_ptr<Shader> compile(const std::string& source)
    {
        auto shader = std::make_unique<Shader>();
        std::istringstream in(source);
        shader->compile(in, "test.fx");
        return shader;
    }
    std::vector<float> value(Shader& shader, const char* name)
    {
        const auto v = shader.effect()->parameterValue(shader.effect()->parameterByName(name));
        return {v.begin(), v.end()};
    }

    static inline int failures = 0;
    Display display;
};

} // namespace

TEST_F(ShaderTest, SemanticsSetTheDisplayValuesAtEveryBegin)
{
    auto shader = compile(kSemanticsEffect);
    ASSERT_TRUE(shader->effect());
    // The first technique has no pass and is not valid; the second is used.
    EXPECT_EQ(shader->technique().index, 1);

    Camera camera;
    camera.setPerspective(1.0f, 1.333f, 1.0f, 100.0f);
    camera.setFrame({0, 0, 5}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    display.setCamera(camera);
    const Core::Matrix world = matrixWith(2.0f, 1.0f);
    display.setWorld(world);
    EXPECT_EQ(shader->begin(), 1u);
    shader->effect()->end();
    const Core::Matrix wvp = world * display.view() * display.projection();
    EXPECT_EQ(value(*shader, "a"), flat(wvp));
    EXPECT_EQ(value(*shader, "b"), flat(wvp)); // any letter case
    EXPECT_EQ(value(*shader, "worldViewI"), flat(world * display.view())); // the product, not its inverse
    Core::Matrix inverse = world;
    ASSERT_TRUE(Core::invertMatrix(inverse));
    EXPECT_EQ(value(*shader, "worldI"), flat(inverse));
    // Parameters without a semantic, or with one the table lacks, keep theirs.
    EXPECT_EQ(value(*shader, "plain"), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(value(*shader, "unknown"), (std::vector<float>{5, 6, 7, 8}));

    // The setters read the values current at each begin.
    display.setWorld(Core::Matrix::identity());
    shader->begin();
    shader->effect()->end();
    EXPECT_EQ(value(*shader, "a"), flat(display.view() * display.projection()));
}

TEST_F(ShaderTest, EveryBuiltInSemanticSetsItsValue)
{
    // One parameter per built-in semantic, spelled in alternating letter
    // case; each row says what the display value of that semantic is. The
    // "I" forms are inverses except WorldViewI, ProjI and ProjectionI, which
    // the effects written for this engine read as the matrix itself.
    Camera camera;
    camera.setPerspective(0.9f, 1.5f, 0.5f, 50.0f);
    camera.setFrame({1, 2, 3}, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0});
    display.setCamera(camera);
    Core::Matrix world = matrixWith(2.0f, 1.0f);
    world.m[3][2] = -4.0f;
    world.m[0][1] = 0.5f;
    display.setWorld(world);
    const Core::Matrix view = display.view(), projection = display.projection();
    const auto inverse = [](Core::Matrix m) {
        EXPECT_TRUE(Core::invertMatrix(m));
        return m;
    };
    const auto point = [](Core::Vector3 v) { return std::vector<float>{v.x, v.y, v.z, 1.0f}; };
    struct Row {
        const char* semantic;
        std::vector<float> expected;
    };
    const Row rows[] = {
        {"World", flat(world)},
        {"WorldI", flat(inverse(world))},
        {"View", flat(view)},
        {"ViewI", flat(inverse(view))},
        {"WorldView", flat(world * view)},
        {"WorldViewI", flat(world * view)},
        {"Proj", flat(projection)},
        {"ProjI", flat(projection)},
        {"Projection", flat(projection)},
        {"ProjectionI", flat(projection)},
        {"ViewProj", flat(view * projection)},
        {"ViewProjI", flat(inverse(view * projection))},
        {"WorldViewProj", flat(world * view * projection)},
        {"WorldViewProjI", flat(inverse(world * view * projection))},
        {"WorldCameraPosition", point(display.cameraPosition())},
        {"WorldCameraRight", point(display.cameraRight())},
        {"WorldCameraUp", point(display.cameraUp())},
        {"WorldCameraFront", point(display.cameraFront())},
    };
    // Built by appending: GCC 12 warns (-Wrestrict, falsely) about chains of
    // std::string + at -O2.
    std::string source, sum = "float4(0, 0, 0, 0)";
    for (size_t i = 0; i < std::size(rows); ++i) {
        const std::string name = std::string("p").append(std::to_string(i));
        const std::string semantic = i % 2 ? Core::toUpperAscii(rows[i].semantic) : std::string(rows[i].semantic);
        const bool matrix = rows[i].expected.size() == 16;
        source.append(matrix ? "float4x4 " : "float4 ").append(name).append(" : ").append(semantic).append(";\n");
        if (matrix)
            sum.append(" + mul(p, ").append(name).append(")");
        else
            sum.append(" + ").append(name);
    }
    source.append("float4 vs(float4 p : POSITION) : POSITION { return ").append(sum).append("; }\n");
    source.append("float4 ps() : COLOR { return float4(1, 1, 1, 1); }\n");
    source.append("technique Main { pass p { VertexShader = compile vs_2_0 vs(); "
                  "PixelShader = compile ps_2_0 ps(); } }\n");
    auto shader = compile(source);
    ASSERT_TRUE(shader->effect());
    shader->begin();
    shader->effect()->end();
    for (size_t i = 0; i < std::size(rows); ++i) {
        const std::vector<float> got = value(*shader, std::string("p").append(std::to_string(i)).c_str());
        ASSERT_EQ(got.size(), rows[i].expected.size()) << rows[i].semantic;
        for (size_t k = 0; k < got.size(); ++k)
            EXPECT_NEAR(got[k], rows[i].expected[k], 1e-5f * (1.0f + std::fabs(rows[i].expected[k])))
                << rows[i].semantic << " [" << k << "]";
    }
}

TEST_F(ShaderTest, ProjIIsTheProjectionItselfAndCameraVectorsGetAOne)
{
    auto shader = compile(kSemanticsEffect);
    ASSERT_TRUE(shader->effect());
    Camera camera;
    camera.setPerspective(1.0f, 1.333f, 1.0f, 100.0f);
    camera.setFrame({1, 2, 3}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    display.setCamera(camera);
    display.setWorld(Core::Matrix::identity());
    shader->begin();
    shader->effect()->end();
    EXPECT_EQ(value(*shader, "projI"), flat(camera.projectionMatrix()));
    EXPECT_EQ(value(*shader, "cameraPosition"), (std::vector<float>{1, 2, 3, 1}));
    Core::Matrix viewInverse = camera.viewMatrix();
    ASSERT_TRUE(Core::invertMatrix(viewInverse));
    EXPECT_EQ(value(*shader, "viewI"), flat(viewInverse));
}

TEST_F(ShaderTest, WorldIWithATinyDeterminantIsTheWorldUnchanged)
{
    auto shader = compile(kSemanticsEffect);
    ASSERT_TRUE(shader->effect());
    Core::Matrix world = Core::Matrix::identity();
    world.m[0][0] = 0.0001f; // determinant 0.0001
    display.setWorld(world);
    shader->begin();
    shader->effect()->end();
    EXPECT_EQ(value(*shader, "worldI"), flat(world));
}

TEST_F(ShaderTest, DemoSemanticReplacesABuiltInUntilTheNextShader)
{
    auto shader = compile(kSemanticsEffect);
    ASSERT_TRUE(shader->effect());
    registerSemantic(
        "WORLDVIEWPROJ", +[](Shader& s, Gfx::ParameterHandle p) { s.effect()->setMatrix(p, matrixWith(7.0f, 0.0f)); });
    shader->begin();
    shader->effect()->end();
    EXPECT_EQ(value(*shader, "a"), flat(matrixWith(7.0f, 0.0f)));
    Shader another; // registers the built-in table again
    display.setWorld(Core::Matrix::identity());
    shader->begin();
    shader->effect()->end();
    EXPECT_EQ(value(*shader, "a"), flat(display.view() * display.projection()));
}

TEST_F(ShaderTest, SemanticsRegisteredAfterABeginAreUsedFromTheNextBegin)
{
    auto shader = compile(R"(
float4x4 a : WorldViewProj;
float4 late : LateSemantic = {5, 6, 7, 8};
float4 vs(float4 p : POSITION) : POSITION { return mul(p, a) + late; }
float4 ps() : COLOR { return float4(1, 1, 1, 1); }
technique T { pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }
)");
    ASSERT_TRUE(shader->effect());
    display.setWorld(Core::Matrix::identity());
    shader->begin();
    shader->effect()->end();
    EXPECT_EQ(value(*shader, "late"), (std::vector<float>{5, 6, 7, 8}));

    // A semantic new to the table, and a built-in replaced, after the shader
    // has begun once.
    registerSemantic(
        "latesemantic", +[](Shader& s, Gfx::ParameterHandle p) {
            s.effect()->setVector(p, {9, 9, 9, 9});
        });
    registerSemantic(
        "worldViewProj", +[](Shader& s, Gfx::ParameterHandle p) { s.effect()->setMatrix(p, matrixWith(3.0f, 0.0f)); });
    shader->begin();
    shader->effect()->end();
    EXPECT_EQ(value(*shader, "late"), (std::vector<float>{9, 9, 9, 9}));
    EXPECT_EQ(value(*shader, "a"), flat(matrixWith(3.0f, 0.0f)));

    Shader another; // the built-in setter again
    shader->begin();
    shader->effect()->end();
    EXPECT_EQ(value(*shader, "a"), flat(display.view() * display.projection()));
}

TEST_F(ShaderTest, IncludesAreServedByBareNameFromTheArchiveRoot)
{
    TempDir folder;
    folder.write("common.fxh", "float4 Shared = {0.5, 0.5, 0.5, 1};\n");
    folder.write("effects/deep/uses.fx", R"(#include "common.fxh"
float4 vs(float4 p : POSITION) : POSITION { return p + Shared; }
float4 ps() : COLOR { return Shared; }
technique T { pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }
)");
    fileSystem().remount(folder.path().string());
    auto resource = loadShader("effects/deep/uses.fx", "uses");
    auto* shader = dynamic_cast<Shader*>(resource.get());
    ASSERT_NE(shader, nullptr);
    ASSERT_TRUE(shader->effect());
    EXPECT_TRUE(shader->effect()->parameterByName("Shared"));
    EXPECT_EQ(failures, 0);
}

TEST_F(ShaderTest, IncludeThatCannotBeOpenedFailsTheCompile)
{
    TempDir folder;
    folder.write("empty.fxh", "");
    fileSystem().remount(folder.path().string());
    EffectIncludes includes;
    EXPECT_FALSE(includes.open("absent.fxh"));
    EXPECT_TRUE(includes.open("EMPTY.FXH"));

    auto shader = compile(R"(#include "empty.fxh"
#include "absent.fxh"
float4 vs(float4 p : POSITION) : POSITION { return p; }
float4 ps() : COLOR { return float4(1, 1, 1, 1); }
technique T { pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }
)");
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(shader->effect(), nullptr);
}

TEST_F(ShaderTest, BrokenEffectLogsItsMessagesThenIsReported)
{
    const size_t logBefore = Core::logText().size();
    auto shader = compile("float4 ps() : COLOR { return undefinedThing; }\n"
                          "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                          "technique T { pass p { VertexShader = compile vs_2_0 vs();\n"
                          "                       PixelShader = compile ps_2_0 ps(); } }\n");
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(shader->effect(), nullptr);
    const std::string logged = Core::logText().substr(logBefore);
    EXPECT_NE(logged.find("Compiling effect"), std::string::npos);
    EXPECT_NE(logged.find("test.fx:1"), std::string::npos) << logged;

    // A missing effect file is reported the same way.
    TempDir folder;
    fileSystem().remount(folder.path().string());
    loadShader("missing.fx", "missing");
    EXPECT_EQ(failures, 2);
}

TEST_F(ShaderTest, WithoutAHandlerABrokenEffectIsLoggedAndTheProgramGoesOn)
{
    setEffectFailureHandler(nullptr);
    const size_t logBefore = Core::logText().size();
    auto shader = compile("this is not an effect");
    EXPECT_EQ(shader->effect(), nullptr);
    EXPECT_EQ(shader->begin(), 0u); // a shader without an effect has no passes
    const std::string logged = Core::logText().substr(logBefore);
    EXPECT_NE(logged.find("Effect test.fx does not compile"), std::string::npos) << logged;
    EXPECT_EQ(failures, 0);
}

TEST(Semantics, TheVersionCountsChangesOnly)
{
    const SemanticSetter a = +[](Shader&, Gfx::ParameterHandle) {};
    const SemanticSetter b = +[](Shader& s, Gfx::ParameterHandle) { (void)s.effect(); };
    registerSemantic("VersionProbe", a);
    const std::uint64_t before = semanticTableVersion();
    registerSemantic("versionprobe", a); // the same entry, whatever the case
    EXPECT_EQ(semanticTableVersion(), before);
    registerSemantic("VERSIONPROBE", b);
    EXPECT_EQ(semanticTableVersion(), before + 1);
    EXPECT_EQ(findSemantic("VersionProbe"), b);
    registerBuiltInSemantics();
    registerBuiltInSemantics(); // the built-in table again is no change
    const std::uint64_t afterBuiltIns = semanticTableVersion();
    registerBuiltInSemantics();
    EXPECT_EQ(semanticTableVersion(), afterBuiltIns);
    EXPECT_NE(findSemantic("worldviewprojI"), nullptr);
}
