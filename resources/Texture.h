// Texture resources: an image decoded from an asset file into a device
// texture, and RenderTarget, a texture that can also be drawn into. Both are
// created on the display's device; the registry owns the loaded ones. Image
// decoding is the platform image layer's; binding to effects is the materials'.
#pragma once

#include "display/RenderTargetSurfaces.h"
#include "platform/gfx/Texture.h"
#include "resources/Resource.h"

#include <istream>
#include <memory>
#include <string>

namespace ORV::Demo {

class Texture : public Resource {
public:
    // The device texture; null until loaded or created, and after a file that
    // did not decode.
    Gfx::Texture* texture() const { return texture_.get(); }

    // Reads the whole stream and decodes it (JPEG or DDS, told apart by
    // content) into a texture with the file's size and format and a complete
    // mipmap chain. A stream that does not decode leaves the texture empty
    // and returns why in one line; empty on success.
    std::string loadFromStream(std::istream& in);

protected:
    std::unique_ptr<Gfx::Texture> texture_;
};

// The loader for ".jpg" and ".dds" assets: always returns a Texture, empty
// when the file is missing or broken, which the log then says in one line
// naming the file.
std::unique_ptr<Resource> loadTexture(std::string path, std::string name);

class RenderTarget : public Texture, public RenderTargetSurfaces {
public:
    // Creates a one-level colour texture (usable by materials like any other)
    // with its level-0 surface, and a depth-stencil surface of its own. A
    // format of Format::Unknown skips that part. Returns whether the last
    // creation made succeeded (true when neither was asked for).
    bool createTargets(int width, int height, Gfx::Format colorFormat, Gfx::Format depthFormat);

    // Either may be null: binding the target then keeps what was bound.
    Gfx::Surface* colorSurface() const override { return texture_ ? texture_->surfaceLevel(0) : nullptr; }
    Gfx::Surface* depthSurface() const override { return depthSurface_.get(); }

private:
    std::unique_ptr<Gfx::Surface> depthSurface_;
};

} // namespace ORV::Demo
