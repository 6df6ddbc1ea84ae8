// cartoon.fx: cel shading for scene materials.
//
// Passes, as the scene renderer draws them:
//   ambient    the base tone (the material colour) times
//              AMBIENT + ambientLevel; writes depth.
//   shade      one light at a time (LIGHTPOSITION, LIGHTCOLOR, LIGHTRADIUS),
//              added onto ambient: the diffuse term banded by rampTex and a
//              hard specular band from specularTex.
//   depthdist  view-space normal and depth for the ink pass (encoding below).
//   emissive   glowColor, added onto the inked image; zero for a material
//              that sets none, so it never darkens.
//
// Material parameters a scene file sets (colours as 0-255 triples):
//   diffuseColor    colour          base colour (default white)
//   rampTex         texture         "cartoon_d.jpg": u = half-Lambert term
//                                   times the light's falloff, 3-4 flat bands
//   specularTex     texture         "cartoon_s.jpg": u = Blinn term, black
//                                   then a hard white band near 1
//   specularColor   colour          highlight colour (default white)
//   shininess       float           Blinn exponent (default 24)
//   ambientLevel    float           base light without any lamp (default 0.2)
//   glowColor       colour          flat emissive colour (default black)
// A texture the scene does not set is unbound and reads black: the ramps
// must be set. Textured surfaces are HatchCartoon.fx's (its diffuseTex).
//
// Cost: a software rasteriser (Mesa's llvmpipe, the demo's renderer without
// a GPU) runs both sides of every branch, even on a constant, so whatever a
// pass can do costs every pixel it draws; the passes hold only what the
// demo's materials use. A discard does skip the rest of the shader for whole
// blocks of pixels, so the shade pass leaves early where a light does not
// reach; and a pass that would add nothing for a whole draw (a light without
// colour, a material that does not glow) moves its triangles out of view in
// the vertex shader, so that no pixel is drawn at all.
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
float4 specularColor = {1, 1, 1, 1};
float shininess = 24;
float ambientLevel = 0.2;
float4 glowColor = {0, 0, 0, 0};

texture rampTex;
texture specularTex;

// The ramps are looked up along u only; clamped so that 0 and 1 stay in the
// end bands, without mips so that a band edge stays one texel wide.
// The ramps are flat bands: nearest texel (one read instead of four) draws
// the same hard band edges a cel look wants.
sampler2D rampSampler = sampler_state
{
    Texture = <rampTex>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};
sampler2D specularSampler = sampler_state
{
    Texture = <specularTex>;
    MinFilter = Point;
    MagFilter = Point;
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

// Outside the clip volume on every side: a triangle whose corners all go
// there is dropped before the rasteriser looks at a pixel of it.
static const float4 nowhere = float4(2, 2, 2, 1);

// A light without colour adds nothing: its shade pass draws nothing at all,
// so a lamp switched off costs no pixels.
LitVertex shadeVS(SceneVertex input)
{
    LitVertex output = litVS(input);
    if (all(lightColor.rgb <= 0))
        output.position = nowhere;
    return output;
}

// A material that does not glow adds nothing in the emissive pass: its
// triangles go nowhere.
float4 emissiveVS(float4 position : POSITION) : POSITION
{
    if (all(glowColor.rgb <= 0))
        return nowhere;
    return clipPosition(position);
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
    return float4(diffuseColor.rgb * (ambientLight.rgb + ambientLevel), 1);
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
    float3 highlight = tex2D(specularSampler, float2(blinn, 0.5)).rgb * specularColor.rgb;

    return float4((diffuseColor.rgb * band + highlight) * lightColor.rgb, 0);
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

float4 emissivePS() : COLOR
{
    float3 glow = glowColor.rgb;
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
        VertexShader = compile vs_3_0 shadeVS();
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
        VertexShader = compile vs_3_0 emissiveVS();
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
