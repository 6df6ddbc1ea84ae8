// Additive.fx: glowing objects (light beams, sprites, rings). They are drawn
// in the emissive pass only, added onto the inked image behind the scene's
// depth, and the ink effect's glow spreads them beyond their own pixels.
//
// Material parameters a scene file sets (colours as 0-255 triples):
//   color          colour   (default white)
//   intensity      float    multiplies everything (default 1)
//   tex            texture  e.g. "light3.jpg" (black outside the sprite)
//   textureAmount  float    0 (default: tex ignored, flat colour) .. 1
// An unset texture reads black, hence the amount: a sprite sets both.

float4x4 WorldViewProj : WorldViewProj;

float4 color = {1, 1, 1, 1};
float intensity = 1;
float textureAmount = 0;

texture tex;

sampler2D texSampler = sampler_state
{
    Texture = <tex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Clamp;
    AddressV = Clamp;
};

struct GlowVertex
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

GlowVertex glowVS(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    GlowVertex output;
    output.position = mul(position, WorldViewProj);
    output.uv = uv;
    return output;
}

float4 emissivePS(GlowVertex input) : COLOR
{
    float3 texel = lerp(float3(1, 1, 1), tex2D(texSampler, input.uv).rgb, textureAmount);
    float3 glow = color.rgb * texel * intensity;
    // Alpha marks what glows for the ink effect's reduce pass.
    return float4(glow, saturate(max(glow.r, max(glow.g, glow.b))));
}

technique Additive
{
    pass emissive
    {
        VertexShader = compile vs_3_0 glowVS();
        PixelShader = compile ps_3_0 emissivePS();
        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        CullMode = None;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
    }
}
