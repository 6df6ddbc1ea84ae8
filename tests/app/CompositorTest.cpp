// The post-processing chain on an off-screen device: the order of what it
// does in one frame, recorded step by step and compared with the chain's
// table, and the image it leaves on the back buffer with an ink effect whose
// passes each leave a mark that the final pixel carries.
#include "app/Compositor.h"
#include "app/Settings.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "resources/Texture.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace ORV;
using namespace ORV::Demo;

namespace {

// Outline: the shade image's blue halved into blue, a quarter in green.
// Reduce: the ink's green doubled into red. Each blur adds 0.1 to green.
// Final: the glow's red and green over the ink's blue. After the whole chain
// over an empty shade image (cleared blue) the back buffer holds
// (0.5, 0.4, 0.5); a pass that is skipped, run twice or given the wrong
// texture shows in one of the channels.
const char* const kInk = R"(
texture shadeTex;
texture depthDistTex;
texture finalTex;
sampler shadeSampler = sampler_state { Texture = <shadeTex>; MinFilter = Point; MagFilter = Point; };
sampler depthSampler = sampler_state { Texture = <depthDistTex>; MinFilter = Point; MagFilter = Point; };
sampler finalSampler = sampler_state { Texture = <finalTex>; MinFilter = Point; MagFilter = Point; };
struct Out { float4 position : POSITION; float2 uv : TEXCOORD0; };
Out vs(float4 p : POSITION, float2 uv : TEXCOORD0) { Out o; o.position = p; o.uv = uv; return o; }
float4 outline(Out i) : COLOR
{
    float4 shade = tex2D(shadeSampler, i.uv);
    float4 depth = tex2D(depthSampler, i.uv);
    return float4(depth.r, 0.25, shade.b * 0.5, 1);
}
float4 reduce(Out i) : COLOR { return float4(tex2D(finalSampler, i.uv).g * 2, 0, 0, 1); }
float4 blur(Out i) : COLOR { float4 t = tex2D(finalSampler, i.uv); return float4(t.r, t.g + 0.1, 0, 1); }
float4 final(Out i) : COLOR
{
    return float4(tex2D(finalSampler, i.uv).rg, tex2D(shadeSampler, i.uv).b, 1);
}
technique Ink
{
    pass outline { ZEnable = false; CullMode = None; VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 outline(); }
    pass reduce { ZEnable = false; CullMode = None; VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 reduce(); }
    pass blurh { ZEnable = false; CullMode = None; VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 blur(); }
    pass blurv { ZEnable = false; CullMode = None; VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 blur(); }
    pass final { ZEnable = false; CullMode = None; VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 final(); }
}
)";

constexpr int kWidth = 64, kHeight = 48;

// A child that notes the pass and target it is drawn in, into the same log.
class RecordingChild : public Effect {
public:
    explicit RecordingChild(std::vector<std::string>& log, const Compositor& chain) : log_(log), chain_(chain) {}
    void update(float, float time) override { log_.push_back("advance " + std::to_string(int(time))); }
    void render(Effect* parent) override
    {
        EXPECT_EQ(parent, &chain_);
        log_.push_back("draw " + passName(currentDisplay->currentPass()) + " into " + surfaceName());
    }
    void postRender(Effect*) override { log_.push_back("post"); }

    static std::string passName(PassId pass)
    {
        if (pass == ambientPass) return "ambient";
        if (pass == shadePass) return "shade";
        if (pass == depthDistPass) return "depthdist";
        if (pass == emissivePass) return "emissive";
        return "pass " + std::to_string(pass);
    }

private:
    std::string surfaceName() const
    {
        const Gfx::Surface* surface = currentDisplay->currentColorSurface();
        for (const auto& [name, target] : {std::pair{"shade", chain_.shadeTarget()},
                                           {"depthdist", chain_.depthDistTarget()},
                                           {"ink", chain_.inkTarget()}})
            if (surface == target->colorSurface()) return name;
        return "another surface";
    }
    std::vector<std::string>& log_;
    const Compositor& chain_;
};

class ChainLog : public ChainObserver {
public:
    ChainLog(std::vector<std::string>& log, const Compositor& chain) : log_(log), chain_(chain) {}
    void onChainEvent(const ChainEvent& e) override
    {
        using Kind = ChainEvent::Kind;
        switch (e.kind) {
        case Kind::PushTarget: log_.push_back("push " + targetName(e.target)); break;
        case Kind::PopTarget: log_.push_back("pop"); break;
        case Kind::Clear:
            log_.push_back(e.color == 0xFF0000FF ? "clear blue" : e.color == 0xFF000000 ? "clear black" : "clear ?");
            break;
        case Kind::PushPass: log_.push_back("pass " + RecordingChild::passName(e.pass)); break;
        case Kind::PopPass: log_.push_back("end pass"); break;
        case Kind::BindTexture: log_.push_back(std::string(e.name) + " = " + targetName(e.target)); break;
        case Kind::FullScreenPass: log_.push_back("full screen " + std::string(e.name)); break;
        case Kind::ColorWrites: log_.push_back("colour writes " + std::to_string(e.color)); break;
        }
    }

private:
    std::string targetName(const RenderTarget* target) const
    {
        if (target == chain_.shadeTarget()) return "shade";
        if (target == chain_.depthDistTarget()) return "depthdist";
        if (target == chain_.inkTarget()) return "ink";
        if (target == chain_.blurTargetA()) return "blurA";
        if (target == chain_.blurTargetB()) return "blurB";
        return "unknown";
    }
    std::vector<std::string>& log_;
    const Compositor& chain_;
};

class CompositorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        screenWidth = kWidth;
        screenHeight = kHeight;
        ASSERT_TRUE(display.createWindow(kWidth, kHeight, false, false, Platform::VideoMode::Offscreen))
            << Display::lastError();
        currentDisplay = &display;
        folder.write("ink.fx", kInk);
        fileSystem().remount(folder.path().string());
    }
    void TearDown() override
    {
        resourceRegistry().releaseAll();
        currentDisplay = nullptr;
    }
    void loadInk()
    {
        resourceRegistry().addResource("ink.fx", "inkShader", loadShader);
        resourceRegistry().loadNext();
    }
    // One frame as the timeline runs it: begun by nextFrame, then advance and
    // draw. Returns the back buffer, which nextFrame has not presented yet.
    std::vector<uint32_t> runFrame(Compositor& chain, float time)
    {
        EXPECT_TRUE(display.nextFrame());
        chain.advance(0.0f, time);
        chain.draw(nullptr);
        Gfx::Device& device = Display::device();
        return device.readPixels(*device.renderTarget());
    }

    ORV::Test::TempDir folder;
    Display display;
};

TEST_F(CompositorTest, OneFrameFollowsTheChainTable)
{
    loadInk();
    Compositor chain;
    chain.prepare();
    std::vector<std::string> log;
    ChainLog observer(log, chain);
    RecordingChild first(log, chain), second(log, chain);
    chain.children = {&first, &second};
    chain.setObserver(&observer);
    runFrame(chain, 7.0f);

    // Each drawing of the children: both, in list order, render then postRender.
    auto children = [](const std::string& pass, const std::string& target) {
        const std::string draw = "draw " + pass + " into " + target;
        return std::vector<std::string>{"pass " + pass, draw, "post", draw, "post", "end pass"};
    };
    std::vector<std::string> expected = {"advance 7", "advance 7", "push shade", "clear blue"};
    auto append = [&expected](const std::vector<std::string>& more) {
        expected.insert(expected.end(), more.begin(), more.end());
    };
    append(children("ambient", "shade"));
    append(children("shade", "shade"));
    append({"pop", "push depthdist", "clear black"});
    append(children("depthdist", "depthdist"));
    append({"pop", "shadeTex = shade", "depthDistTex = depthdist", "push ink", "clear black", "full screen outline",
            "colour writes 0"});
    append(children("ambient", "ink"));
    append({"colour writes 15"});
    append(children("emissive", "ink"));
    append({"pop", "finalTex = ink",   "full screen reduce", "push blurA",
            "pop", "finalTex = blurA", "full screen blurh",  "push blurB",
            "pop", "finalTex = blurB", "full screen blurv",  "push blurA",
            "pop", "finalTex = blurA", "full screen blurh",  "push blurB",
            "pop", "finalTex = blurB", "full screen blurv",  "push blurA",
            "pop", "shadeTex = ink",   "finalTex = blurA",   "full screen final"});
    EXPECT_EQ(log, expected);

    // No target or pass is left pushed.
    EXPECT_EQ(display.currentPass(), PassId(0));
    EXPECT_EQ(display.currentColorSurface(), Display::device().renderTarget());
}

TEST_F(CompositorTest, EveryPassMarksTheFinalImageWhenThereAreNoChildren)
{
    loadInk();
    Compositor chain;
    chain.prepare();
    const std::vector<uint32_t> pixels = runFrame(chain, 0.0f);
    ASSERT_EQ(pixels.size(), std::size_t(kWidth * kHeight));
    for (const std::size_t i : {std::size_t(0), pixels.size() / 2 + kWidth / 2, pixels.size() - 1}) {
        const uint32_t p = pixels[i];
        EXPECT_NEAR(int(p >> 16 & 0xFF), 128, 2) << "reduce halves nothing else; pixel " << i;
        EXPECT_NEAR(int(p >> 8 & 0xFF), 102, 2) << "four blurs, each once; pixel " << i;
        EXPECT_NEAR(int(p & 0xFF), 128, 2) << "the ink of a blue shade image; pixel " << i;
    }

    // The scene passes leave colour writes on, whatever the frame before did.
    EXPECT_EQ(Display::device().renderState(Gfx::RenderState::ColorWriteEnable), Gfx::ColorWrite::All);
}

TEST_F(CompositorTest, WithoutTheInkEffectTheBackBufferKeepsItsClearColour)
{
    Compositor chain;
    chain.prepare();
    std::vector<std::string> log;
    RecordingChild child(log, chain);
    chain.children = {&child};
    const std::vector<uint32_t> pixels = runFrame(chain, 1.0f);
    EXPECT_EQ(pixels[pixels.size() / 2], frameClearColor);
    // The scene passes still ran, into the off-screen targets.
    EXPECT_EQ(std::count(log.begin(), log.end(), "post"), 5);
    EXPECT_EQ(log[1], "draw ambient into shade");
}

} // namespace
