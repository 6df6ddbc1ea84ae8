// cartoon.fx: cel shading for scene materials.
//
// Passes, as the scene renderer draws them:
//   ambient    the base tone (material colour, optional texture) times
//              AMBIENT + ambientLevel; writes depth.
//   shade      one light at a time (LIGHTPOSITION, LIGHTCOLOR, LIGHTRADIUS),
//              added onto ambient: the diffuse term banded by rampTex and a
//              hard specular band from specularTex.
//   depthdist  view-space normal and depth for the ink pass (encoding below).
//   emissive   glowColor plus a rim glow, added onto the inked image; zero
//              for a material that sets neither, so it never darkens.
//
// Material parameters a scene file sets (colours as 0-255 triples):
//   diffuseColor    colour          base colour (default white)
//   diffuseTex      texture         e.g. "grey33.jpg"; used as far as
//   textureAmount   float           0 (default, texture ignored) .. 1
//   rampTex         texture         "cartoon_d.jpg": u = half-Lambert term
//                                   times the light's falloff, 3-4 flat bands
//   specularTex     texture         "cartoon_s.jpg": u = Blinn term, black
//                                   then a hard white band near 1
//   specularColor   colour          highlight colour (default white)
//   shininess       float           Blinn exponent (default 24)
//   glossTex        texture         "specular2.jpg": modulates the highlight
//   glossAmount     float           0 (default, ignored) .. 1
//   ambientLevel    float           base light without any lamp (default 0.2)
//   glowColor       colour          flat emissive colour (default black)
//   rimTex          texture         "cartoon_g.jpg": u = 1 - N.V
//   rimColor        colour          rim glow colour (default black: no rim)
// A texture the scene does not set is unbound and reads black: the ramps
// must be set; the optional ones are weighed by their amount parameters.
//
// Back faces are culled (CullMode = CCW, Direct3D's default): the scene
// data lists every triangle clockwise as seen from its front, so a surface
// is drawn from the side it faces only.
//
// Light falloff: (1 - (d / LIGHTRADIUS)^2)^2, zero at the radius; a radius
// of 0 or less means no falloff.
//
// depthdist encoding, RGBA8 (ink.fx decodes the same):
//   rg  view-space normal x, y as n * 0.5 + 0.5
//   ba  closeness = 1 - viewDepth / 512 as 16 bits, b the high byte, a the
//       low byte, clamped to [256, 65535] so that b is never 0 on an object:
//       the target's clear colour (opaque black: b = 0) reads as "nothing".

float4x4 WorldViewProj : WorldViewProj;
float4x4 World : World;
float4x4 WorldView : WorldView;
float4 cameraPosition : WorldCameraPosition;
float4 ambientLight : AMBIENT;
float4 lightPosition : LIGHTPOSITION;
float4 lightColor : LIGHTCOLOR;
float lightRadius : LIGHTRADIUS;

float4 diffuseColor = {1, 1, 1, 1};
float textureAmount = 0;
float4 specularColor = {1, 1, 1, 1};
float shininess = 24;
float glossAmount = 0;
float ambientLevel = 0.2;
float4 glowColor = {0, 0, 0, 0};
float4 rimColor = {0, 0, 0, 0};

texture diffuseTex;
texture rampTex;
texture specularTex;
texture glossTex;
texture rimTex;

sampler2D diffuseSampler = sampler_state
{
    Texture = <diffuseTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};
// The ramps are looked up along u only; clamped so that 0 and 1 stay in the
// end bands, without mips so that a band edge stays one texel wide.
sampler2D rampSampler = sampler_state
{
    Texture = <rampTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};
sampler2D specularSampler = sampler_state
{
    Texture = <specularTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};
sampler2D glossSampler = sampler_state
{
    Texture = <glossTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};
sampler2D rimSampler = sampler_state
{
    Texture = <rimTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

static const float depthRange = 512.0;

struct SceneVertex
{
    float4 position : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
};

struct LitVertex
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1; // world space, not normalised
    float3 world : TEXCOORD2;
};

struct DepthVertex
{
    float4 position : POSITION;
    float4 viewNormalDepth : TEXCOORD0; // view-space normal, view depth
};

// Every pass that takes part in depth testing computes the clip position
// the same way, so that the emissive pass meets the ambient pass's depth
// exactly under LessEqual.
float4 clipPosition(float4 position)
{
    return mul(position, WorldViewProj);
}

LitVertex litVS(SceneVertex input)
{
    LitVertex output;
    output.position = clipPosition(input.position);
    output.uv = input.uv;
    output.normal = mul(input.normal, (float3x3)World);
    output.world = mul(input.position, World).xyz;
    return output;
}

DepthVertex depthVS(SceneVertex input)
{
    DepthVertex output;
    output.position = clipPosition(input.position);
    output.viewNormalDepth.xyz = mul(input.normal, (float3x3)WorldView);
    // The camera looks down -z in view space.
    output.viewNormalDepth.w = -mul(input.position, WorldView).z;
    return output;
}

// The optional textures are read only when their amount asks for them: the
// branch is on a constant, so the rasteriser skips the read for every pixel.
float3 baseColor(float2 uv)
{
    float3 color = diffuseColor.rgb;
    if (textureAmount > 0)
        color *= lerp(float3(1, 1, 1), tex2D(diffuseSampler, uv).rgb, textureAmount);
    return color;
}

float falloff(float distance)
{
    if (lightRadius <= 0)
        return 1;
    float x = saturate(distance / lightRadius);
    float f = 1 - x * x;
    return f * f;
}

float4 ambientPS(LitVertex input) : COLOR
{
    return float4(baseColor(input.uv) * (ambientLight.rgb + ambientLevel), 1);
}

float4 shadePS(LitVertex input) : COLOR
{
    float3 toLight = lightPosition.xyz - input.world;
    float distance = length(toLight);
    // Beyond its radius the light adds nothing: such pixels leave at once
    // (a software rasteriser then skips the rest for whole blocks of them).
    if (lightRadius > 0)
        clip(lightRadius - distance);
    float3 n = normalize(input.normal);
    float3 l = toLight / max(distance, 1e-4);
    float3 v = normalize(cameraPosition.xyz - input.world);
    float reach = falloff(distance);
    float nDotL = dot(n, l);

    // The ramp bands the light across the surface; the falloff then fades
    // the whole light out with distance, so that the ramp's dark band (which
    // is not black) does not light what the lamp cannot reach.
    float diffuse = (nDotL * 0.5 + 0.5) * reach;
    float3 band = tex2D(rampSampler, float2(diffuse, 0.5)).rgb * reach;

    float blinn = pow(saturate(dot(n, normalize(l + v))), shininess) * reach * step(0, nDotL);
    float gloss = 1;
    if (glossAmount > 0)
        gloss = lerp(1, tex2D(glossSampler, input.uv).r, glossAmount);
    float3 highlight = tex2D(specularSampler, float2(blinn, 0.5)).rgb * specularColor.rgb * gloss;

    return float4((baseColor(input.uv) * band + highlight) * lightColor.rgb, 0);
}

float4 depthPS(DepthVertex input) : COLOR
{
    float2 normal = normalize(input.viewNormalDepth.xyz).xy * 0.5 + 0.5;
    float closeness = 1 - input.viewNormalDepth.w / depthRange;
    float q = clamp(floor(closeness * 65535 + 0.5), 256, 65535);
    float high = floor(q / 256);
    float low = q - high * 256;
    return float4(normal, high / 255, low / 255);
}

float4 emissivePS(LitVertex input) : COLOR
{
    // Most materials glow not at all; adding their black would change
    // nothing, so their pixels leave at once.
    if (all(glowColor.rgb <= 0) && all(rimColor.rgb <= 0))
        discard;
    float3 glow = glowColor.rgb;
    if (any(rimColor.rgb > 0)) {
        float3 n = normalize(input.normal);
        float3 v = normalize(cameraPosition.xyz - input.world);
        glow += tex2D(rimSampler, float2(1 - saturate(dot(n, v)), 0.5)).rgb * rimColor.rgb;
    }
    // Alpha marks what glows for the ink effect's reduce pass.
    return float4(glow, saturate(max(glow.r, max(glow.g, glow.b))));
}

technique Cartoon
{
    pass ambient
    {
        VertexShader = compile vs_3_0 litVS();
        PixelShader = compile ps_3_0 ambientPS();
        ZEnable = true;
        ZWriteEnable = true;
        ZFunc = LessEqual;
        CullMode = CCW;
        AlphaBlendEnable = false;
    }
    pass shade
    {
        VertexShader = compile vs_3_0 litVS();
        PixelShader = compile ps_3_0 shadePS();
        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        CullMode = CCW;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
    }
    pass depthdist
    {
        VertexShader = compile vs_3_0 depthVS();
        PixelShader = compile ps_3_0 depthPS();
        ZEnable = true;
        ZWriteEnable = true;
        ZFunc = LessEqual;
        CullMode = CCW;
        AlphaBlendEnable = false;
    }
    pass emissive
    {
        VertexShader = compile vs_3_0 litVS();
        PixelShader = compile ps_3_0 emissivePS();
        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        CullMode = CCW;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
    }
}
