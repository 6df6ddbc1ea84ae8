// The root effect of every frame: the post-processing chain. It draws its
// children (the timeline's segment groups) in the four render passes into
// off-screen targets, then builds the demo's look with the full-screen passes
// of the "inkShader" effect: an inked image, a glow blurred at 256 x 256, and
// the final image on the current target (the back buffer). The pass names,
// the texture parameters and the order are fixed here; what each pass
// computes is the effect file's.
//
// Main thread only.
#pragma once

#include "display/PassId.h"
#include "resources/Material.h"
#include "resources/Model.h"
#include "resources/Resource.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace ORV::Demo {

class RenderTarget;

// One step of the chain as it happens, for whoever watches a frame (tests
// compare the order with the chain's table; the benchmark times the steps).
// Each event is reported before the step it names runs.
struct ChainEvent {
    enum class Kind : std::uint8_t {
        PushTarget, // target
        PopTarget,
        Clear, // color: ARGB
        PushPass, // pass; the children are drawn right after it
        PopPass,
        BindTexture, // name: the effect parameter, target: what it reads
        FullScreenPass, // name: the ink effect's pass
        ColorWrites, // color: the ColorWriteEnable mask
    };
    Kind kind;
    const RenderTarget* target = nullptr;
    PassId pass = 0;
    std::string_view name; // a literal of the chain, valid for the process
    std::uint32_t color = 0;
};

class ChainObserver {
public:
    virtual ~ChainObserver() = default;
    virtual void onChainEvent(const ChainEvent& event) = 0;
};

class Compositor : public Effect {
public:
    Compositor();
    // Releases the material, the quad and the render targets; the children
    // are the timeline's and are left alone.
    ~Compositor() override;

    // Creates the render targets (three at the screen size, two at
    // 256 x 256), the full-screen quad, and gives the full-screen material
    // the "inkShader" effect from the registry. Once, after the ink effect is
    // loaded and while the display's device exists. Without the effect the
    // full-screen passes draw nothing; the scene passes still run.
    void prepare();

    // Advances every child to demo time `time` (seconds).
    void update(float elapsed, float time) override;
    // The chain; `parent` is not used.
    void render(Effect* parent) override;
    void postRender(Effect* parent) override;

    // Not owned; null (the default) reports nothing.
    void setObserver(ChainObserver* observer) { observer_ = observer; }

    RenderTarget* shadeTarget() const { return shadeTarget_.get(); }
    RenderTarget* depthDistTarget() const { return depthDistTarget_.get(); }
    RenderTarget* inkTarget() const { return inkTarget_.get(); }
    RenderTarget* blurTargetA() const { return blurTargetA_.get(); }
    RenderTarget* blurTargetB() const { return blurTargetB_.get(); }

private:
    void report(const ChainEvent& event)
    {
        if (observer_) observer_->onChainEvent(event);
    }
    void pushTarget(RenderTarget* target);
    void popTarget();
    void clear(std::uint32_t color);
    void drawChildrenInPass(PassId pass);
    void bindTexture(const std::string& name, RenderTarget* target);
    void setColorWrites(std::uint32_t mask);
    // Draws the quad with the ink effect's pass `name`, into `target` when one
    // is given, else into the current target.
    void fullScreenPass(const std::string& name, RenderTarget* target = nullptr);

    Material postMaterial_;
    Model screenQuad_;
    std::unique_ptr<RenderTarget> shadeTarget_;
    std::unique_ptr<RenderTarget> depthDistTarget_;
    std::unique_ptr<RenderTarget> inkTarget_;
    std::unique_ptr<RenderTarget> blurTargetA_;
    std::unique_ptr<RenderTarget> blurTargetB_;
    ChainObserver* observer_ = nullptr;
};

} // namespace ORV::Demo
