// Textures and surfaces of the graphics layer. A Texture owns its GL texture
// and one Surface per mip level; a stand-alone depth-stencil Surface owns its
// renderbuffer. Surfaces are what render targets bind. Created by the Device;
// destroy them while its GL context is current.
#pragma once

#include "platform/gfx/Format.h"
#include "platform/gfx/detail/GlObject.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace ORV::Gfx {

namespace Usage {
constexpr uint32_t RenderTarget = 1, DepthStencil = 2;
}

class Texture;
namespace detail {
class DeviceAccess;
}

class Surface {
public:
    ~Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    Format format() const { return format_; }
    // The texture this surface is a level of; null for a stand-alone surface.
    Texture* container() const { return container_; }
    int level() const { return level_; }

private:
    friend class Device;
    friend class Texture;
    friend class detail::DeviceAccess;
    Surface() = default;

    int width_ = 0, height_ = 0;
    Format format_ = Format::Unknown;
    Texture* container_ = nullptr;
    int level_ = 0;
    // A stand-alone depth-stencil surface's storage; a level's texels are its
    // container's texture.
    detail::GlObject renderbuffer_;
};

class Texture {
public:
    ~Texture() = default;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    int levelCount() const { return static_cast<int>(levels_.size()); }
    Format format() const { return format_; }
    uint32_t usage() const { return usage_; }

    // The surface of one mip level, owned by the texture; null past the last.
    Surface* surfaceLevel(int level) const;

    // Replaces the texels of one level. bytes hold the level in the format's
    // memory layout, top row first, rows packed; size must be exactly
    // levelByteSize(level). Returns false (and changes nothing) otherwise.
    bool writeLevel(int level, const void* bytes, std::size_t size);
    std::size_t levelByteSize(int level) const;

private:
    friend class Device;
    friend class detail::DeviceAccess;
    Texture() = default;

    int width_ = 0, height_ = 0;
    Format format_ = Format::Unknown;
    uint32_t usage_ = 0;
    detail::GlObject texture_;
    // Destroyed before texture_: members go in reverse order of declaration.
    std::vector<std::unique_ptr<Surface>> levels_;
};

} // namespace ORV::Gfx
