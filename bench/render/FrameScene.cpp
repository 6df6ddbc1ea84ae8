#include "bench/render/FrameScene.h"

#include <algorithm>
#include <cmath>

namespace ORV::Bench {

MeshData sphereMesh(int triangles)
{
    // rings x segments quads of two triangles each, about square.
    const int segments = std::max(2, int(std::lround(std::sqrt(std::max(triangles, 8) / 2.0))));
    const int rings = std::max(2, int(std::lround(std::max(triangles, 8) / (2.0 * segments))));
    MeshData mesh;
    mesh.vertices.reserve(size_t(rings + 1) * size_t(segments + 1));
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const float theta = 3.14159265f * float(r) / float(rings), phi = 6.2831853f * float(s) / float(segments);
            const float n[3] = {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
            mesh.vertices.push_back({{n[0] * 3, n[1] * 3, n[2] * 3}, {n[0], n[1], n[2]}, {0, 0}, {1, 0, 0, 1}});
        }
    mesh.indices.reserve(size_t(rings) * size_t(segments) * 6);
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const uint32_t a = uint32_t(r * (segments + 1) + s), b = a + 1, c = a + uint32_t(segments + 1), d = c + 1;
            mesh.indices.insert(mesh.indices.end(), {a, c, b, b, c, d});
        }
    return mesh;
}

// Corners top left, top right, bottom right, bottom left (y up in clip space).
const float kQuadVertices[20] = {-1, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, -1, 0, 1, 1, -1, -1, 0, 0, 1};
const uint32_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

// From the upper right, in front of the sphere: its lower left half sees none.
const Light kLights[kLightCount] = {
    {{10, 10, 10, 1}, {0.30f, 0.20f, 0.10f, 1}},
    {{12, 6, 8, 1}, {0.10f, 0.30f, 0.20f, 1}},
    {{6, 12, 8, 1}, {0.20f, 0.10f, 0.30f, 1}},
    {{10, 8, 12, 1}, {0.15f, 0.15f, 0.15f, 1}},
};

Core::Matrix worldViewProjection(FrameSize size)
{
    const float focal = 1.7320508f; // 1 / tan(30 degrees)
    Core::Matrix projection = Core::Matrix::zero();
    projection.m[0][0] = focal * float(size.height) / float(size.width);
    projection.m[1][1] = focal;
    projection.m[2][2] = -1.0001f; // near 0.1, far 1000, depth 0..1
    projection.m[2][3] = -1.0f;
    projection.m[3][2] = -0.10001f;
    Core::Matrix view;
    view.m[3][2] = -8.0f;
    return view * projection;
}

const char* const kFrameEffect = R"(
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
float4 copyPS(float2 uv : TEXCOORD0) : COLOR { return tex2D(SourceSampler, uv); }

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
    pass copy
    {
        ZEnable = false; CullMode = None;
        VertexShader = compile vs_2_0 quadVS(); PixelShader = compile ps_2_0 copyPS();
    }
}
)";

namespace {

// The row-major matrix for row vectors, uploaded untransposed, reads in GLSL
// as its transpose: matrix * column vector gives p * M.
const char* const kLitVertex = R"(#version 450 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 0) uniform mat4 worldViewProjection;
layout(location = 0) out vec3 vertexNormal;
layout(location = 1) out vec3 vertexWorld;
void main()
{
    gl_Position = worldViewProjection * vec4(position, 1.0);
    vertexNormal = normal;
    vertexWorld = position;
}
)";

const char* const kQuadVertex = R"(#version 450 core
layout(location = 0) in vec3 position;
layout(location = 2) in vec2 uv;
layout(location = 0) out vec2 vertexUv;
void main()
{
    gl_Position = vec4(position, 1.0);
    vertexUv = uv;
}
)";

const char* const kAmbientFragment = R"(#version 450 core
layout(location = 0) out vec4 fragmentColor;
void main() { fragmentColor = vec4(0.1, 0.1, 0.15, 1.0); }
)";

const char* const kLightFragment = R"(#version 450 core
layout(location = 0) in vec3 vertexNormal;
layout(location = 1) in vec3 vertexWorld;
layout(location = 1) uniform vec4 lightPosition;
layout(location = 2) uniform vec4 lightColor;
layout(location = 0) out vec4 fragmentColor;
void main()
{
    vec3 l = normalize(lightPosition.xyz - vertexWorld);
    float ramp = step(0.5, clamp(dot(normalize(vertexNormal), l), 0.0, 1.0));
    fragmentColor = lightColor * ramp;
}
)";

const char* const kBlurFragment = R"(#version 450 core
layout(location = 0) in vec2 vertexUv;
layout(location = 3) uniform vec2 texelStep;
layout(binding = 0) uniform sampler2D source;
layout(location = 0) out vec4 fragmentColor;
void main()
{
    vec4 sum = texture(source, vertexUv) * 0.4;
    sum += texture(source, vertexUv + vec2(texelStep.x, 0.0)) * 0.15;
    sum += texture(source, vertexUv - vec2(texelStep.x, 0.0)) * 0.15;
    sum += texture(source, vertexUv + vec2(0.0, texelStep.y)) * 0.15;
    sum += texture(source, vertexUv - vec2(0.0, texelStep.y)) * 0.15;
    fragmentColor = sum;
}
)";

const char* const kCopyFragment = R"(#version 450 core
layout(location = 0) in vec2 vertexUv;
layout(binding = 0) uniform sampler2D source;
layout(location = 0) out vec4 fragmentColor;
void main() { fragmentColor = texture(source, vertexUv); }
)";

} // namespace

GlslSources frameGlsl()
{
    return {kLitVertex, kQuadVertex, {kAmbientFragment, kLightFragment, kBlurFragment, kCopyFragment}};
}

std::string withAlphaTestEpilogue(const char* fragment)
{
    // The shader's main becomes a function called before the test, which
    // reads the colour written; with the switch at 0 nothing is discarded,
    // but the shader may discard, so depth can no longer be decided early.
    std::string source = fragment;
    const std::string header = "void main()";
    const size_t at = source.find(header);
    if (at == std::string::npos) return source;
    source.replace(at, header.size(), "void shadeMain()");
    source += R"(
layout(location = 8) uniform int alphaFunc;
layout(location = 9) uniform int alphaRef;
void main()
{
    shadeMain();
    if (alphaFunc != 0) {
        int alpha = int(clamp(fragmentColor.a, 0.0, 1.0) * 255.0 + 0.5);
        bool keep = true;
        switch (alphaFunc) {
        case 1: keep = false; break;
        case 2: keep = alpha < alphaRef; break;
        case 3: keep = alpha == alphaRef; break;
        case 4: keep = alpha <= alphaRef; break;
        case 5: keep = alpha > alphaRef; break;
        case 6: keep = alpha != alphaRef; break;
        case 7: keep = alpha >= alphaRef; break;
        default: break;
        }
        if (!keep) discard;
    }
}
)";
    return source;
}

} // namespace ORV::Bench
