#include "platform/gfx/Device.h"

#include "platform/gfx/detail/DeviceAccess.h"
#include "platform/gfx/detail/Gl.h"
#include "platform/gfx/detail/GlFormat.h"
#include "platform/gfx/detail/GlObject.h"

#include <algorithm>
#include <cassert>
#include <string>

namespace ORV::Gfx {

using detail::DeviceAccess;
using detail::GlKind;
using detail::GlObject;

uint32_t defaultRenderState(RenderState state)
{
    switch (state) {
    case RenderState::ZEnable: return value(ZBufferType::True); // the device has a depth surface
    case RenderState::ZWriteEnable: return 1;
    case RenderState::ZFunc: return value(Cmp::LessEqual);
    case RenderState::CullMode: return value(Cull::CCW);
    case RenderState::Lighting: return 1;
    case RenderState::ColorWriteEnable: return ColorWrite::All;
    case RenderState::AlphaBlendEnable: return 0;
    case RenderState::SrcBlend: return value(Blend::One);
    case RenderState::DestBlend: return value(Blend::Zero);
    case RenderState::BlendOp: return value(BlendOperation::Add);
    case RenderState::AlphaTestEnable: return 0;
    case RenderState::AlphaFunc: return value(Cmp::Always);
    case RenderState::AlphaRef: return 0;
    case RenderState::Count: break;
    }
    return 0;
}

namespace {

// No helper here is named with a gl prefix: libepoxy makes every GL entry
// point a macro, so a helper spelled like one replaces the GL call silently.
GLenum compareFunction(uint32_t cmp)
{
    switch (static_cast<Cmp>(cmp)) {
    case Cmp::Never: return GL_NEVER;
    case Cmp::Less: return GL_LESS;
    case Cmp::Equal: return GL_EQUAL;
    case Cmp::LessEqual: return GL_LEQUAL;
    case Cmp::Greater: return GL_GREATER;
    case Cmp::NotEqual: return GL_NOTEQUAL;
    case Cmp::GreaterEqual: return GL_GEQUAL;
    case Cmp::Always: return GL_ALWAYS;
    }
    return GL_ALWAYS;
}

GLenum blendFactor(uint32_t blend)
{
    switch (static_cast<Blend>(blend)) {
    case Blend::Zero: return GL_ZERO;
    case Blend::One: return GL_ONE;
    case Blend::SrcColor: return GL_SRC_COLOR;
    case Blend::InvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case Blend::SrcAlpha: return GL_SRC_ALPHA;
    case Blend::InvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case Blend::DestAlpha: return GL_DST_ALPHA;
    case Blend::InvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case Blend::DestColor: return GL_DST_COLOR;
    case Blend::InvDestColor: return GL_ONE_MINUS_DST_COLOR;
    case Blend::SrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
    }
    return GL_ONE;
}

GLenum blendEquation(uint32_t op)
{
    switch (static_cast<BlendOperation>(op)) {
    case BlendOperation::Add: return GL_FUNC_ADD;
    case BlendOperation::Subtract: return GL_FUNC_SUBTRACT;
    case BlendOperation::RevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case BlendOperation::Min: return GL_MIN;
    case BlendOperation::Max: return GL_MAX;
    }
    return GL_FUNC_ADD;
}

// Pre-transformed vertices: x, y in pixels of the bound target (y down), z in
// 0..1, rhw = 1/w. With the upper-left origin, NDC y = +1 is the top row.
const char* const kPretransformedVS = R"(#version 450 core
layout(location = 0) in vec4 positionRhw;
layout(location = 1) in vec4 diffuse;
layout(location = 0) uniform vec2 targetSize;
out vec4 vertexColor;
void main()
{
    float w = 1.0 / positionRhw.w;
    vec2 ndc = vec2(positionRhw.x / targetSize.x * 2.0 - 1.0, 1.0 - positionRhw.y / targetSize.y * 2.0);
    gl_Position = vec4(ndc * w, positionRhw.z * w, w);
    vertexColor = diffuse;
}
)";

const char* const kColorFS = R"(#version 450 core
in vec4 vertexColor;
layout(location = 0) out vec4 fragmentColor;
void main() { fragmentColor = vertexColor; }
)";

// The fixed-function stand-in for meshes drawn outside any effect pass. The
// row-major matrix for row vectors, uploaded untransposed, reads in GLSL as its
// transpose, so matrix * column vector gives p * M.
const char* const kFixedFunctionVS = R"(#version 450 core
layout(location = 0) in vec3 position;
layout(location = 0) uniform mat4 worldViewProjection;
layout(location = 1) uniform vec4 color;
out vec4 vertexColor;
void main()
{
    gl_Position = worldViewProjection * vec4(position, 1.0);
    vertexColor = color;
}
)";

uint32_t vertexCount(PrimitiveType type, uint32_t primitives)
{
    switch (type) {
    case PrimitiveType::TriangleList: return primitives * 3;
    case PrimitiveType::TriangleStrip: return primitives ? primitives + 2 : 0;
    case PrimitiveType::LineList: return primitives * 2;
    }
    return 0;
}

GLenum primitiveMode(PrimitiveType type)
{
    switch (type) {
    case PrimitiveType::TriangleList: return GL_TRIANGLES;
    case PrimitiveType::TriangleStrip: return GL_TRIANGLE_STRIP;
    case PrimitiveType::LineList: return GL_LINES;
    }
    return GL_TRIANGLES;
}

} // namespace

struct Device::GlObjects {
    GlObject drawFramebuffer;
    GlObject presentFramebuffer; // the back buffer, attached for good
    GlObject readFramebuffer; // readPixels of any surface
    GlObject pretransformedVao;
    GlObject streamBuffer;
    std::size_t streamBufferSize = 0;
    GlObject pretransformedProgram;
    GlObject fixedFunctionProgram;

    GLuint effectProgram = 0; // the pass in progress, not owned
    GLuint effectDepthOnlyProgram = 0; // its twin for masked colour, or 0

    // What the effects last bound, by unit. Units past the cached ones (only
    // an effect with that many samplers reaches them) are bound every time.
    // `unknown` matches no name, so the next bind always reaches GL.
    static constexpr GLuint unknown = ~GLuint(0);
    std::array<GLuint, 32> textures;
    std::array<GLuint, 32> samplers;
    std::array<GLuint, 4> uniformBuffers;
    uint64_t deletionsSeen = 0;

    GlObjects() { forgetBindings(); }
    void forgetBindings()
    {
        textures.fill(unknown);
        samplers.fill(unknown);
        uniformBuffers.fill(unknown);
        deletionsSeen = detail::bindableDeletions();
    }
    // A texture, sampler or buffer deleted since the last bind may have been
    // unbound by GL and its name reused: the cache no longer tells the truth.
    void revalidate()
    {
        if (deletionsSeen != detail::bindableDeletions()) forgetBindings();
    }
};

Core::Result<std::unique_ptr<Device>> Device::create(int width, int height, PresentTarget* present)
{
    std::unique_ptr<Device> device(new Device);
    std::string failure = device->init(width, height, present);
    if (!failure.empty()) {
        while (!failure.empty() && failure.back() == '\n') failure.pop_back();
        return Core::Result<std::unique_ptr<Device>>::failure("cannot create the graphics device on "
                                                              + device->rendererName() + ": " + failure);
    }
    return device;
}

Device::~Device() = default;

std::string Device::rendererName() const
{
    const GLubyte* name = nullptr;
    GL_CHECK(name = glGetString(GL_RENDERER));
    return name ? reinterpret_cast<const char*>(name) : "an unnamed renderer";
}

std::string Device::init(int width, int height, PresentTarget* present)
{
    if (epoxy_gl_version() < 45) {
        return "the GL context offers version " + std::to_string(epoxy_gl_version() / 10) + "."
               + std::to_string(epoxy_gl_version() % 10) + "; 4.5 is needed";
    }
    present_ = present;
    gl_ = std::make_unique<GlObjects>();
    GL_CHECK(glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE));
    // With the upper-left origin GL computes facing in window coordinates whose
    // y points down, so its counter-clockwise is counter-clockwise as seen on
    // screen: front faces are those, and Cull::CCW culls the front faces.
    GL_CHECK(glFrontFace(GL_CCW));

    backBufferTexture_ = createTexture(width, height, 1, Usage::RenderTarget, Format::X8R8G8B8);
    defaultDepth_ = createDepthStencilSurface(width, height, Format::D24S8);
    if (!backBufferTexture_ || !defaultDepth_)
        return "no back buffer of " + std::to_string(width) + " x " + std::to_string(height);

    gl_->drawFramebuffer = detail::createGlObject(GlKind::Framebuffer);
    gl_->presentFramebuffer = detail::createGlObject(GlKind::Framebuffer);
    gl_->readFramebuffer = detail::createGlObject(GlKind::Framebuffer);
    GL_CHECK(glNamedFramebufferTexture(gl_->presentFramebuffer.get(), GL_COLOR_ATTACHMENT0,
                                       DeviceAccess::textureName(*backBufferTexture_), 0));

    std::string log;
    gl_->pretransformedProgram = detail::linkProgram(kPretransformedVS, kColorFS, &log);
    if (!gl_->pretransformedProgram) return "built-in program: " + log;
    gl_->fixedFunctionProgram = detail::linkProgram(kFixedFunctionVS, kColorFS, &log);
    if (!gl_->fixedFunctionProgram) return "built-in program: " + log;
    gl_->pretransformedVao = detail::createGlObject(GlKind::VertexArray);
    gl_->streamBuffer = detail::createGlObject(GlKind::Buffer);
    const GLuint vao = gl_->pretransformedVao.get();
    GL_CHECK(glEnableVertexArrayAttrib(vao, 0));
    GL_CHECK(glEnableVertexArrayAttrib(vao, 1));
    GL_CHECK(glVertexArrayAttribFormat(vao, 0, 4, GL_FLOAT, GL_FALSE, 0));
    // D3DCOLOR is ARGB in a little-endian word: bytes B, G, R, A.
    GL_CHECK(glVertexArrayAttribFormat(vao, 1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 16));
    GL_CHECK(glVertexArrayAttribBinding(vao, 0, 0));
    GL_CHECK(glVertexArrayAttribBinding(vao, 1, 0));

    for (size_t i = 0; i < states_.size(); ++i) {
        states_[i] = defaultRenderState(static_cast<RenderState>(i));
        applyRenderState(static_cast<RenderState>(i), states_[i]);
    }
    setRenderTarget(0, backBuffer());
    setDepthStencilSurface(defaultDepth_.get());
    return {};
}

void Device::setRenderState(RenderState state, uint32_t v)
{
    assert(state < RenderState::Count);
    uint32_t& current = states_[size_t(state)];
    if (current == v) return;
    current = v;
    applyRenderState(state, v);
}

void Device::applyRenderState(RenderState state, uint32_t v)
{
    switch (state) {
    case RenderState::ZEnable:
        if (v != value(ZBufferType::False))
            GL_CHECK(glEnable(GL_DEPTH_TEST));
        else
            GL_CHECK(glDisable(GL_DEPTH_TEST));
        break;
    case RenderState::ZWriteEnable: GL_CHECK(glDepthMask(v ? GL_TRUE : GL_FALSE)); break;
    case RenderState::ZFunc: GL_CHECK(glDepthFunc(compareFunction(v))); break;
    case RenderState::CullMode:
        if (v == value(Cull::CW) || v == value(Cull::CCW)) {
            GL_CHECK(glEnable(GL_CULL_FACE));
            GL_CHECK(glCullFace(v == value(Cull::CCW) ? GL_FRONT : GL_BACK));
        } else {
            GL_CHECK(glDisable(GL_CULL_FACE));
        }
        break;
    case RenderState::ColorWriteEnable:
        GL_CHECK(glColorMask(v & ColorWrite::Red ? GL_TRUE : GL_FALSE, v & ColorWrite::Green ? GL_TRUE : GL_FALSE,
                             v & ColorWrite::Blue ? GL_TRUE : GL_FALSE, v & ColorWrite::Alpha ? GL_TRUE : GL_FALSE));
        break;
    case RenderState::AlphaBlendEnable:
        if (v)
            GL_CHECK(glEnable(GL_BLEND));
        else
            GL_CHECK(glDisable(GL_BLEND));
        break;
    case RenderState::SrcBlend:
    case RenderState::DestBlend:
        GL_CHECK(glBlendFunc(blendFactor(states_[size_t(RenderState::SrcBlend)]),
                             blendFactor(states_[size_t(RenderState::DestBlend)])));
        break;
    case RenderState::BlendOp: GL_CHECK(glBlendEquation(blendEquation(v))); break;
    case RenderState::Lighting:
    case RenderState::AlphaTestEnable:
    case RenderState::AlphaFunc:
    case RenderState::AlphaRef:
    case RenderState::Count: break; // read by the programs that draw, not GL state
    }
}

void Device::setTransform(TransformState state, const Core::Matrix& matrix)
{
    if (state == TransformView) {
        view_ = matrix;
    } else if (state == TransformProjection) {
        projection_ = matrix;
    } else if (state >= worldMatrix(0) && state <= worldMatrix(255)) {
        const size_t index = state - worldMatrix(0);
        if (worlds_.size() <= index) worlds_.resize(index + 1);
        worlds_[index] = matrix;
    }
}

Core::Matrix Device::transform(TransformState state) const
{
    if (state == TransformView) return view_;
    if (state == TransformProjection) return projection_;
    if (state >= worldMatrix(0) && state - worldMatrix(0) < worlds_.size()) return worlds_[state - worldMatrix(0)];
    return Core::Matrix{};
}

void Device::setRenderTarget(uint32_t index, Surface* surface)
{
    assert(index == 0 && surface && !isDepthFormat(surface->format()));
    (void)index;
    // Attached afresh at the next draw even when the pointer is the one bound:
    // a bound surface may have been destroyed and a new one made at its
    // address (and with its GL name). Binding happens a few times a frame.
    framebufferDirty_ = true;
    colorTarget_ = surface;
    // As in D3D9, binding a render target resets the viewport to all of it.
    GL_CHECK(glViewport(0, 0, surface->width(), surface->height()));
}

void Device::setDepthStencilSurface(Surface* surface)
{
    assert(!surface || isDepthFormat(surface->format()));
    framebufferDirty_ = true; // as for the colour target
    depthTarget_ = surface;
}

void Device::prepareDraw()
{
    const GLuint fbo = gl_->drawFramebuffer.get();
    if (framebufferDirty_) {
        framebufferDirty_ = false;
        GL_CHECK(glNamedFramebufferTexture(fbo, GL_COLOR_ATTACHMENT0, DeviceAccess::textureName(*colorTarget_),
                                           colorTarget_->level()));
        GL_CHECK(glNamedFramebufferRenderbuffer(fbo, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0));
        if (depthTarget_) {
            const GLenum attachment =
                depthTarget_->format() == Format::D24S8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
            GL_CHECK(glNamedFramebufferRenderbuffer(fbo, attachment, GL_RENDERBUFFER,
                                                    DeviceAccess::renderbufferName(*depthTarget_)));
        }
    }
    GL_CHECK(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo));
}

void Device::clear(uint32_t clearFlags, uint32_t argb, float z, uint32_t stencil)
{
    prepareDraw();
    const GLuint fbo = gl_->drawFramebuffer.get();
    // D3D9 clears ignore the write masks; GL clears obey them, so masks are
    // opened for the clear and put back after. The stencil write mask stays
    // at GL's all-ones default: no render state changes it.
    const bool colorMasked = (renderState(RenderState::ColorWriteEnable) & ColorWrite::All) != ColorWrite::All;
    const bool depthMasked = renderState(RenderState::ZWriteEnable) == 0;
    if (colorMasked) GL_CHECK(glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE));
    if (depthMasked) GL_CHECK(glDepthMask(GL_TRUE));
    if (clearFlags & ClearFlag::Target) {
        const float color[4] = {float((argb >> 16) & 0xFF) / 255.0f, float((argb >> 8) & 0xFF) / 255.0f,
                                float(argb & 0xFF) / 255.0f, float(argb >> 24) / 255.0f};
        GL_CHECK(glClearNamedFramebufferfv(fbo, GL_COLOR, 0, color));
    }
    if (depthTarget_) {
        const bool depth = clearFlags & ClearFlag::ZBuffer;
        const bool withStencil = (clearFlags & ClearFlag::Stencil) && depthTarget_->format() == Format::D24S8;
        if (depth && withStencil) {
            GL_CHECK(glClearNamedFramebufferfi(fbo, GL_DEPTH_STENCIL, 0, z, GLint(stencil & 0xFF)));
        } else if (depth) {
            GL_CHECK(glClearNamedFramebufferfv(fbo, GL_DEPTH, 0, &z));
        } else if (withStencil) {
            const GLint s = GLint(stencil & 0xFF);
            GL_CHECK(glClearNamedFramebufferiv(fbo, GL_STENCIL, 0, &s));
        }
    }
    if (colorMasked) applyRenderState(RenderState::ColorWriteEnable, renderState(RenderState::ColorWriteEnable));
    if (depthMasked) applyRenderState(RenderState::ZWriteEnable, renderState(RenderState::ZWriteEnable));
}

void Device::beginScene()
{
    assert(!inScene_);
    inScene_ = true;
}

void Device::endScene()
{
    assert(inScene_);
    inScene_ = false;
}

void Device::present()
{
    ++presentCount_;
    if (!present_) return;
    int windowWidth = 0, windowHeight = 0;
    present_->drawableSize(&windowWidth, &windowHeight);
    const int width = backBuffer()->width(), height = backBuffer()->height();
    if (windowWidth > 0 && windowHeight > 0) {
        // Scale to the window with the frame's aspect kept; black bars fill
        // the rest.
        const double scale = std::min(double(windowWidth) / width, double(windowHeight) / height);
        const int w = std::max(1, int(width * scale + 0.5)), h = std::max(1, int(height * scale + 0.5));
        const int x0 = (windowWidth - w) / 2, y0 = (windowHeight - h) / 2;
        const bool colorMasked = (renderState(RenderState::ColorWriteEnable) & ColorWrite::All) != ColorWrite::All;
        if (colorMasked) GL_CHECK(glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE));
        if (w != windowWidth || h != windowHeight) {
            // The bars are cleared every frame (the window's buffers swap); a
            // frame that fills the window needs no clear.
            const float black[4] = {0, 0, 0, 1};
            GL_CHECK(glClearNamedFramebufferfv(0, GL_COLOR, 0, black));
        }
        // The back buffer stores its top row first; the window's first row is
        // its bottom one, so the copy is flipped.
        //
        // The copy stays even when the window has the back buffer's size.
        // Drawing the back buffer straight into the window would save it
        // (bench_render --present measures it), but GL cannot pair the
        // window's framebuffer with a depth surface of ours, nor the window's
        // depth buffer with an off-screen target, and the display does both
        // (a colour-only target keeps the default depth surface; a depth-only
        // one keeps the back buffer). The window's contents are also undefined
        // after a swap, while capture and screenshots read the back buffer
        // whenever they like.
        GL_CHECK(glBlitNamedFramebuffer(gl_->presentFramebuffer.get(), 0, 0, 0, width, height, x0, y0 + h, x0 + w, y0,
                                        GL_COLOR_BUFFER_BIT, scale == 1.0 ? GL_NEAREST : GL_LINEAR));
        if (colorMasked) applyRenderState(RenderState::ColorWriteEnable, renderState(RenderState::ColorWriteEnable));
    }
    present_->swap();
}

void Device::drawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices, uint32_t stride)
{
    assert(fvf_ == (FVF::XYZRHW | FVF::Diffuse) && stride >= 20);
    const uint32_t count = vertexCount(type, primitiveCount);
    if (count == 0 || !vertices) return;
    const std::size_t bytes = std::size_t(count) * stride;
    const GLuint buffer = gl_->streamBuffer.get();
    if (bytes > gl_->streamBufferSize) {
        gl_->streamBufferSize = std::max<std::size_t>(bytes, 64 * 1024);
        GL_CHECK(glNamedBufferData(buffer, GLsizeiptr(gl_->streamBufferSize), nullptr, GL_STREAM_DRAW));
    } else {
        GL_CHECK(glInvalidateBufferData(buffer));
    }
    GL_CHECK(glNamedBufferSubData(buffer, 0, GLsizeiptr(bytes), vertices));

    prepareDraw();
    const GLuint vao = gl_->pretransformedVao.get();
    GL_CHECK(glVertexArrayVertexBuffer(vao, 0, buffer, 0, GLsizei(stride)));
    GL_CHECK(glBindVertexArray(vao));
    GL_CHECK(glUseProgram(gl_->pretransformedProgram.get()));
    GL_CHECK(glUniform2f(0, float(colorTarget_->width()), float(colorTarget_->height())));
    GL_CHECK(glDrawArrays(primitiveMode(type), 0, GLsizei(count)));
}

std::unique_ptr<Mesh> Device::createMesh(const std::vector<VertexElement>& declaration, uint32_t stride,
                                         const void* vertices, uint32_t vertexCount, const uint32_t* indices,
                                         uint32_t indexCount)
{
    indexCount -= indexCount % 3;
    if (!vertices || !indices || vertexCount == 0 || indexCount == 0 || stride == 0) return nullptr;
    for (const VertexElement& e : declaration)
        if (e.components < 1 || e.components > 4 || e.offset + 4u * e.components > stride) return nullptr;
    for (uint32_t i = 0; i < indexCount; ++i)
        if (indices[i] >= vertexCount) return nullptr;

    std::unique_ptr<Mesh> mesh(new Mesh);
    mesh->declaration_ = declaration;
    mesh->stride_ = stride;
    mesh->vertexCount_ = vertexCount;
    mesh->indexCount_ = indexCount;
    mesh->wideIndices_ = vertexCount > 65536;

    mesh->vertexBuffer_ = detail::createGlObject(GlKind::Buffer);
    mesh->indexBuffer_ = detail::createGlObject(GlKind::Buffer);
    mesh->vertexArray_ = detail::createGlObject(GlKind::VertexArray);
    const GLuint vertexBuffer = mesh->vertexBuffer_.get(), indexBuffer = mesh->indexBuffer_.get();
    const GLuint vao = mesh->vertexArray_.get();

    GL_CHECK(glNamedBufferStorage(vertexBuffer, GLsizeiptr(std::size_t(vertexCount) * stride), vertices, 0));
    if (mesh->wideIndices_) {
        GL_CHECK(glNamedBufferStorage(indexBuffer, GLsizeiptr(std::size_t(indexCount) * 4), indices, 0));
    } else {
        std::vector<uint16_t> narrow(indices, indices + indexCount);
        GL_CHECK(glNamedBufferStorage(indexBuffer, GLsizeiptr(narrow.size() * 2), narrow.data(), 0));
    }
    GL_CHECK(glVertexArrayVertexBuffer(vao, 0, vertexBuffer, 0, GLsizei(stride)));
    GL_CHECK(glVertexArrayElementBuffer(vao, indexBuffer));
    for (const VertexElement& e : declaration) {
        const int location = vertexAttributeLocation(e.usage, e.usageIndex);
        if (location < 0) continue;
        GL_CHECK(glEnableVertexArrayAttrib(vao, GLuint(location)));
        GL_CHECK(glVertexArrayAttribFormat(vao, GLuint(location), e.components, GL_FLOAT, GL_FALSE, e.offset));
        GL_CHECK(glVertexArrayAttribBinding(vao, GLuint(location), 0));
    }
    return mesh;
}

void Device::drawMesh(const Mesh& mesh)
{
    prepareDraw();
    if (gl_->effectProgram) {
        const bool colorMasked = (renderState(RenderState::ColorWriteEnable) & ColorWrite::All) == 0;
        GL_CHECK(glUseProgram(colorMasked && gl_->effectDepthOnlyProgram ? gl_->effectDepthOnlyProgram
                                                                         : gl_->effectProgram));
    } else {
        const Core::Matrix worldViewProjection = transform(worldMatrix(0)) * view_ * projection_;
        const float shade = renderState(RenderState::Lighting) ? 0.0f : 1.0f;
        GL_CHECK(glUseProgram(gl_->fixedFunctionProgram.get()));
        GL_CHECK(glUniformMatrix4fv(0, 1, GL_FALSE, &worldViewProjection.m[0][0]));
        GL_CHECK(glUniform4f(1, shade, shade, shade, 1.0f));
    }
    GL_CHECK(glBindVertexArray(DeviceAccess::vertexArrayName(mesh)));
    GL_CHECK(glDrawElements(GL_TRIANGLES, GLsizei(mesh.indexCount()),
                            mesh.wideIndices() ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, nullptr));
}

std::unique_ptr<Texture> Device::createTexture(int width, int height, int levels, uint32_t usage, Format format)
{
    const detail::GlFormat& gl = detail::glFormat(format);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || !gl.internalFormat || isDepthFormat(format))
        return nullptr;
    // Block formats cannot be drawn into, on D3D9 as on GL.
    if ((usage & Usage::RenderTarget) && isCompressed(format)) return nullptr;
    const int fullChain = int(fullMipCount(uint32_t(width), uint32_t(height)));
    // As in D3D9, 0 levels asks for the complete chain down to 1 x 1.
    if (levels <= 0 || levels > fullChain) levels = fullChain;

    std::unique_ptr<Texture> texture(new Texture);
    GLuint name = 0;
    GL_CHECK(glCreateTextures(GL_TEXTURE_2D, 1, &name));
    texture->texture_ = GlObject(GlKind::Texture, name);
    texture->width_ = width;
    texture->height_ = height;
    texture->format_ = format;
    texture->usage_ = usage;
    GL_CHECK(glTextureStorage2D(name, levels, gl.internalFormat, width, height));
    GL_CHECK(glTextureParameteriv(name, GL_TEXTURE_SWIZZLE_RGBA, gl.swizzle));
    GL_CHECK(glTextureParameteri(name, GL_TEXTURE_MAX_LEVEL, levels - 1));
    for (int level = 0; level < levels; ++level) {
        std::unique_ptr<Surface> surface(new Surface);
        surface->width_ = int(mipExtent(uint32_t(width), uint32_t(level)));
        surface->height_ = int(mipExtent(uint32_t(height), uint32_t(level)));
        surface->format_ = format;
        surface->container_ = texture.get();
        surface->level_ = level;
        texture->levels_.push_back(std::move(surface));
    }
    return texture;
}

std::unique_ptr<Surface> Device::createDepthStencilSurface(int width, int height, Format format)
{
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || !isDepthFormat(format)) return nullptr;
    std::unique_ptr<Surface> surface(new Surface);
    surface->renderbuffer_ = detail::createGlObject(GlKind::Renderbuffer);
    const GLuint name = surface->renderbuffer_.get();
    surface->width_ = width;
    surface->height_ = height;
    surface->format_ = format;
    GL_CHECK(glNamedRenderbufferStorage(name, detail::glFormat(format).internalFormat, width, height));
    return surface;
}

std::vector<uint32_t> Device::readPixels(const Surface& surface)
{
    if (isDepthFormat(surface.format())) return {};
    std::vector<uint32_t> pixels(size_t(surface.width()) * size_t(surface.height()));
    GL_CHECK(glPixelStorei(GL_PACK_ALIGNMENT, 4));
    // BGRA bytes in a little-endian word read as 0xAARRGGBB. Row 0 is the top
    // row: targets are drawn under the upper-left origin and images are
    // uploaded top row first.
    if (isCompressed(surface.format())) {
        // GL decompresses block formats when a level is read as plain texels.
        GL_CHECK(glGetTextureImage(DeviceAccess::textureName(surface), surface.level(), GL_BGRA,
                                   GL_UNSIGNED_INT_8_8_8_8_REV, GLsizei(pixels.size() * 4), pixels.data()));
    } else {
        const GLuint fbo = gl_->readFramebuffer.get();
        GL_CHECK(
            glNamedFramebufferTexture(fbo, GL_COLOR_ATTACHMENT0, DeviceAccess::textureName(surface), surface.level()));
        GL_CHECK(glNamedFramebufferReadBuffer(fbo, GL_COLOR_ATTACHMENT0));
        GL_CHECK(glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo));
        GL_CHECK(
            glReadPixels(0, 0, surface.width(), surface.height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data()));
        GL_CHECK(glBindFramebuffer(GL_READ_FRAMEBUFFER, 0));
    }
    // Reads give the stored channels; the format's swizzle turns them into
    // what sampling sees (X formats opaque, luminance grey), as D3D9 has them.
    const GLint* swizzle = detail::glFormat(surface.format()).swizzle;
    const bool colorKept = swizzle[0] == GL_RED && swizzle[1] == GL_GREEN && swizzle[2] == GL_BLUE;
    if (colorKept && swizzle[3] == GL_ONE) {
        for (uint32_t& p : pixels) p |= 0xFF000000u; // the common case, the back buffer's: cheap
    } else if (!colorKept || swizzle[3] != GL_ALPHA) {
        for (uint32_t& p : pixels) {
            const uint32_t stored[4] = {p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF, p >> 24};
            auto channel = [&](GLint source) -> uint32_t {
                switch (source) {
                case GL_RED: return stored[0];
                case GL_GREEN: return stored[1];
                case GL_BLUE: return stored[2];
                case GL_ALPHA: return stored[3];
                case GL_ONE: return 0xFF;
                default: return 0;
                }
            };
            p = channel(swizzle[3]) << 24 | channel(swizzle[0]) << 16 | channel(swizzle[1]) << 8 | channel(swizzle[2]);
        }
    }
    return pixels;
}

bool Device::effectPassActive() const
{
    return gl_->effectProgram != 0;
}

namespace detail {

void DeviceAccess::setPassProgram(Device& device, uint32_t program, uint32_t depthOnly)
{
    device.gl_->effectProgram = program;
    device.gl_->effectDepthOnlyProgram = program ? depthOnly : 0;
}

void DeviceAccess::bindTexture(Device& device, uint32_t unit, const Texture* texture)
{
    Device::GlObjects& gl = *device.gl_;
    const GLuint name = texture ? textureName(*texture) : 0;
    gl.revalidate();
    if (unit < gl.textures.size()) {
        if (gl.textures[unit] == name) return;
        gl.textures[unit] = name;
    }
    GL_CHECK(glBindTextureUnit(unit, name));
}

void DeviceAccess::bindSampler(Device& device, uint32_t unit, uint32_t sampler)
{
    Device::GlObjects& gl = *device.gl_;
    gl.revalidate();
    if (unit < gl.samplers.size()) {
        if (gl.samplers[unit] == sampler) return;
        gl.samplers[unit] = sampler;
    }
    GL_CHECK(glBindSampler(unit, sampler));
}

void DeviceAccess::bindUniformBuffer(Device& device, uint32_t binding, uint32_t buffer)
{
    Device::GlObjects& gl = *device.gl_;
    gl.revalidate();
    if (binding < gl.uniformBuffers.size()) {
        if (gl.uniformBuffers[binding] == buffer) return;
        gl.uniformBuffers[binding] = buffer;
    }
    GL_CHECK(glBindBufferBase(GL_UNIFORM_BUFFER, binding, buffer));
}

} // namespace detail

} // namespace ORV::Gfx
