// Hostile effect sources: macro bombs, include fan-out, oversized text and the
// constructs glslang's HLSL front end mishandles. Each gets located messages,
// quickly, and never a crash or a runaway allocation.
#include "platform/gfx/effect/EffectCompiler.h"
#include "platform/gfx/effect/detail/EffectParser.h"
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
    expectError(compile(chainedDefines(20, 4) + "static float bomb = A20;\n" + shaders), "test.fx:22", "larger than");
    // A repeated parameter, invoked 20 deep at the use site.
    expectError(compile("#define F(x) x x x x\n\nstatic float bomb = " + nested("F", 20, "1") + ";\n" + shaders),
                "test.fx:3", "larger than");
    // The same through an alias whose expansion ends in the function-like name.
    expectError(
        compile("#define F(x) x x x x\n#define G F\nstatic float bomb = " + nested("G", 20, "1") + ";\n" + shaders),
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
    Compiled result =
        compile(chainedDefines(10, 2) + "#define SELF SELF + 1\n#define TWICE(x) ((x) + (x))\n"
                + "static float a[1024] = { A10 };\n#undef A0\n#define A0 y\n"
                + "float4 vs(float4 p : POSITION) : POSITION { return TWICE(TWICE(p)); }\n"
                + "float4 ps() : COLOR { return 1; }\n" + "technique t { pass p { VertexShader = compile vs_2_0 vs(); "
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

// Repeats piece until the text holds about `tokens` tokens of it.
std::string repeated(const std::string& piece, int piecesTokens, int tokens)
{
    std::string text;
    for (int used = 0; used + piecesTokens <= tokens; used += piecesTokens) text += piece;
    return text;
}

// A pixel shader whose body is the text given, wrapped in an effect.
std::string pixelShaderBody(const std::string& body)
{
    return "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
           "float4 ps() : COLOR\n{\n    float a = 1;\n    "
           + body
           + "\n    return a;\n}\n"
             "technique t { pass p { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); } }\n";
}

TEST(EffectFrontEndInput, ChainsJustInsideTheTokenBoundCompileAndLongerOnesAreRefused)
{
    // The shapes that make glslang's front end recurse once per link. Each
    // fills a function to just under the bound; every one must give a result,
    // and twice its length a message.
    const int room = detail::maxChunkTokens - 40;
    struct Shape {
        const char* name;
        std::string (*body)(int tokens);
    };
    const Shape shapes[] = {
        {"sum", [](int n) { return "a = a" + repeated(" + a", 2, n) + ";"; }},
        {"negations", [](int n) { return "a = " + repeated("-", 1, n) + "a;"; }},
        {"nots", [](int n) { return "a = " + repeated("!", 1, n) + "a;"; }},
        {"commas", [](int n) { return "a = (a" + repeated(", a", 2, n) + ");"; }},
        {"conditionals", [](int n) { return "a = " + repeated("a ? a : ", 4, n) + "a;"; }},
        {"assignments", [](int n) { return repeated("a = ", 2, n) + "1;"; }},
        {"casts", [](int n) { return "a = " + repeated("(float)", 3, n) + "a;"; }},
        {"else-if ladder", [](int n) { return "if (a > 0) a = 2;" + repeated(" else if (a > 0) a = 2;", 12, n); }},
        {"nested ifs", [](int n) { return repeated("if (a) ", 4, n) + "a = 2;"; }},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        Compiled inside = compile(pixelShaderBody(shape.body(room)));
        EXPECT_TRUE(inside || !inside.messages().empty());
        Compiled outside = compile(pixelShaderBody(shape.body(2 * room)));
        expectError(outside, "test.fx:2", "longer than " + std::to_string(detail::maxChunkTokens) + " tokens");
    }
}

TEST(EffectFrontEndInput, BracketsNestedPastTheBoundOrMismatchedAreRefused)
{
    const int limit = detail::maxBracketNesting;
    // At the bound, parentheses and blocks compile.
    const std::string parens = std::string(size_t(limit - 3), '(') + "a" + std::string(size_t(limit - 3), ')');
    EXPECT_TRUE(compile(pixelShaderBody("a = " + parens + ";"))) << "parentheses at the bound";
    const std::string blocks = std::string(size_t(limit - 2), '{') + "a = 2;" + std::string(size_t(limit - 2), '}');
    EXPECT_TRUE(compile(pixelShaderBody(blocks))) << "blocks at the bound";

    // Far past it, as the inputs that overflowed the stack had them.
    expectError(compile(pixelShaderBody("a = " + std::string(5000, '(') + "a" + std::string(5000, ')') + ";")),
                "test.fx:5", "nest deeper than");
    expectError(compile(pixelShaderBody(std::string(100000, '{') + std::string(100000, '}'))), "test.fx:5",
                "nest deeper than");
    expectError(compile(pixelShaderBody("a = (a];")), "test.fx:5", "']' where ')' closes the '(' of line 5");
    expectError(compile(pixelShaderBody("a = a);")), "test.fx:5", "')' where '}' closes the '{' of line 3");
    expectError(compile("float4 a;\n}\n"), "test.fx:2", "closes nothing");
}

TEST(EffectFrontEndInput, LoopsNestedPastTheBoundAreRefusedWhateverTheirBodies)
{
    auto loops = [](int depth, const char* open, const char* close) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "for (int i" + std::to_string(i) + " = 0; i" + std::to_string(i) + " < 2; i" + std::to_string(i)
                    + "++) " + open;
        text += "a += 1;";
        for (int i = 0; i < depth; ++i) text += close;
        return text;
    };
    const int limit = detail::maxLoopNesting;
    Compiled atBound = compile(pixelShaderBody(loops(limit, "", "")));
    EXPECT_TRUE(atBound) << atBound.messages();
    EXPECT_TRUE(compile(pixelShaderBody(loops(limit, "{ ", " }"))));
    // Sequential loops, loops after ifs and do-while bodies do not add up.
    EXPECT_TRUE(compile(pixelShaderBody(loops(limit, "", "") + loops(limit, "", "") + "if (a > 0) "
                                        + loops(limit - 1, "", "") + "do { a += 1; } while (a < 3);")));

    for (const auto& [open, close] : {std::pair{"", ""}, std::pair{"{ ", " }"}}) {
        expectError(compile(pixelShaderBody(loops(limit + 1, open, close))), "test.fx:5", "loops nest deeper than");
        // As deep as the brackets allow: refused quickly, not compiled for minutes.
        expectError(compile(pixelShaderBody(loops(*open ? 60 : 100, open, close))), "test.fx:5",
                    "loops nest deeper than");
    }
    expectError(compile(pixelShaderBody(std::string("[loop] while (a < 9) ") + "do " + loops(limit - 1, "", "")
                                        + " while (a < 2);")),
                "test.fx:5", "loops nest deeper than");
}

TEST(EffectFrontEndInput, ConstructsTheFrontEndMishandlesGetMessages)
{
    const std::string ps = "float4 vs(float4 p : POSITION) : POSITION { return p; }\n"
                           "float4 ps() : COLOR { return 1; }\n"
                           "technique t { pass p { VertexShader = compile vs_2_0 vs(); "
                           "PixelShader = compile ps_2_0 ps(); } }\n";
    struct Case {
        std::string source;
        std::string at;
        std::string words;
    };
    const Case cases[] = {
        // An array parameter without a name or a ']' after its size.
        {"float4 f(float2 [ : TEXCOORD0) : COLOR { return 0; }\n" + ps, "test.fx:1", "')' where ']' closes"},
        {"float4 f(float2 uv[ , float b) : COLOR { return 0; }\n" + ps, "test.fx:1", "')' where ']' closes"},
        {"float4 f(float2 uv[1 : TEXCOORD0]) : COLOR { return 0; }\n" + ps, "test.fx:1", "a name or a constant"},
        {"float4 f(float2 uv[1 2]) : COLOR { return 0; }\n" + ps, "test.fx:1", "a name or a constant"},
        {"float4 f(float2 uv[1, 2]) : COLOR { return 0; }\n" + ps, "test.fx:1", "a name or a constant"},
        // Empty lists inside initialiser lists, local and static.
        {"float4 f() : COLOR { float2 a = {{}}; return 0; }\n" + ps, "test.fx:1", "empty '{}'"},
        {"float4 f() : COLOR {\n float2 a = {1, { }}; return 0; }\n" + ps, "test.fx:2", "empty '{}'"},
        {"static float4 a = {{}};\n" + ps, "test.fx:1", "empty '{}'"},
        {"static float2x2 a = {} x [ ; };\n" + ps, "test.fx:1", "where"},
        // A '[' left open by a static declaration that otherwise parses.
        {"static const float w[4 = {1, 2, 3, 4};\n" + ps, "test.fx:1", "'[' is never closed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        expectError(compile(c.source), c.at, c.words);
    }
    // What stays allowed around them: sized, named and unsized array
    // parameters, and empty blocks and top-level empty lists.
    Compiled fine =
        compile("static const int N = 2;\n"
                "float4 f(float2 a[2], float2 b[N], float2 c[2 * 2]) { return a[0].xyxy; }\n"
                "float4 ps() : COLOR { float x[2] = {}; if (x[0] > 0) {} return 1; }\n"
                "float4 vs(float4 p : POSITION) : POSITION\n"
                "{ float2 q[2] = {p.xy, p.xy}; float2 r[4] = {p.xy, p.xy, p.xy, p.xy}; return p + f(q, q, r); }\n"
                "technique t { pass p { VertexShader = compile vs_2_0 vs(); "
                "PixelShader = compile ps_2_0 ps(); } }\n");
    EXPECT_TRUE(fine) << fine.messages();
}

} // namespace
