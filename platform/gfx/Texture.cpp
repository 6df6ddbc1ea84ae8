#include "platform/gfx/Texture.h"

#include "platform/gfx/detail/Gl.h"
#include "platform/gfx/detail/GlFormat.h"

namespace ORV::Gfx {

Surface* Texture::surfaceLevel(int level) const
{
    if (level < 0 || level >= levelCount()) return nullptr;
    return levels_[static_cast<size_t>(level)].get();
}

std::size_t Texture::levelByteSize(int level) const
{
    const Surface* s = surfaceLevel(level);
    return s ? std::size_t(Gfx::levelByteSize(format_, uint32_t(s->width()), uint32_t(s->height()))) : 0;
}

bool Texture::writeLevel(int level, const void* bytes, std::size_t size)
{
    const Surface* s = surfaceLevel(level);
    if (!s || !bytes || size != levelByteSize(level) || isDepthFormat(format_)) return false;
    const detail::GlFormat& gl = detail::glFormat(format_);
    GL_CHECK(glPixelStorei(GL_UNPACK_ALIGNMENT, 1));
    if (isCompressed(format_)) {
        GL_CHECK(glCompressedTextureSubImage2D(texture_.get(), level, 0, 0, s->width(), s->height(), gl.internalFormat,
                                               static_cast<GLsizei>(size), bytes));
    } else {
        GL_CHECK(glTextureSubImage2D(texture_.get(), level, 0, 0, s->width(), s->height(), gl.uploadFormat,
                                     gl.uploadType, bytes));
    }
    return true;
}

} // namespace ORV::Gfx
