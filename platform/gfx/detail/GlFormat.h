// How each D3D9 format is stored and uploaded on GL. Sizes in memory are
// Format.h's, not GL's.
#pragma once

#include "platform/gfx/Format.h"

#include <epoxy/gl.h>

namespace ORV::Gfx::detail {

struct GlFormat {
    GLenum internalFormat = 0; // 0: not supported
    GLenum uploadFormat = 0;
    GLenum uploadType = 0;
    // Swizzle applied when sampling, so that formats without alpha read 1 and
    // luminance reads as grey, as D3D9 samples them.
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
};

// The description lives as long as the program, so a pointer into it (the
// swizzle, say) stays valid; format 0 entries mean "not supported".
inline const GlFormat& glFormat(Format f)
{
    static const GlFormat a8r8g8b8{GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE};
    static const GlFormat x8r8g8b8{GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
    static const GlFormat a8b8g8r8{GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE};
    static const GlFormat x8b8g8r8{GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
    static const GlFormat r8g8b8{GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
    static const GlFormat l8{GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}};
    static const GlFormat a8l8{GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}};
    static const GlFormat r32f{GL_R32F, GL_RED, GL_FLOAT, {GL_RED, GL_ONE, GL_ONE, GL_ONE}};
    static const GlFormat a16b16g16r16f{GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT};
    static const GlFormat dxt1{GL_COMPRESSED_RGBA_S3TC_DXT1_EXT};
    static const GlFormat dxt3{GL_COMPRESSED_RGBA_S3TC_DXT3_EXT};
    static const GlFormat dxt5{GL_COMPRESSED_RGBA_S3TC_DXT5_EXT};
    static const GlFormat d24s8{GL_DEPTH24_STENCIL8};
    static const GlFormat d16{GL_DEPTH_COMPONENT16};
    static const GlFormat unsupported{};
    switch (f) {
    case Format::A8R8G8B8: return a8r8g8b8;
    case Format::X8R8G8B8: return x8r8g8b8;
    case Format::A8B8G8R8: return a8b8g8r8;
    case Format::X8B8G8R8: return x8b8g8r8;
    case Format::R8G8B8: return r8g8b8;
    case Format::L8: return l8;
    case Format::A8L8: return a8l8;
    case Format::R32F: return r32f;
    case Format::A16B16G16R16F: return a16b16g16r16f;
    case Format::DXT1: return dxt1;
    case Format::DXT3: return dxt3;
    case Format::DXT5: return dxt5;
    case Format::D24S8: return d24s8;
    case Format::D16: return d16;
    case Format::Unknown: break;
    }
    return unsupported;
}

} // namespace ORV::Gfx::detail
