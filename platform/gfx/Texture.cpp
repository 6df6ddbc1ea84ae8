#include "platform/gfx/Texture.h"

#include "platform/gfx/detail/Gl.h"
#include "platform/gfx/detail/GlFormat.h"

namespace ORV::Gfx {

std::size_t imageByteSize(Format f, int width, int height)
{
    if (width <= 0 || height <= 0) return 0;
    const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    if (isCompressed(f)) {
        const std::size_t blocks = ((w + 3) / 4) * ((h + 3) / 4);
        return blocks * (f == Format::DXT1 ? 8 : 16);
    }
    const detail::GlFormat& gl = detail::glFormat(f);
    return w * h * gl.bytesPerPixel;
}

Surface::~Surface()
{
    if (renderbuffer_) {
        const GLuint name = renderbuffer_;
        GL_CHECK(glDeleteRenderbuffers(1, &name));
    }
}

Texture::~Texture()
{
    levels_.clear();
    if (texture_) {
        const GLuint name = texture_;
        GL_CHECK(glDeleteTextures(1, &name));
    }
}

Surface* Texture::surfaceLevel(int level) const
{
    if (level < 0 || level >= levelCount()) return nullptr;
    return levels_[static_cast<size_t>(level)].get();
}

std::size_t Texture::levelByteSize(int level) const
{
    const Surface* s = surfaceLevel(level);
    return s ? imageByteSize(format_, s->width(), s->height()) : 0;
}

bool Texture::writeLevel(int level, const void* bytes, std::size_t size)
{
    const Surface* s = surfaceLevel(level);
    if (!s || !bytes || size != levelByteSize(level) || isDepthFormat(format_)) return false;
    const detail::GlFormat& gl = detail::glFormat(format_);
    GL_CHECK(glPixelStorei(GL_UNPACK_ALIGNMENT, 1));
    if (isCompressed(format_)) {
        GL_CHECK(glCompressedTextureSubImage2D(texture_, level, 0, 0, s->width(), s->height(), gl.internalFormat,
                                               static_cast<GLsizei>(size), bytes));
    } else {
        GL_CHECK(glTextureSubImage2D(texture_, level, 0, 0, s->width(), s->height(), gl.uploadFormat, gl.uploadType,
                                     bytes));
    }
    return true;
}

} // namespace ORV::Gfx
