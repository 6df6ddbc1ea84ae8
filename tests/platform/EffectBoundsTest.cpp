// Hostile effect sources: macro bombs, include fan-out, oversized text and the
// constructs glslang's HLSL front end mishandles. Each gets located messages,
// quickly, and never a crash or a runaway allocation.
#include "platform/gfx/effect/EffectCompiler.h"
#include "platform/gfx/effect/detail/PreprocessorBounds.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace ORV::Gfx;
using Compiled = ORV::Core::Result<EffectDescription>;

namespace {

// Serves includes from a map and counts what it was asked for.
class MapIncludes final : public EffectIncludeHandler {
public:
    std::map<std::string, std::string> files;
    int opened = 0;

    ORV::Core::Result<std::string> open(const std::string& name) override
    {
        ++opened;
        if (auto found = files.find(name); found != files.end()) return found->second;
        return ORV::Core::Result<std::string>::failure("cannot open include file");
    }
};

const std::string shaders = "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                            "float4 ps() : COLOR { return 1; }\n"
                            "technique t { pass p { VertexShader = compile vs_2_0 vs(); "
                            "PixelShader = compile ps_2_0 ps(); } }\n";

Compiled compile(const std::string& source, MapIncludes& includes)
{
    return compileEffect(source, "test.fx", {}, includes);
}

Compiled compile(const std::string& source)
{
    MapIncludes none;
    return compile(source, none);
}

void expectError(const Compiled& result, const std::string& at, const std::string& words)
{
    ASSERT_FALSE(result);
    EXPECT_EQ(result.messages().rfind(at + ": error: ", 0), 0u) << result.messages().substr(0, 300);
    EXPECT_NE(result.messages().find(words), std::string::npos) << result.messages().substr(0, 300);
}

// Levels of "#define A<n> A<n-1> A<n-1> ...": fanOut^levels copies of x.
std::string chainedDefines(int levels, int fanOut)
{
    std::string text = "#define A0 x\n";
    for (int level = 1; level <= levels; ++level) {
        text += "#define A" + std::to_string(level);
        for (int i = 0; i < fanOut; ++i) text += " A" + std::to_string(level - 1);
        text += "\n";
    }
    return text;
}

std::string nested(const std::string& name, int depth, const std::string& inner)
{
    std::string text;
    for (int i = 0; i < depth; ++i) text += name + "(";
    text += inner;
    text += std::string(size_t(depth), ')');
    return text;
}

TEST(EffectMacroBounds, BombsOfEveryShapeStopAtTheLineThatUsesThem)
{
    // Chained definitions: 4^20 copies.
    expectError(compile(chainedDefines(20, 4) + "static float bomb = A20;\n" + shaders), "test.fx:22",
                "larger than");
    // A repeated parameter, invoked 20 deep at the use site.
    expectError(compile("#define F(x) x x x x\n\nstatic float bomb = " + nested("F", 20, "1") + ";\n" + shaders),
                "test.fx:3", "larger than");
    // The same through an alias whose expansion ends in the function-like name.
    expectError(compile("#define F(x) x x x x\n#define G F\nstatic float bomb = " + nested("G", 20, "1") + ";\n"
                        + shaders),
                "test.fx:3", "larger than");
    // A parameter passed on through another macro keeps multiplying.
    expectError(compile("#define F(x) x x\n#define H(y) F(F(F(F(y))))\n#define K(z) H(H(H(H(H(z)))))\n"
                        "static float bomb = K(K(1));\n"
                        + shaders),
                "test.fx:4", "larger than");
}

TEST(EffectMacroBounds, DefinitionsFromIncludesCountWhereTheyAreUsed)
{
    MapIncludes includes;
    includes.files["bomb.fxh"] = chainedDefines(16, 4);
    expectError(compile("#include \"bomb.fxh\"\nstatic float bomb = A16;\n" + shaders, includes), "test.fx:2",
                "larger than");
}

TEST(EffectMacroBounds, OrdinaryMacrosAndDeepButSmallExpansionsCompile)
{
    // 2^10 copies, a self-referencing macro (which does not expand itself) and
    // a redefinition all stay far inside the bound.
    Compiled result = compile(chainedDefines(10, 2) + "#define SELF SELF + 1\n#define TWICE(x) ((x) + (x))\n"
                              + "static float a[1024] = { A10 };\n#undef A0\n#define A0 y\n"
                              + "float4 vs(float4 p : POSITION) : POSITION { return TWICE(TWICE(p)); }\n"
                              + "float4 ps() : COLOR { return 1; }\n"
                              + "technique t { pass p { VertexShader = compile vs_2_0 vs(); "
                              + "PixelShader = compile ps_2_0 ps(); } }\n");
    EXPECT_FALSE(result.messages().find("larger than") != std::string::npos) << result.messages().substr(0, 300);
}

TEST(EffectMacroBounds, InvocationsNestedTooDeepAreRefused)
{
    expectError(compile("#define F(x) x\nstatic float f = " + nested("F", 300, "1") + ";\n" + shaders), "test.fx:2",
                "deeper than 256");
}

TEST(EffectIncludeBounds, FanOutStopsAtTheIncludeCountAndEachFileIsReadOnce)
{
    MapIncludes includes;
    includes.files["twice.fxh"] = "#include \"twice.fxh\"\n#include \"twice.fxh\"\n";
    Compiled result = compile("#include \"twice.fxh\"\n" + shaders, includes);
    ASSERT_FALSE(result);
    EXPECT_NE(result.messages().find("more than 1024 #include directives"), std::string::npos)
        << result.messages().substr(0, 300);
    EXPECT_NE(result.messages().find("twice.fxh:"), std::string::npos) << result.messages().substr(0, 300);
    EXPECT_EQ(includes.opened, 1);
}

TEST(EffectIncludeBounds, TextBeyondTheBoundIsRefusedBeforePreprocessing)
{
    MapIncludes includes;
    includes.files["big.fxh"] = "// " + std::string(detail::maxPreprocessedBytes, 'x') + "\n";
    expectError(compile("#include \"big.fxh\"\n" + shaders, includes), "big.fxh:1", "larger than");
}

} // namespace
