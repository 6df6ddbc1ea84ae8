// bench_render [--untuned] [frames]
//
// Frame time of a frame shaped like the demo's, through the graphics layer
// (device, meshes, effects) off-screen at 640 x 480: a 20k-triangle lit mesh
// drawn in an ambient pass and four additive light passes into a render
// target, then seven full-screen passes (outline, four blurs at 256 x 256,
// composite, final) ending on the back buffer, and present. Compare with the
// same work in hand-written GL (about 28 ms here). --untuned leaves the C
// allocator's adaptive thresholds in place, to show what fixing them is worth.
#include "platform/DeviceWindow.h"
#include "platform/gfx/CompiledEffect.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace ORV;
using namespace ORV::Gfx;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kEffect = R"(
float4x4 WorldViewProj;
float4 LightPosition = {10, 10, 10, 1};
float4 LightColor = {0.3, 0.3, 0.3, 1};
float2 TexelSize = {0.0015625, 0.00208333};
texture Source;
sampler2D SourceSampler = sampler_state { Texture = <Source>; MinFilter = Linear; MagFilter = Linear;
                                          AddressU = Clamp; AddressV = Clamp; };

struct LitOut { float4 position : POSITION; float3 normal : TEXCOORD0; float3 world : TEXCOORD1; };
LitOut litVS(float3 p : POSITION, float3 n : NORMAL)
{
    LitOut o;
    o.position = mul(float4(p, 1), WorldViewProj);
    o.normal = n;
    o.world = p;
    return o;
}
float4 ambientPS() : COLOR { return float4(0.1, 0.1, 0.15, 1); }
float4 lightPS(float3 n : TEXCOORD0, float3 w : TEXCOORD1) : COLOR
{
    float3 l = normalize(LightPosition.xyz - w);
    float ramp = step(0.5, saturate(dot(normalize(n), l)));
    return LightColor * ramp;
}

struct QuadOut { float4 position : POSITION; float2 uv : TEXCOORD0; };
QuadOut quadVS(float3 p : POSITION, float2 uv : TEXCOORD0) { QuadOut o; o.position = float4(p, 1); o.uv = uv; return o; }
float4 blurPS(float2 uv : TEXCOORD0) : COLOR
{
    float4 sum = tex2D(SourceSampler, uv) * 0.4;
    sum += tex2D(SourceSampler, uv + float2(TexelSize.x, 0)) * 0.15;
    sum += tex2D(SourceSampler, uv - float2(TexelSize.x, 0)) * 0.15;
    sum += tex2D(SourceSampler, uv + float2(0, TexelSize.y)) * 0.15;
    sum += tex2D(SourceSampler, uv - float2(0, TexelSize.y)) * 0.15;
    return sum;
}

technique Frame
{
    pass ambient { VertexShader = compile vs_2_0 litVS(); PixelShader = compile ps_2_0 ambientPS(); }
    pass light
    {
        ZWriteEnable = false; ZFunc = LessEqual;
        AlphaBlendEnable = true; SrcBlend = One; DestBlend = One;
        VertexShader = compile vs_2_0 litVS(); PixelShader = compile ps_2_0 lightPS();
    }
    pass post
    {
        ZEnable = false; CullMode = None;
        VertexShader = compile vs_2_0 quadVS(); PixelShader = compile ps_2_0 blurPS();
    }
}
)";

struct MeshVertex {
    float position[3], normal[3], uv[2], tangent[4];
};

// A UV sphere of about 20k triangles.
std::unique_ptr<Mesh> sphere(Device& device)
{
    const int rings = 100, segments = 100;
    std::vector<MeshVertex> vertices;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const float theta = 3.14159265f * r / rings, phi = 6.2831853f * s / segments;
            const float n[3] = {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            vertices.push_back({{n[0] * 3, n[1] * 3, n[2] * 3}, {n[0], n[1], n[2]}, {0, 0}, {1, 0, 0, 1}});
        }
    std::vector<uint32_t> indices;
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const uint32_t a = uint32_t(r * (segments + 1) + s), b = a + 1, c = a + uint32_t(segments + 1), d = c + 1;
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    return device.createMesh({{0, 3, VertexUsage::Position, 0}, {12, 3, VertexUsage::Normal, 0},
                              {24, 2, VertexUsage::TexCoord, 0}, {32, 4, VertexUsage::Tangent, 0}},
                             sizeof(MeshVertex), vertices.data(), uint32_t(vertices.size()), indices.data(),
                             uint32_t(indices.size()));
}

std::unique_ptr<Mesh> quad(Device& device)
{
    const float v[] = {-1, -1, 0, 0, 1, -1, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, -1, 0, 1, 1};
    const uint32_t i[] = {0, 1, 2, 0, 2, 3};
    return device.createMesh({{0, 3, VertexUsage::Position, 0}, {12, 2, VertexUsage::TexCoord, 0}}, 20, v, 4, i, 6);
}

} // namespace

int main(int argc, char** argv)
{
    bool tuned = true;
    int frames = 200;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--untuned") == 0) tuned = false;
        else frames = std::atoi(argv[i]);
    }
    Platform::WindowDesc desc;
    desc.fullScreen = false;
    desc.mode = Platform::VideoMode::Offscreen;
    desc.tuneAllocator = tuned;
    auto opened = Platform::DeviceWindow::open(desc);
    if (!opened) {
        std::fprintf(stderr, "bench_render: %s\n", opened.messages().c_str());
        return 1;
    }
    auto window = std::move(opened).value();
    Device& device = window->device();
    NoEffectIncludes includes;
    std::string messages;
    auto effect = CompiledEffect::create(device, kEffect, "bench.fx", {}, includes, &messages);
    if (!effect) {
        std::fprintf(stderr, "%s", messages.c_str());
        return 1;
    }
    effect->setTechnique(effect->findNextValidTechnique());
    auto ball = sphere(device), screen = quad(device);
    auto scene = device.createTexture(640, 480, 1, Usage::RenderTarget, Format::A8R8G8B8);
    auto small1 = device.createTexture(256, 256, 1, Usage::RenderTarget, Format::A8R8G8B8);
    auto small2 = device.createTexture(256, 256, 1, Usage::RenderTarget, Format::A8R8G8B8);
    auto composite = device.createTexture(640, 480, 1, Usage::RenderTarget, Format::A8R8G8B8);
    Core::Matrix projection = Core::Matrix::zero(); // 60 degrees, camera at z = 8
    projection.m[0][0] = 1.299f;
    projection.m[1][1] = 1.732f;
    projection.m[2][2] = -1.0001f;
    projection.m[2][3] = -1.0f;
    projection.m[3][2] = -0.10001f;
    Core::Matrix view;
    view.m[3][2] = -8.0f;
    effect->setMatrix("WorldViewProj", view * projection);

    auto runPass = [&](uint32_t pass, const Mesh& mesh) {
        effect->begin(0);
        effect->beginPass(pass);
        device.drawMesh(mesh);
        effect->endPass();
        effect->end();
    };
    auto frame = [&] {
        device.setRenderTarget(0, scene->surfaceLevel(0));
        device.clear(ClearFlag::Target | ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
        runPass(0, *ball);
        for (int light = 0; light < 4; ++light) runPass(1, *ball);
        // Seven full-screen passes: down to 256 x 256, four blurs there, a
        // composite at full size, and the final one on the back buffer.
        auto fullScreen = [&](Texture* source, Surface* target) {
            device.setRenderTarget(0, target);
            effect->setTexture("Source", source);
            runPass(2, *screen);
        };
        fullScreen(scene.get(), small1->surfaceLevel(0));
        for (int blur = 0; blur < 2; ++blur) {
            fullScreen(small1.get(), small2->surfaceLevel(0));
            fullScreen(small2.get(), small1->surfaceLevel(0));
        }
        fullScreen(small1.get(), composite->surfaceLevel(0));
        fullScreen(composite.get(), device.backBuffer());
        device.present();
    };

    for (int i = 0; i < 20; ++i) frame(); // warm-up: shader compilation happens on first use
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i) frame();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%s: %d frames of a 20k-triangle mesh in 5 passes + 7 full-screen passes, 640x480: "
                "%.2f ms/frame, %.1f fps (allocator %s)\n",
                window->device().rendererName().c_str(), frames, 1000.0 * seconds / frames, frames / seconds,
                tuned ? "tuned" : "untuned");
    return 0;
}
