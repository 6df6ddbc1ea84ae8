// The Direct3D-9-shaped graphics device over OpenGL 4.5 core: render states,
// transforms, clear, scene begin/end, present, render-target and depth binding,
// pre-transformed vertex drawing, and the creation of textures and depth
// surfaces, each with D3D9 meaning. It draws; it opens no window and reads no
// file. The window hands it a context and a way to show the finished frame.
//
// Conventions kept on GL: depth range 0..1 with the upper-left origin, so every
// target stores its top row first and texture coordinate (0, 0) is the top-left
// texel; matrices are row-major for row vectors; Cull::CCW culls triangles that
// run counter-clockwise on screen. The back buffer is an off-screen X8R8G8B8
// target with its own D24S8 depth-stencil surface; present copies it, scaled
// with its aspect kept, to the window.
//
// Threading: one device, used only on the thread whose GL context is current.
#pragma once

#include "core/Math.h"
#include "core/Result.h"
#include "platform/gfx/Format.h"
#include "platform/gfx/Mesh.h"
#include "platform/gfx/RenderStates.h"
#include "platform/gfx/Texture.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ORV::Gfx {

namespace detail {
class DeviceAccess;
}

// Where present sends the finished frame: the window's own framebuffer.
class PresentTarget {
public:
    virtual ~PresentTarget() = default;
    virtual void drawableSize(int* width, int* height) const = 0;
    virtual void swap() = 0;
};

enum class PrimitiveType : uint8_t { TriangleList, TriangleStrip, LineList };

// Flexible vertex formats the device draws without an effect.
namespace FVF {
constexpr uint32_t XYZRHW = 0x004, Diffuse = 0x040;
}

class Device {
public:
    // Creates the device on the GL context current on this thread, with a back
    // buffer of width x height. present may be null (nothing is shown). Fails
    // when the context lacks what the device needs, with messages that name
    // the renderer and what it lacks.
    static Core::Result<std::unique_ptr<Device>> create(int width, int height, PresentTarget* present);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Render states: the GL state changes only when a value changes.
    void setRenderState(RenderState state, uint32_t value);
    uint32_t renderState(RenderState state) const { return states_[size_t(state)]; }

    // A world index never set reads as identity. By value: setting a higher
    // world index may move the stored ones.
    void setTransform(TransformState state, const Core::Matrix& matrix);
    Core::Matrix transform(TransformState state) const;

    // Clears the whole bound colour target and/or the bound depth-stencil
    // surface, whatever the write masks say (as D3D9 does).
    void clear(uint32_t clearFlags, uint32_t argb, float z, uint32_t stencil);
    void beginScene();
    void endScene();
    // Shows the back buffer in the present target; never waits for retrace.
    void present();
    // Frames presented since creation.
    uint64_t presentCount() const { return presentCount_; }

    Surface* backBuffer() const { return backBufferTexture_->surfaceLevel(0); }
    Surface* defaultDepthStencil() const { return defaultDepth_.get(); }

    // Binds a colour surface (index 0 only) and sets the viewport to its size;
    // a depth-stencil surface (may be null for none).
    void setRenderTarget(uint32_t index, Surface* surface);
    void setDepthStencilSurface(Surface* surface);
    Surface* renderTarget() const { return colorTarget_; }
    Surface* depthStencilSurface() const { return depthTarget_; }

    // Pre-transformed, coloured vertices (XYZRHW | Diffuse: x, y, z, rhw floats
    // then a 32-bit ARGB colour) drawn from client memory.
    void setFVF(uint32_t fvf) { fvf_ = fvf; }
    void drawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices, uint32_t stride);

    // A mesh from client memory: vertexCount vertices of `stride` bytes laid
    // out as `declaration` says, and indexCount indices (whole triangles; a
    // trailing partial triangle is dropped). Indices are stored in 16 bits
    // when every vertex can be reached so, else in 32. Null when the input is
    // inconsistent (an index past the last vertex, an element outside the
    // stride, no triangle).
    std::unique_ptr<Mesh> createMesh(const std::vector<VertexElement>& declaration, uint32_t stride,
                                     const void* vertices, uint32_t vertexCount, const uint32_t* indices,
                                     uint32_t indexCount);
    // Draws the whole mesh with the effect pass in progress; outside any pass,
    // with the fixed-function stand-in: positions through world(0) * view *
    // projection, black while Lighting is on (no lights exist), else white.
    void drawMesh(const Mesh& mesh);

    // Whether an effect pass is in progress, so that drawMesh draws with it.
    bool effectPassActive() const;

    // Null when the size or format is not supported (block formats are no
    // render targets).
    std::unique_ptr<Texture> createTexture(int width, int height, int levels, uint32_t usage, Format format);
    std::unique_ptr<Surface> createDepthStencilSurface(int width, int height, Format format);

    // Reads a colour surface back as ARGB words, top row first; block formats
    // decompressed. Empty for depth surfaces.
    std::vector<uint32_t> readPixels(const Surface& surface);

    // The renderer of the GL context, as its driver names it.
    std::string rendererName() const;

private:
    friend class detail::DeviceAccess;
    Device() = default;
    // Empty on success, else why the device cannot work on this context.
    std::string init(int width, int height, PresentTarget* present);
    void applyRenderState(RenderState state, uint32_t value);
    // Attaches the bound surfaces to the draw framebuffer (when they changed)
    // and binds it. Called by every draw.
    void prepareDraw();

    std::array<uint32_t, size_t(RenderState::Count)> states_{};
    Core::Matrix view_, projection_;
    std::vector<Core::Matrix> worlds_;
    PresentTarget* present_ = nullptr;
    std::unique_ptr<Texture> backBufferTexture_;
    std::unique_ptr<Surface> defaultDepth_;
    Surface* colorTarget_ = nullptr;
    Surface* depthTarget_ = nullptr;
    bool framebufferDirty_ = true;
    bool inScene_ = false;
    uint64_t presentCount_ = 0;
    uint32_t fvf_ = 0;

    struct GlObjects;
    std::unique_ptr<GlObjects> gl_;
};

} // namespace ORV::Gfx
