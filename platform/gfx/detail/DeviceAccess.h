// The graphics layer's private door into the device and its resources. The
// effect runtime binds its pass's program, textures, samplers and uniform
// buffer through here, so that every binding goes through the device's state
// cache and the device always knows what is bound; the device reads the GL
// names that Texture, Surface and Mesh keep private. Never included outside
// platform/gfx; the engine sees only the public headers.
//
// Threading: as the device, on the thread whose GL context is current.
#pragma once

#include "platform/gfx/Mesh.h"
#include "platform/gfx/Texture.h"

#include <cstdint>

namespace ORV::Gfx {
class Device;
}

namespace ORV::Gfx::detail {

class DeviceAccess {
public:
    // GL names. A level surface's texels are its container's texture; a
    // stand-alone depth-stencil surface has a renderbuffer and no texture.
    static uint32_t textureName(const Texture& texture) { return texture.texture_.get(); }
    static uint32_t textureName(const Surface& surface)
    {
        return surface.container_ ? surface.container_->texture_.get() : 0;
    }
    static uint32_t renderbufferName(const Surface& surface) { return surface.renderbuffer_.get(); }
    static uint32_t vertexArrayName(const Mesh& mesh) { return mesh.vertexArray_.get(); }

    // The program of the effect pass in progress (0 when none): drawMesh draws
    // with it instead of the fixed-function stand-in, or with `depthOnly`
    // (the same vertex shader, no pixel shader work; 0 for none) while every
    // colour channel is masked. Not owned; the effect clears them before the
    // programs go.
    static void setPassProgram(Device& device, uint32_t program, uint32_t depthOnly = 0);
    // Bind through the state cache: GL is called only when the unit's binding
    // changes. texture may be null (the unit is then left empty); sampler and
    // buffer are GL names, 0 for none.
    static void bindTexture(Device& device, uint32_t unit, const Texture* texture);
    static void bindSampler(Device& device, uint32_t unit, uint32_t sampler);
    static void bindUniformBuffer(Device& device, uint32_t binding, uint32_t buffer);
};

} // namespace ORV::Gfx::detail
