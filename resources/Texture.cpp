#include "resources/Texture.h"

#include "console/Console.h"
#include "display/Display.h"
#include "platform/image/Image.h"
#include "resources/FileSystem.h"

#include <span>

namespace ORV::Demo {

std::string Texture::loadFromStream(std::istream& in)
{
    texture_.reset();
    const Core::Result<std::string> bytes = readWholeStream(in);
    if (!bytes) return bytes.messages();
    Gfx::DecodeResult decoded =
        Gfx::decodeImage(std::span(reinterpret_cast<const std::uint8_t*>(bytes.value().data()), bytes.value().size()));
    if (!decoded.ok()) return decoded.failure;
    const Gfx::Image& image = decoded.image;
    auto texture =
        Display::device().createTexture(int(image.width), int(image.height), int(image.levels.size()), 0, image.format);
    if (!texture || texture->levelCount() != int(image.levels.size())) return "the device cannot make the texture";
    for (int level = 0; level < texture->levelCount(); ++level) {
        const auto& bytesOfLevel = image.levels[size_t(level)].bytes;
        if (!texture->writeLevel(level, bytesOfLevel.data(), bytesOfLevel.size()))
            return "the device does not take the image's level " + std::to_string(level);
    }
    texture_ = std::move(texture);
    return {};
}

std::unique_ptr<Resource> loadTexture(std::string path, std::string /*name*/)
{
    auto texture = std::make_unique<Texture>();
    const std::unique_ptr<std::istream> stream = openStream(path);
    const std::string failure = *stream ? texture->loadFromStream(*stream) : "no such asset";
    if (!failure.empty())
        Core::consoleStream << "Texture " << path << ": " << failure << "; it stays empty\n" << std::flush;
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
