// The reference frame in hand-written GL. This is the one file outside
// platform/ that includes GL headers, on purpose: it must bypass the graphics
// layer to show what the layer costs over doing the same work by hand.
#include "bench/render/PlainGlFrame.h"

#include <epoxy/gl.h>

#include <array>

namespace ORV::Bench {

namespace {

GLuint compile(GLenum stage, const char* source, std::string* error)
{
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        *error += log;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint link(const char* vertex, const char* fragment, std::string* error)
{
    const GLuint vs = compile(GL_VERTEX_SHADER, vertex, error), fs = compile(GL_FRAGMENT_SHADER, fragment, error);
    GLuint program = 0;
    if (vs && fs) {
        program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        GLint ok = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok) {
            char log[2048] = {};
            glGetProgramInfoLog(program, sizeof log, nullptr, log);
            *error += log;
            glDeleteProgram(program);
            program = 0;
        }
    }
    glDeleteShader(vs);
    glDeleteShader(fs);
    return program;
}

} // namespace

struct PlainGlFrame::Impl {
    FrameSize size;
    PlainGlOptions options;
    uint32_t triangles = 0, indexCount = 0;
    bool wideIndices = false;
    // ambient, light, blur, copy
    std::array<GLuint, 4> programs{};
    GLuint sphereVao = 0, quadVao = 0, sampler = 0, depth = 0;
    std::array<GLuint, 4> buffers{}; // sphere vertices, indices, quad vertices, indices
    // scene, small1, small2, composite, back buffer
    std::array<GLuint, 5> textures{}, framebuffers{};
    enum { Scene, Small1, Small2, Composite, BackBuffer };

    ~Impl()
    {
        for (GLuint p : programs) glDeleteProgram(p);
        glDeleteVertexArrays(1, &sphereVao);
        glDeleteVertexArrays(1, &quadVao);
        glDeleteSamplers(1, &sampler);
        glDeleteRenderbuffers(1, &depth);
        glDeleteBuffers(GLsizei(buffers.size()), buffers.data());
        glDeleteFramebuffers(GLsizei(framebuffers.size()), framebuffers.data());
        glDeleteTextures(GLsizei(textures.size()), textures.data());
    }

    void fullScreen(int source, int target)
    {
        const bool toWindow = target == BackBuffer && options.finalPassToWindow;
        if (toWindow) {
            // The window's first row is its bottom one: drawn with GL's own
            // origin, the picture comes out the right way up.
            glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        } else {
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffers[size_t(target)]);
        }
        const bool small = target == Small1 || target == Small2;
        glViewport(0, 0, small ? kBlurSize : size.width, small ? kBlurSize : size.height);
        glBindTextureUnit(0, textures[size_t(source)]);
        glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, nullptr);
        if (toWindow) glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    }
};

PlainGlFrame::PlainGlFrame() : impl_(std::make_unique<Impl>()) {}
PlainGlFrame::~PlainGlFrame() = default;
uint32_t PlainGlFrame::triangles() const
{
    return impl_->triangles;
}

std::unique_ptr<PlainGlFrame> PlainGlFrame::create(FrameSize size, int triangles, PlainGlOptions options,
                                                   std::string* error)
{
    std::unique_ptr<PlainGlFrame> frame(new PlainGlFrame);
    Impl& gl = *frame->impl_;
    gl.size = size;
    gl.options = options;

    // D3D9's conventions, as the engine keeps them: depth 0..1 and targets
    // storing their top row first.
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);

    const GlslSources glsl = frameGlsl();
    for (size_t i = 0; i < gl.programs.size(); ++i) {
        const std::string fragment =
            options.alphaTestEpilogue ? withAlphaTestEpilogue(glsl.fragment[i]) : std::string(glsl.fragment[i]);
        gl.programs[i] = link(i < 2 ? glsl.litVertex : glsl.quadVertex, fragment.c_str(), error);
        if (!gl.programs[i]) return nullptr;
    }
    const Core::Matrix matrix = worldViewProjection(size);
    for (int i = 0; i < 2; ++i) glProgramUniformMatrix4fv(gl.programs[size_t(i)], 0, 1, GL_FALSE, &matrix.m[0][0]);
    glProgramUniform2fv(gl.programs[2], 3, 1, kTexelStep); // the blur; the copy has no texel step

    const MeshData sphere = sphereMesh(triangles);
    gl.triangles = sphere.triangles();
    gl.indexCount = uint32_t(sphere.indices.size());
    gl.wideIndices = sphere.vertices.size() > 65536;
    glCreateBuffers(GLsizei(gl.buffers.size()), gl.buffers.data());
    glNamedBufferStorage(gl.buffers[0], GLsizeiptr(sphere.vertices.size() * sizeof(MeshVertex)), sphere.vertices.data(),
                         0);
    if (gl.wideIndices) {
        glNamedBufferStorage(gl.buffers[1], GLsizeiptr(sphere.indices.size() * 4), sphere.indices.data(), 0);
    } else {
        std::vector<uint16_t> narrow(sphere.indices.begin(), sphere.indices.end());
        glNamedBufferStorage(gl.buffers[1], GLsizeiptr(narrow.size() * 2), narrow.data(), 0);
    }
    glNamedBufferStorage(gl.buffers[2], sizeof kQuadVertices, kQuadVertices, 0);
    const uint16_t quadIndices[6] = {uint16_t(kQuadIndices[0]), uint16_t(kQuadIndices[1]), uint16_t(kQuadIndices[2]),
                                     uint16_t(kQuadIndices[3]), uint16_t(kQuadIndices[4]), uint16_t(kQuadIndices[5])};
    glNamedBufferStorage(gl.buffers[3], sizeof quadIndices, quadIndices, 0);

    glCreateVertexArrays(1, &gl.sphereVao);
    glVertexArrayVertexBuffer(gl.sphereVao, 0, gl.buffers[0], 0, sizeof(MeshVertex));
    glVertexArrayElementBuffer(gl.sphereVao, gl.buffers[1]);
    for (GLuint location : {0u, 1u}) {
        glEnableVertexArrayAttrib(gl.sphereVao, location);
        glVertexArrayAttribFormat(gl.sphereVao, location, 3, GL_FLOAT, GL_FALSE, location * 12);
        glVertexArrayAttribBinding(gl.sphereVao, location, 0);
    }
    glCreateVertexArrays(1, &gl.quadVao);
    glVertexArrayVertexBuffer(gl.quadVao, 0, gl.buffers[2], 0, kQuadStride);
    glVertexArrayElementBuffer(gl.quadVao, gl.buffers[3]);
    glEnableVertexArrayAttrib(gl.quadVao, 0);
    glVertexArrayAttribFormat(gl.quadVao, 0, 3, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribBinding(gl.quadVao, 0, 0);
    glEnableVertexArrayAttrib(gl.quadVao, 2);
    glVertexArrayAttribFormat(gl.quadVao, 2, 2, GL_FLOAT, GL_FALSE, 12);
    glVertexArrayAttribBinding(gl.quadVao, 2, 0);

    glCreateSamplers(1, &gl.sampler);
    glSamplerParameteri(gl.sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(gl.sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(gl.sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(gl.sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    glCreateTextures(GL_TEXTURE_2D, GLsizei(gl.textures.size()), gl.textures.data());
    glCreateFramebuffers(GLsizei(gl.framebuffers.size()), gl.framebuffers.data());
    for (size_t i = 0; i < gl.textures.size(); ++i) {
        const bool small = i == Impl::Small1 || i == Impl::Small2;
        glTextureStorage2D(gl.textures[i], 1, GL_RGBA8, small ? kBlurSize : size.width,
                           small ? kBlurSize : size.height);
        glNamedFramebufferTexture(gl.framebuffers[i], GL_COLOR_ATTACHMENT0, gl.textures[i], 0);
    }
    glCreateRenderbuffers(1, &gl.depth);
    glNamedRenderbufferStorage(gl.depth, GL_DEPTH24_STENCIL8, size.width, size.height);
    glNamedFramebufferRenderbuffer(gl.framebuffers[Impl::Scene], GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                   gl.depth);
    for (GLuint fbo : gl.framebuffers) {
        if (glCheckNamedFramebufferStatus(fbo, GL_DRAW_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            *error = "incomplete framebuffer";
            return nullptr;
        }
    }
    return frame;
}

void PlainGlFrame::draw()
{
    Impl& gl = *impl_;
    const GLenum indexType = gl.wideIndices ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;

    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, gl.framebuffers[Impl::Scene]);
    glViewport(0, 0, gl.size.width, gl.size.height);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    const float black[4] = {0, 0, 0, 1}, far = 1.0f;
    glClearNamedFramebufferfv(gl.framebuffers[Impl::Scene], GL_COLOR, 0, black);
    glClearNamedFramebufferfv(gl.framebuffers[Impl::Scene], GL_DEPTH, 0, &far);

    // Culling counter-clockwise on screen, as the engine's default does: with
    // the upper-left origin GL's counter-clockwise is the screen's.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glCullFace(GL_FRONT);
    glDisable(GL_BLEND);
    glBindVertexArray(gl.sphereVao);
    glUseProgram(gl.programs[0]);
    glDrawElements(GL_TRIANGLES, GLsizei(gl.indexCount), indexType, nullptr);

    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE);
    glUseProgram(gl.programs[1]);
    for (const Light& light : kLights) {
        glProgramUniform4fv(gl.programs[1], 1, 1, light.position);
        glProgramUniform4fv(gl.programs[1], 2, 1, light.color);
        glDrawElements(GL_TRIANGLES, GLsizei(gl.indexCount), indexType, nullptr);
    }

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glBindVertexArray(gl.quadVao);
    glUseProgram(gl.programs[2]);
    glBindSampler(0, gl.sampler);
    gl.fullScreen(Impl::Scene, Impl::Small1);
    for (int blur = 0; blur < 2; ++blur) {
        gl.fullScreen(Impl::Small1, Impl::Small2);
        gl.fullScreen(Impl::Small2, Impl::Small1);
    }
    gl.fullScreen(Impl::Small1, Impl::Composite);
    gl.fullScreen(Impl::Composite, Impl::BackBuffer);
}

void PlainGlFrame::copyToWindow()
{
    const Impl& gl = *impl_;
    if (gl.options.finalPassToWindow) return;
    glBlitNamedFramebuffer(gl.framebuffers[Impl::BackBuffer], 0, 0, 0, gl.size.width, gl.size.height, 0, gl.size.height,
                           gl.size.width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

std::vector<uint32_t> PlainGlFrame::readBackBuffer()
{
    const Impl& gl = *impl_;
    std::vector<uint32_t> pixels(size_t(gl.size.width) * size_t(gl.size.height));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // BGRA bytes in a little-endian word read as 0xAARRGGBB.
    glGetTextureImage(gl.textures[Impl::BackBuffer], 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                      GLsizei(pixels.size() * 4), pixels.data());
    for (uint32_t& p : pixels) p |= 0xFF000000u; // the back buffer has no alpha
    return pixels;
}

struct GlStateKeeper::Saved {
    GLboolean depthTest = 0, cullFace = 0, blend = 0, depthMask = 0;
    std::array<GLboolean, 4> colorMask{};
    GLint depthFunc = 0, cullMode = 0, frontFace = 0, blendSrcRgb = 0, blendDstRgb = 0, blendSrcAlpha = 0,
          blendDstAlpha = 0, blendEquationRgb = 0, blendEquationAlpha = 0, clipOrigin = 0, clipDepth = 0;
    std::array<GLint, 4> viewport{};
    GLint program = 0, vertexArray = 0, drawFramebuffer = 0, readFramebuffer = 0, texture = 0, sampler = 0,
          activeTexture = 0;
};

GlStateKeeper::GlStateKeeper() : saved_(std::make_unique<Saved>())
{
    Saved& s = *saved_;
    s.depthTest = glIsEnabled(GL_DEPTH_TEST);
    s.cullFace = glIsEnabled(GL_CULL_FACE);
    s.blend = glIsEnabled(GL_BLEND);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
    glGetBooleanv(GL_COLOR_WRITEMASK, s.colorMask.data());
    glGetIntegerv(GL_DEPTH_FUNC, &s.depthFunc);
    glGetIntegerv(GL_CULL_FACE_MODE, &s.cullMode);
    glGetIntegerv(GL_FRONT_FACE, &s.frontFace);
    glGetIntegerv(GL_BLEND_SRC_RGB, &s.blendSrcRgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &s.blendDstRgb);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &s.blendSrcAlpha);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &s.blendDstAlpha);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &s.blendEquationRgb);
    glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &s.blendEquationAlpha);
    glGetIntegerv(GL_CLIP_ORIGIN, &s.clipOrigin);
    glGetIntegerv(GL_CLIP_DEPTH_MODE, &s.clipDepth);
    glGetIntegerv(GL_VIEWPORT, s.viewport.data());
    glGetIntegerv(GL_CURRENT_PROGRAM, &s.program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &s.vertexArray);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &s.drawFramebuffer);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &s.readFramebuffer);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &s.activeTexture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.texture);
    glGetIntegerv(GL_SAMPLER_BINDING, &s.sampler);
}

GlStateKeeper::~GlStateKeeper()
{
    const Saved& s = *saved_;
    auto enable = [](GLenum cap, GLboolean on) { on ? glEnable(cap) : glDisable(cap); };
    enable(GL_DEPTH_TEST, s.depthTest);
    enable(GL_CULL_FACE, s.cullFace);
    enable(GL_BLEND, s.blend);
    glDepthMask(s.depthMask);
    glColorMask(s.colorMask[0], s.colorMask[1], s.colorMask[2], s.colorMask[3]);
    glDepthFunc(GLenum(s.depthFunc));
    glCullFace(GLenum(s.cullMode));
    glFrontFace(GLenum(s.frontFace));
    glBlendFuncSeparate(GLenum(s.blendSrcRgb), GLenum(s.blendDstRgb), GLenum(s.blendSrcAlpha), GLenum(s.blendDstAlpha));
    glBlendEquationSeparate(GLenum(s.blendEquationRgb), GLenum(s.blendEquationAlpha));
    glClipControl(GLenum(s.clipOrigin), GLenum(s.clipDepth));
    glViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
    glUseProgram(GLuint(s.program));
    glBindVertexArray(GLuint(s.vertexArray));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(s.drawFramebuffer));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(s.readFramebuffer));
    glBindTextureUnit(0, GLuint(s.texture));
    glBindSampler(0, GLuint(s.sampler));
    glActiveTexture(GLenum(s.activeTexture));
}

void finishGl()
{
    glFinish();
}

} // namespace ORV::Bench
