// The demo's stop on an effect that does not compile, as the main function
// installs it.
#include "app/EffectFailure.h"
#include "display/Display.h"
#include "resources/Shader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace ORV;
using namespace ORV::Demo;

TEST(EffectFailureDeathTest, BrokenEffectEndsTheProgramWithOneLine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setEffectFailureHandler(stopOnEffectFailure);
            Display display;
            display.createWindow(8, 8, false, false, Platform::VideoMode::Offscreen);
            Shader shader;
            std::istringstream in("this is not an effect");
            shader.compile(in, "broken.fx");
        },
        ::testing::ExitedWithCode(1), "the effect broken.fx does not compile; its messages are in the log");
}

TEST(EffectFailureDeathTest, AnEffectThatCompilesGoesOn)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setEffectFailureHandler(stopOnEffectFailure);
            Display display;
            display.createWindow(8, 8, false, false, Platform::VideoMode::Offscreen);
            Shader shader;
            std::istringstream in("float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                                  "float4 ps() : COLOR { return float4(1, 1, 1, 1); }\n"
                                  "technique T { pass p { VertexShader = compile vs_2_0 vs();\n"
                                  "                       PixelShader = compile ps_2_0 ps(); } }\n");
            shader.compile(in, "good.fx");
            std::exit(shader.effect() ? 7 : 8);
        },
        ::testing::ExitedWithCode(7), "");
}
