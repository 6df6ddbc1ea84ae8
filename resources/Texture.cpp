#include "resources/Texture.h"

#include "display/Display.h"
#include "platform/image/Image.h"
#include "resources/FileSystem.h"

#include <span>

namespace ORV::Demo {

void Texture::loadFromStream(std::istream& in)
{
    texture_.reset();
    const Core::Result<std::string> bytes = readWholeStream(in);
    if (!bytes) return;
    Gfx::DecodeResult decoded =
        Gfx::decodeImage(std::span(reinterpret_cast<const std::uint8_t*>(bytes.value().data()), bytes.value().size()));
    if (!decoded.ok()) return;
    const Gfx::Image& image = decoded.image;
    auto texture =
        Display::device().createTexture(int(image.width), int(image.height), int(image.levels.size()), 0, image.format);
    if (!texture || texture->levelCount() != int(image.levels.size())) return;
    for (int level = 0; level < texture->levelCount(); ++level) {
        const auto& bytesOfLevel = image.levels[size_t(level)].bytes;
        if (!texture->writeLevel(level, bytesOfLevel.data(), bytesOfLevel.size())) return;
    }
    texture_ = std::move(texture);
}

std::unique_ptr<Resource> loadTexture(std::string path, std::string /*name*/)
{
    auto texture = std::make_unique<Texture>();
    if (auto stream = openStream(path)) texture->loadFromStream(*stream);
    return texture;
}

bool RenderTarget::createTargets(int width, int height, Gfx::Format colorFormat, Gfx::Format depthFormat)
{
    bool lastResult = true;
    Gfx::Device& device = Display::device();
    if (colorFormat != Gfx::Format::Unknown) {
        texture_ = device.createTexture(width, height, 1, Gfx::Usage::RenderTarget, colorFormat);
        lastResult = colorSurface() != nullptr;
    }
    if (depthFormat != Gfx::Format::Unknown) {
        depthSurface_ = device.createDepthStencilSurface(width, height, depthFormat);
        lastResult = depthSurface_ != nullptr;
    }
    return lastResult;
}

} // namespace ORV::Demo
