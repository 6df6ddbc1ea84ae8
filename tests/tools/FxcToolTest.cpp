// orv-fxc run from an asset folder: includes come from the folder's root as in
// the demo, the listing names techniques and passes, and a broken effect fails
// with its file and line.
#include "tests/support/TempDir.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

using ORV::Test::TempDir;

namespace {

using ORV::Test::ToolRun;

ToolRun runFxc(const TempDir& folder, const std::string& arguments)
{
    return ORV::Test::runCommand("cd '" + folder.path().string() + "' && " ORV_FXC_PATH " " + arguments);
}

const char* const kEffectUsingInclude = R"(#include "shared.fxh"
float4x4 WorldViewProj : WorldViewProj;
float4 vs(float3 p : POSITION) : POSITION { return mul(float4(p, 1), WorldViewProj); }
float4 ps() : COLOR { return Ambient; }
technique Cel
{
    pass ambient
    {
        AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha;
        VertexShader = compile vs_2_0 vs();
        PixelShader = compile ps_2_0 ps();
    }
}
)";

} // namespace

TEST(FxcTool, IncludesComeFromTheFolderRootAndTheListingShowsTheEffect)
{
    TempDir folder;
    folder.write("shared.fxh", "float4 Ambient : AmbientColor = {0.2, 0.2, 0.2, 1};\n");
    folder.write("effects/cel.fx", kEffectUsingInclude);
    const ToolRun run = runFxc(folder, "effects/cel.fx");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("technique Cel"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("pass ambient"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("AmbientColor"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("SrcBlend = SrcAlpha"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("the demo uses technique Cel"), std::string::npos) << run.output;

    const ToolRun glsl = runFxc(folder, "effects/cel.fx --glsl");
    EXPECT_EQ(glsl.status, 0);
    EXPECT_NE(glsl.output.find("#version 450"), std::string::npos);
}

TEST(FxcTool, BrokenEffectsFailWithFileAndLine)
{
    TempDir folder;
    folder.write("broken.fx", "float4 ps() : COLOR\n{\n    return missingValue;\n}\n"
                              "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                              "technique T { pass p { VertexShader = compile vs_2_0 vs();\n"
                              "                       PixelShader = compile ps_2_0 ps(); } }\n");
    ToolRun run = runFxc(folder, "broken.fx");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("broken.fx:3:"), std::string::npos) << run.output;

    folder.write("include.fx", "#include \"nowhere.fxh\"\n");
    run = runFxc(folder, "include.fx");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("include.fx:1:"), std::string::npos) << run.output;

    run = runFxc(folder, "missing.fx");
    EXPECT_EQ(run.status, 1);
}
