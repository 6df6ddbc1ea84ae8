// Alpha-tested foliage with an additive, colour-masked glow pass; written with
// the D3D-prefixed value names and numbers some exporters emit.
#pragma pack_matrix(row_major)

float4x4 WorldViewProj : WORLDVIEWPROJ;
float3x3 uvTransform = {1, 0, 0,
                        0, 1, 0,
                        0.5, 0.25, 1};
float4x3 skinBone;
float4 palette[3] = {float4(1, 0, 0, 1), float4(0, 1, 0, 1), float4(0, 0, 1, 0.5)};
column_major float4x4 legacyMatrix;
const float cutoff = 0.5;

texture leafTex;
sampler leafSampler = sampler_state { Texture = <leafTex>; MipFilter = LINEAR; };

struct VS_OUT
{
    float4 pos : POSITION;
    float4 color : COLOR0;
    float2 uv : TEXCOORD0;
};

VS_OUT leafVS(float4 pos : POSITION, float4 color : COLOR0, float2 uv : TEXCOORD0, float3 tangent : TANGENT)
{
    VS_OUT o;
    o.pos = mul(float4(mul(pos, skinBone), 1), mul(legacyMatrix, WorldViewProj));
    o.color = color * palette[int(tangent.x) % 3];
    o.uv = mul(float3(uv, 1), uvTransform).xy;
    return o;
}

float4 leafPS(VS_OUT i) : COLOR
{
    float4 c = tex2D(leafSampler, i.uv) * i.color;
    clip(c.a - cutoff * 0.5);
    return c;
}

float4 glowPS(float4 color : COLOR0) : COLOR
{
    return color;
}

#ifdef TELM
technique foliage
{
    pass ambient
    {
        VertexShader = compile vs_3_0 leafVS();
        PixelShader = compile ps_3_0 leafPS();
        AlphaTestEnable = TRUE;
        AlphaFunc = D3DCMP_GREATER;
        AlphaRef = 0x80;
        CullMode = D3DCULL_NONE;
    }
    pass emissive
    {
        VertexShader = compile vs_3_0 leafVS();
        PixelShader = compile ps_3_0 glowPS();
        AlphaBlendEnable = 1;
        SrcBlend = D3DBLEND_ONE;
        DestBlend = 2;
        BlendOp = RevSubtract;
        ColorWriteEnable = RED | GREEN | BLUE;
        ZFunc = Always;
        ZEnable = D3DZB_FALSE;
    }
}
#endif
#if TELM_VER < 100
technique tooOld { pass p { VertexShader = compile vs_2_0 missing(); PixelShader = compile ps_2_0 missing(); } }
#endif
