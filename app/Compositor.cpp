#include "app/Compositor.h"

#include "app/Settings.h"
#include "display/Display.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "resources/Texture.h"

#include <cassert>
#include <string>

namespace ORV::Demo {

namespace {

// The names the chain passes to the material, made once so that a frame
// builds no strings.
const std::string outlinePass = "outline";
const std::string reducePass = "reduce";
const std::string blurHorizontalPass = "blurh";
const std::string blurVerticalPass = "blurv";
const std::string finalPass = "final";
const std::string shadeTexture = "shadeTex";
const std::string depthDistTexture = "depthDistTex";
const std::string finalTexture = "finalTex";

constexpr std::uint32_t opaqueBlue = 0xFF0000FF;
constexpr std::uint32_t opaqueBlack = 0xFF000000;
constexpr int glowSize = 256;

Display& display()
{
    assert(currentDisplay && "the chain draws on the current display");
    return *currentDisplay;
}

} // namespace

Compositor::Compositor() = default;

Compositor::~Compositor() = default;

void Compositor::prepare()
{
    shadeTarget_ = std::make_unique<RenderTarget>();
    depthDistTarget_ = std::make_unique<RenderTarget>();
    inkTarget_ = std::make_unique<RenderTarget>();
    blurTargetA_ = std::make_unique<RenderTarget>();
    blurTargetB_ = std::make_unique<RenderTarget>();
    // A target that fails to create is kept and pushed all the same: binding
    // it keeps whatever was bound before.
    for (RenderTarget* target : {shadeTarget_.get(), depthDistTarget_.get(), inkTarget_.get()})
        target->createTargets(screenWidth, screenHeight, Gfx::Format::A8R8G8B8, Gfx::Format::D16);
    for (RenderTarget* target : {blurTargetA_.get(), blurTargetB_.get()})
        target->createTargets(glowSize, glowSize, Gfx::Format::A8R8G8B8, Gfx::Format::D16);
    screenQuad_.buildQuad();
    postMaterial_ = Material(static_cast<Shader*>(resourceRegistry().findByName("inkShader")));
}

void Compositor::update(float elapsed, float time)
{
    for (Effect* child : children) child->advance(elapsed, time);
}

void Compositor::postRender(Effect*) {}

void Compositor::pushTarget(RenderTarget* target)
{
    report({.kind = ChainEvent::Kind::PushTarget, .target = target});
    display().pushRenderTarget(target);
}

void Compositor::popTarget()
{
    report({.kind = ChainEvent::Kind::PopTarget});
    display().popRenderTarget();
}

void Compositor::clear(std::uint32_t color)
{
    report({.kind = ChainEvent::Kind::Clear, .color = color});
    Display::device().clear(Gfx::ClearFlag::Target | Gfx::ClearFlag::ZBuffer, color, 1.0f, 0);
}

void Compositor::drawChildrenInPass(PassId pass)
{
    report({.kind = ChainEvent::Kind::PushPass, .pass = pass});
    display().pushPass(pass);
    for (Effect* child : children) {
        child->render(this);
        child->postRender(this);
    }
    report({.kind = ChainEvent::Kind::PopPass});
    display().popPass();
}

void Compositor::bindTexture(const std::string& name, RenderTarget* target)
{
    report({.kind = ChainEvent::Kind::BindTexture, .target = target, .name = name});
    postMaterial_.setTexture(name, target);
}

void Compositor::setColorWrites(std::uint32_t mask)
{
    report({.kind = ChainEvent::Kind::ColorWrites, .color = mask});
    Display::device().setRenderState(Gfx::RenderState::ColorWriteEnable, mask);
}

void Compositor::fullScreenPass(const std::string& name, RenderTarget* target)
{
    report({.kind = ChainEvent::Kind::FullScreenPass, .name = name});
    postMaterial_.selectPass(name);
    if (target) pushTarget(target);
    while (postMaterial_.beginNextPass()) screenQuad_.draw();
    postMaterial_.endPasses();
    if (target) popTarget();
}

void Compositor::render(Effect*)
{
    assert(shadeTarget_ && "prepare runs before the first frame");

    // The shade image: ambient light, then each light added, over blue.
    pushTarget(shadeTarget_.get());
    clear(opaqueBlue);
    drawChildrenInPass(ambientPass);
    drawChildrenInPass(shadePass);
    popTarget();

    // What the outline pass reads to find edges.
    pushTarget(depthDistTarget_.get());
    clear(opaqueBlack);
    drawChildrenInPass(depthDistPass);
    popTarget();

    // The inked image, then the glowing objects on it, hidden where the
    // scenes' depth (laid down again without colour) covers them.
    bindTexture(shadeTexture, shadeTarget_.get());
    bindTexture(depthDistTexture, depthDistTarget_.get());
    pushTarget(inkTarget_.get());
    clear(opaqueBlack);
    fullScreenPass(outlinePass);
    setColorWrites(0);
    drawChildrenInPass(ambientPass);
    setColorWrites(Gfx::ColorWrite::All);
    drawChildrenInPass(emissivePass);
    popTarget();

    // The glow: down to 256 x 256, then blurred twice in each direction.
    bindTexture(finalTexture, inkTarget_.get());
    fullScreenPass(reducePass, blurTargetA_.get());
    bindTexture(finalTexture, blurTargetA_.get());
    fullScreenPass(blurHorizontalPass, blurTargetB_.get());
    bindTexture(finalTexture, blurTargetB_.get());
    fullScreenPass(blurVerticalPass, blurTargetA_.get());
    bindTexture(finalTexture, blurTargetA_.get());
    fullScreenPass(blurHorizontalPass, blurTargetB_.get());
    bindTexture(finalTexture, blurTargetB_.get());
    fullScreenPass(blurVerticalPass, blurTargetA_.get());

    // The inked image with its glow, on the current target.
    bindTexture(shadeTexture, inkTarget_.get());
    bindTexture(finalTexture, blurTargetA_.get());
    fullScreenPass(finalPass);
}

} // namespace ORV::Demo
