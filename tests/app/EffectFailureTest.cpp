// The demo's stop on an effect that does not compile, as the main function
// installs it.
#include "app/EffectFailure.h"
#include "display/Display.h"
#include "resources/Shader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>

using namespace ORV;
using namespace ORV::Demo;

namespace {

// Compiles source on a display of its own with the demo's stop on failure
// installed, as main does; returns the shader for the caller to look at. Runs
// inside a death test's child, which ends by exit: the display is kept for
// the process and never torn down, as a local would not be either.
std::unique_ptr<Shader> compileUnderTheDemosStop(const char* source, const char* name)
{
    setEffectFailureHandler(stopOnEffectFailure);
    static Display* const display = new Display;
    display->createWindow(8, 8, false, false, Platform::VideoMode::Offscreen);
    auto shader = std::make_unique<Shader>();
    std::istringstream in(source);
    shader->compile(in, name);
    return shader;
}

} // namespace

TEST(EffectFailureDeathTest, BrokenEffectEndsTheProgramWithOneLine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT({ compileUnderTheDemosStop("this is not an effect", "broken.fx"); }, ::testing::ExitedWithCode(1),
                "the effect broken.fx does not compile; its messages are in the log");
}

TEST(EffectFailureDeathTest, AnEffectThatCompilesGoesOn)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const auto shader =
                compileUnderTheDemosStop("float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                                         "float4 ps() : COLOR { return float4(1, 1, 1, 1); }\n"
                                         "technique T { pass p { VertexShader = compile vs_2_0 vs();\n"
                                         "                       PixelShader = compile ps_2_0 ps(); } }\n",
                                         "good.fx");
            std::exit(shader->effect() ? 7 : 8);
        },
        ::testing::ExitedWithCode(7), "");
}
