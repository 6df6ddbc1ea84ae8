#include "bench/render/EngineFrame.h"

#include <utility>

namespace ORV::Bench {

using namespace ORV::Gfx;

std::unique_ptr<EngineFrame> EngineFrame::create(Device& device, FrameSize size, int triangles, std::string* error)
{
    std::unique_ptr<EngineFrame> frame(new EngineFrame(device));
    frame->effect_ = CompiledEffect::create(device, kFrameEffect, "frame.fx", {}, frame->includes_, error);
    if (!frame->effect_) return nullptr;
    const TechniqueHandle technique = frame->effect_->findNextValidTechnique();
    if (!technique) {
        *error = "the frame's technique does not link";
        return nullptr;
    }
    frame->effect_->setTechnique(technique);
    frame->effect_->setMatrix("WorldViewProj", worldViewProjection(size));
    frame->lightPosition_ = frame->effect_->parameterByName("LightPosition");
    frame->lightColor_ = frame->effect_->parameterByName("LightColor");
    frame->source_ = frame->effect_->parameterByName("Source");

    const MeshData sphere = sphereMesh(triangles);
    frame->triangles_ = sphere.triangles();
    frame->sphere_ = device.createMesh({{0, 3, VertexUsage::Position, 0},
                                        {12, 3, VertexUsage::Normal, 0},
                                        {24, 2, VertexUsage::TexCoord, 0},
                                        {32, 4, VertexUsage::Tangent, 0}},
                                       sizeof(MeshVertex), sphere.vertices.data(), uint32_t(sphere.vertices.size()),
                                       sphere.indices.data(), uint32_t(sphere.indices.size()));
    frame->quad_ = device.createMesh({{0, 3, VertexUsage::Position, 0}, {12, 2, VertexUsage::TexCoord, 0}}, kQuadStride,
                                     kQuadVertices, 4, kQuadIndices, 6);
    frame->scene_ = device.createTexture(size.width, size.height, 1, Usage::RenderTarget, Format::A8R8G8B8);
    frame->small1_ = device.createTexture(kBlurSize, kBlurSize, 1, Usage::RenderTarget, Format::A8R8G8B8);
    frame->small2_ = device.createTexture(kBlurSize, kBlurSize, 1, Usage::RenderTarget, Format::A8R8G8B8);
    frame->composite_ = device.createTexture(size.width, size.height, 1, Usage::RenderTarget, Format::A8R8G8B8);
    if (!frame->sphere_ || !frame->quad_ || !frame->scene_ || !frame->small1_ || !frame->small2_
        || !frame->composite_) {
        *error = "cannot make the frame's meshes and targets";
        return nullptr;
    }
    return frame;
}

void EngineFrame::runPass(FramePass pass, const Mesh& mesh)
{
    // As the demo draws: every pass in its own begin/end, which saves and
    // restores the states the technique's passes set.
    effect_->begin(0);
    effect_->beginPass(uint32_t(pass));
    device_.drawMesh(mesh);
    effect_->endPass();
    effect_->end();
}

void EngineFrame::fullScreen(FramePass pass, Texture& source, Surface* target)
{
    device_.setRenderTarget(0, target);
    effect_->setTexture(source_, &source);
    runPass(pass, *quad_);
}

void EngineFrame::draw()
{
    device_.setRenderTarget(0, scene_->surfaceLevel(0));
    device_.setDepthStencilSurface(device_.defaultDepthStencil());
    device_.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
    runPass(FramePass::Ambient, *sphere_);
    for (const Light& light : kLights) {
        effect_->setVector(lightPosition_,
                           {light.position[0], light.position[1], light.position[2], light.position[3]});
        effect_->setVector(lightColor_, {light.color[0], light.color[1], light.color[2], light.color[3]});
        runPass(FramePass::Light, *sphere_);
    }
    // The full-screen passes test no depth; and as on D3D9, a depth surface
    // smaller than the target (the 256 x 256 ones at small frame sizes) would
    // cut the drawing to its size.
    device_.setDepthStencilSurface(nullptr);
    fullScreen(FramePass::Blur, *scene_, small1_->surfaceLevel(0));
    for (int blur = 0; blur < 2; ++blur) {
        fullScreen(FramePass::Blur, *small1_, small2_->surfaceLevel(0));
        fullScreen(FramePass::Blur, *small2_, small1_->surfaceLevel(0));
    }
    fullScreen(FramePass::Blur, *small1_, composite_->surfaceLevel(0));
    fullScreen(FramePass::Blur, *composite_, device_.backBuffer());
}

void EngineFrame::drawPasses(FramePass pass, int count)
{
    device_.setDepthStencilSurface(nullptr);
    Texture* a = pass == FramePass::Copy ? scene_.get() : small1_.get();
    Texture* b = pass == FramePass::Copy ? composite_.get() : small2_.get();
    for (int i = 0; i < count; ++i) {
        fullScreen(pass, *a, b->surfaceLevel(0));
        std::swap(a, b);
    }
}

} // namespace ORV::Bench
