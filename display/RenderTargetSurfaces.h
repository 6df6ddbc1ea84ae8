// What the display's render-target stack binds: a colour surface and a
// depth-stencil surface, either of which may be missing. Render targets
// (resources/Texture.h) provide them; the display neither creates nor owns
// them.
#pragma once

namespace ORV::Gfx {
class Surface;
}

namespace ORV::Demo {

class RenderTargetSurfaces {
public:
    virtual ~RenderTargetSurfaces() = default;

    // Either may be null: binding the target then keeps what was bound.
    virtual Gfx::Surface* colorSurface() const = 0;
    virtual Gfx::Surface* depthSurface() const = 0;
};

} // namespace ORV::Demo
