// The bad-input sweep of the effect compiler: the demo's own effect files
// (content/effects) cut at a spread of lengths, with single bytes changed,
// with huge numbers where the structure takes numbers (array sizes,
// registers, states, #line), with structures repeated or nested, and with
// megabytes after the text. Whatever the damage, compileEffect gives an
// effect whose passes stay inside their uniform blocks and name parameters
// that exist, or the failure result with every message located at
// "file:line: error: "; it never throws, aborts or makes a huge allocation.
// (The demo stops on a failed effect with a message; that stop is the app
// layer's and is tested there.)
#include "platform/gfx/effect/EffectCompiler.h"

#include "tests/support/AllocationWatch.h"
#include "tests/support/Damage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace ORV::Gfx {
namespace {

constexpr std::size_t MiB = std::size_t{1} << 20;
const EffectDefine demoDefines[] = {{"TELM", ""}, {"TELM_VER", "100"}};

std::string readEffect(const std::string& name)
{
    std::ifstream file(std::string(ORV_DEMO_EFFECTS_DIR) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    EXPECT_FALSE(bytes.str().empty()) << name;
    return bytes.str();
}

// Serves every include name with the same text, when there is one.
class OneInclude final : public EffectIncludeHandler {
public:
    explicit OneInclude(std::string text = {}) : text_(std::move(text)) {}
    Core::Result<std::string> open(const std::string&) override
    {
        if (text_.empty()) return Core::Result<std::string>::failure("cannot open include file");
        return text_;
    }

private:
    std::string text_;
};

struct Outcome {
    bool compiled = false;
    std::string messages;
    std::size_t largestAllocation = 0;
};

// Compiles source and checks what the compiler promises whatever the text.
Outcome compileAndCheck(const std::string& source, EffectIncludeHandler& includes)
{
    Outcome outcome;
    Core::Result<EffectDescription> result = Core::Result<EffectDescription>::failure("not compiled");
    {
        ORV::Test::AllocationWatch watch;
        result = compileEffect(source, "swept.fx", demoDefines, includes);
        outcome.largestAllocation = watch.largest();
    }
    // The compiler's own bound on preprocessed text is 4 MiB; glslang's
    // pools and the generated GLSL are far smaller for any effect.
    EXPECT_LE(outcome.largestAllocation, 64 * MiB);
    outcome.compiled = static_cast<bool>(result);
    if (!result) {
        outcome.messages = result.messages();
        static const std::regex located(R"(^[^:\n]+:\d+: error: .*$)");
        std::istringstream lines(outcome.messages);
        std::string line;
        int count = 0;
        while (std::getline(lines, line)) {
            EXPECT_TRUE(std::regex_match(line, located)) << line;
            ++count;
        }
        EXPECT_GT(count, 0) << "a failure says why";
        return outcome;
    }
    const EffectDescription& effect = result.value();
    const int parameters = static_cast<int>(effect.parameters.size());
    for (const EffectTechnique& technique : effect.techniques)
        for (const EffectPass& pass : technique.passes) {
            EXPECT_FALSE(pass.vertexShader.glsl.empty());
            EXPECT_FALSE(pass.pixelShader.glsl.empty());
            for (const UniformMember& member : pass.uniforms.members) {
                EXPECT_TRUE(member.parameter >= 0 && member.parameter < parameters);
                EXPECT_LE(std::uint64_t(member.offset) + member.size, pass.uniforms.size);
            }
            for (const SamplerBinding& sampler : pass.samplers)
                EXPECT_TRUE(sampler.samplerParameter >= 0 && sampler.samplerParameter < parameters);
        }
    return outcome;
}

Outcome compileAndCheck(const std::string& source)
{
    OneInclude none;
    return compileAndCheck(source, none);
}

TEST(EffectSweep, TheDemosEffectsCompile)
{
    for (const char* name : {"Additive.fx", "cartoon.fx"}) {
        const Outcome outcome = compileAndCheck(readEffect(name));
        EXPECT_TRUE(outcome.compiled) << name << ": " << outcome.messages;
    }
}

// Cuts and byte changes: most stop in the parser; those that reach glslang
// cost a full compile each, so the counts keep the sweep near a second.
TEST(EffectSweep, CutsFailWithLocatedMessagesOrCompile)
{
    const std::string source = readEffect("Additive.fx");
    for (std::size_t length : ORV::Test::cutLengths(source.size(), 100)) {
        SCOPED_TRACE("cut at " + std::to_string(length));
        compileAndCheck(source.substr(0, length));
    }
}

TEST(EffectSweep, SingleByteChangesFailWithLocatedMessagesOrCompile)
{
    const std::string source = readEffect("Additive.fx");
    // Past the comment block at the top, where a change means nothing.
    const std::size_t code = source.find("\nfloat");
    ASSERT_NE(code, std::string::npos);
    std::mt19937 random(20261209);
    for (int round = 0; round < 150; ++round) {
        std::string damaged = source;
        SCOPED_TRACE(ORV::Test::damageOneByte(damaged, random, round, code));
        compileAndCheck(damaged);
    }
}

TEST(EffectSweep, HugeNumbersWhereTheStructureTakesNumbersFail)
{
    const std::string source = readEffect("Additive.fx");
    const std::size_t technique = source.find("technique");
    ASSERT_NE(technique, std::string::npos);
    const std::string head = source.substr(0, technique), tail = source.substr(technique);
    const std::size_t pass = tail.find('{', tail.find("pass")) + 1;
    for (const char* number :
         {"4294967295", "2147483647", "2147483648", "0xFFFFFFFF", "0x7FFFFFFF", "99999999999999999999"}) {
        SCOPED_TRACE(number);
        const std::string n = number;
        compileAndCheck(head + "float4 huge[" + n + "];\n" + tail);
        compileAndCheck(head + "float4 placed : register(c" + n + ");\n" + tail);
        compileAndCheck(head + "#line " + n + "\n" + tail);
        for (const char* state : {"AlphaRef", "ColorWriteEnable", "CullMode", "SrcBlend", "StencilRef"})
            compileAndCheck(head + tail.substr(0, pass) + "\n" + state + " = " + n + ";\n" + tail.substr(pass));
    }
}

TEST(EffectSweep, RepeatedAndNestedStructuresCompileOrFailCleanly)
{
    const std::string source = readEffect("Additive.fx");
    const std::size_t technique = source.find("technique");
    const std::string tail = source.substr(technique);
    // The same technique, and so the same pass names, many times over.
    std::string repeated = source;
    for (int i = 0; i < 50; ++i) repeated += tail;
    compileAndCheck(repeated);
    // Every parameter declared twice.
    compileAndCheck(source.substr(0, technique) + source);
    // An include that includes itself, and one that holds the whole effect.
    OneInclude itself("#include \"self.fxh\"\nfloat4 x;\n");
    const Outcome recursive = compileAndCheck("#include \"self.fxh\"\n" + source, itself);
    EXPECT_FALSE(recursive.compiled);
    OneInclude whole(source);
    EXPECT_TRUE(compileAndCheck("#include \"whole.fxh\"\n", whole).compiled);
    // Blocks and parentheses nested far deeper than any effect nests them.
    compileAndCheck(source.substr(0, technique) + "static const float deep = " + std::string(5000, '(') + "1"
                    + std::string(5000, ')') + ";\n" + tail);
    compileAndCheck(source + "technique t " + std::string(5000, '{') + std::string(5000, '}'));
}

TEST(EffectSweep, MegabytesAfterTheTextAreRefusedOrIgnored)
{
    const std::string source = readEffect("Additive.fx");
    // Past the compiler's bound on text: refused before preprocessing.
    EXPECT_FALSE(compileAndCheck(source + ORV::Test::fillerBytes(5 * MiB, 17, '\0')).compiled);
    // Within it, as a comment: the effect compiles as before.
    EXPECT_TRUE(compileAndCheck(source + "\n/*" + std::string(3 * MiB, 'x') + "*/\n").compiled);
}

} // namespace
} // namespace ORV::Gfx
