// The benchmark's frame (FrameScene.h) drawn through the graphics layer:
// device, meshes, render targets and one effect, as the demo draws.
#pragma once

#include "bench/render/FrameScene.h"
#include "platform/gfx/CompiledEffect.h"
#include "platform/gfx/Device.h"

#include <memory>
#include <string>

namespace ORV::Bench {

class EngineFrame {
public:
    // Null when the effect does not compile or a target cannot be made, with
    // the reason in *error.
    static std::unique_ptr<EngineFrame> create(Gfx::Device& device, FrameSize size, int triangles, std::string* error);

    // The whole frame, ending on the device's back buffer; no present.
    void draw();
    // `count` full-screen passes of one kind back and forth between two
    // targets: Copy at the frame size, Blur at 256 x 256. For measuring.
    void drawPasses(FramePass pass, int count);
    uint32_t triangles() const { return triangles_; }

private:
    EngineFrame(Gfx::Device& device) : device_(device) {}
    void runPass(FramePass pass, const Gfx::Mesh& mesh);
    void fullScreen(FramePass pass, Gfx::Texture& source, Gfx::Surface* target);

    Gfx::Device& device_;
    Gfx::NoEffectIncludes includes_;
    std::unique_ptr<Gfx::CompiledEffect> effect_;
    Gfx::ParameterHandle lightPosition_, lightColor_, source_;
    std::unique_ptr<Gfx::Mesh> sphere_, quad_;
    std::unique_ptr<Gfx::Texture> scene_, small1_, small2_, composite_;
    uint32_t triangles_ = 0;
};

} // namespace ORV::Bench
