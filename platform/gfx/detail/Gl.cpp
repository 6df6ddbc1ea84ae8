#include "platform/gfx/detail/Gl.h"

#include <cassert>
#include <cstdio>

namespace ORV::Gfx::detail {

namespace {
const char* errorName(GLenum error)
{
    switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
    default: return "unknown GL error";
    }
}
} // namespace

bool checkGlErrors(const char* call, const char* file, int line)
{
    bool clean = true;
    bool misuse = false;
    // A lost context reports errors forever; the bound keeps this finite.
    for (int i = 0; i < 16; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        std::fprintf(stderr, "%s:%d: %s in %s\n", file, line, errorName(error), call);
        clean = false;
        misuse = misuse || error != GL_OUT_OF_MEMORY;
    }
    // Every error but running out of memory means the layer called GL wrongly:
    // a programmer error, so checked builds stop on it and the test fails.
    assert(!misuse && "GL call rejected; see the line above");
    (void)misuse;
    return clean;
}

} // namespace ORV::Gfx::detail

#include "platform/gfx/detail/GlObject.h"

#include <array>
#include <atomic>

namespace ORV::Gfx::detail {

namespace {
// The device and its context belong to one thread; so does this count.
thread_local uint64_t deletions = 0;

constexpr std::size_t kindCount = GlObjectCounts::kindCount;
static_assert(std::size_t(GlKind::Sampler) + 1 == kindCount, "one count per kind, in the same order");
// Process-wide, so that a count taken anywhere sees every context's objects;
// relaxed atomics, since the counts order nothing.
std::array<std::atomic<std::int64_t>, kindCount> liveObjects{};
} // namespace

void countGlObjectCreated(GlKind kind)
{
    liveObjects[std::size_t(kind)].fetch_add(1, std::memory_order_relaxed);
}

uint64_t bindableDeletions()
{
    return deletions;
}

void GlObject::reset()
{
    if (!name_) return;
    const GLuint name = name_;
    if (kind_ == GlKind::Texture || kind_ == GlKind::Sampler || kind_ == GlKind::Buffer) ++deletions;
    liveObjects[std::size_t(kind_)].fetch_sub(1, std::memory_order_relaxed);
    switch (kind_) {
    case GlKind::Buffer: GL_CHECK(glDeleteBuffers(1, &name)); break;
    case GlKind::Texture: GL_CHECK(glDeleteTextures(1, &name)); break;
    case GlKind::Framebuffer: GL_CHECK(glDeleteFramebuffers(1, &name)); break;
    case GlKind::Renderbuffer: GL_CHECK(glDeleteRenderbuffers(1, &name)); break;
    case GlKind::VertexArray: GL_CHECK(glDeleteVertexArrays(1, &name)); break;
    case GlKind::Program: GL_CHECK(glDeleteProgram(name)); break;
    case GlKind::Shader: GL_CHECK(glDeleteShader(name)); break;
    case GlKind::Sampler: GL_CHECK(glDeleteSamplers(1, &name)); break;
    }
    name_ = 0;
}

GlObject createGlObject(GlKind kind)
{
    GLuint name = 0;
    switch (kind) {
    case GlKind::Buffer: GL_CHECK(glCreateBuffers(1, &name)); break;
    case GlKind::Texture: break; // textures need a target: glCreateTextures by the caller
    case GlKind::Framebuffer: GL_CHECK(glCreateFramebuffers(1, &name)); break;
    case GlKind::Renderbuffer: GL_CHECK(glCreateRenderbuffers(1, &name)); break;
    case GlKind::VertexArray: GL_CHECK(glCreateVertexArrays(1, &name)); break;
    case GlKind::Program: GL_CHECK(name = glCreateProgram()); break;
    case GlKind::Shader: break; // shaders need a stage: glCreateShader by the caller
    case GlKind::Sampler: GL_CHECK(glCreateSamplers(1, &name)); break;
    }
    return GlObject(kind, name);
}

} // namespace ORV::Gfx::detail

namespace ORV::Gfx {

GlObjectCounts liveGlObjects()
{
    GlObjectCounts counts;
    for (std::size_t k = 0; k < detail::kindCount; ++k)
        counts.live[k] = detail::liveObjects[k].load(std::memory_order_relaxed);
    return counts;
}

std::int64_t GlObjectCounts::total() const
{
    std::int64_t sum = 0;
    for (const std::int64_t count : live) sum += count;
    return sum;
}

} // namespace ORV::Gfx

namespace ORV::Gfx::detail {

namespace {
// The info log of a shader or program, read with the matching pair of queries.
std::string infoLog(GLuint name, PFNGLGETSHADERIVPROC getLength, PFNGLGETSHADERINFOLOGPROC getText)
{
    GLint length = 0;
    GL_CHECK(getLength(name, GL_INFO_LOG_LENGTH, &length));
    std::string text(static_cast<size_t>(length > 0 ? length : 1), '\0');
    GL_CHECK(getText(name, GLsizei(text.size()), nullptr, text.data()));
    return text.c_str(); // up to the terminator GL wrote
}

GlObject compileShader(GLenum stage, const std::string& source, std::string* log)
{
    GLuint name = 0;
    GL_CHECK(name = glCreateShader(stage));
    GlObject shader(GlKind::Shader, name);
    const char* text = source.c_str();
    GL_CHECK(glShaderSource(shader.get(), 1, &text, nullptr));
    GL_CHECK(glCompileShader(shader.get()));
    GLint ok = GL_FALSE;
    GL_CHECK(glGetShaderiv(shader.get(), GL_COMPILE_STATUS, &ok));
    if (ok) return shader;
    *log += (stage == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ")
            + infoLog(shader.get(), glGetShaderiv, glGetShaderInfoLog);
    return {};
}
} // namespace

GlObject linkProgram(const std::string& vertexSource, const std::string& fragmentSource, std::string* log)
{
    std::string ignored;
    if (!log) log = &ignored;
    GlObject vs = compileShader(GL_VERTEX_SHADER, vertexSource, log);
    GlObject fs = compileShader(GL_FRAGMENT_SHADER, fragmentSource, log);
    if (!vs || !fs) return {};
    GlObject program = createGlObject(GlKind::Program);
    GL_CHECK(glAttachShader(program.get(), vs.get()));
    GL_CHECK(glAttachShader(program.get(), fs.get()));
    GL_CHECK(glLinkProgram(program.get()));
    GL_CHECK(glDetachShader(program.get(), vs.get()));
    GL_CHECK(glDetachShader(program.get(), fs.get()));
    GLint ok = GL_FALSE;
    GL_CHECK(glGetProgramiv(program.get(), GL_LINK_STATUS, &ok));
    if (ok) return program;
    *log += "link: " + infoLog(program.get(), glGetProgramiv, glGetProgramInfoLog);
    return {};
}

} // namespace ORV::Gfx::detail
