// How each D3D9 format is stored and uploaded on GL.
#pragma once

#include "platform/gfx/Format.h"

#include <epoxy/gl.h>

namespace ORV::Gfx::detail {

struct GlFormat {
    GLenum internalFormat = 0; // 0: not supported
    GLenum uploadFormat = 0;
    GLenum uploadType = 0;
    unsigned bytesPerPixel = 0; // uncompressed colour formats only
    // Swizzle applied when sampling, so that formats without alpha read 1 and
    // luminance reads as grey, as D3D9 samples them.
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
};

inline GlFormat glFormat(Format f)
{
    switch (f) {
    case Format::A8R8G8B8:
        return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4};
    case Format::X8R8G8B8:
        return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
    case Format::A8B8G8R8:
        return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4};
    case Format::X8B8G8R8:
        return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
    case Format::R8G8B8:
        return {GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, 3, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
    case Format::L8:
        return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, {GL_RED, GL_RED, GL_RED, GL_ONE}};
    case Format::A8L8:
        return {GL_RG8, GL_RG, GL_UNSIGNED_BYTE, 2, {GL_RED, GL_RED, GL_RED, GL_GREEN}};
    case Format::R32F:
        return {GL_R32F, GL_RED, GL_FLOAT, 4, {GL_RED, GL_ONE, GL_ONE, GL_ONE}};
    case Format::A16B16G16R16F:
        return {GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8};
    case Format::DXT1:
        return {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT};
    case Format::DXT3:
        return {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT};
    case Format::DXT5:
        return {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT};
    case Format::D24S8:
        return {GL_DEPTH24_STENCIL8};
    case Format::D16:
        return {GL_DEPTH_COMPONENT16};
    case Format::Unknown:
        break;
    }
    return {};
}

} // namespace ORV::Gfx::detail
