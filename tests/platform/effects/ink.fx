// Post-processing: outline from the shade and depth-distance images, glow
// reduction and blur, and the final combination.
texture shadeTex;
texture depthDistTex;
texture finalTex;

sampler shadeSampler = sampler_state
{
    Texture = <shadeTex>;
    MinFilter = Point;
    MagFilter = Point;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler2D depthSampler = sampler_state
{
    texture = (depthDistTex);
    MINFILTER = POINT; MAGFILTER = POINT;
    ADDRESSU = CLAMP; ADDRESSV = CLAMP;
};

sampler2D finalSampler = sampler_state
{
    Texture = <finalTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Mirror;
    AddressV = Border;
};

float2 texelSize = {1.0 / 640.0, 1.0 / 480.0};
float2 blurTexel = float2(1, 1) / 256;
float inkThreshold = 0.02;
float glowStrength : GlowStrength = 0.75;

static const int tapCount = 5;
static const float blurWeights[tapCount] = {0.0625, 0.25, 0.375, 0.25, 0.0625};

struct QUAD_OUTPUT
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

QUAD_OUTPUT quadVS(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    QUAD_OUTPUT output;
    output.position = position;
    output.uv = uv;
    return output;
}

float depthAt(float2 uv)
{
    return tex2D(depthSampler, uv).r;
}

float4 outlinePS(float2 uv : TEXCOORD0) : COLOR
{
    float center = depthAt(uv);
    float edge = 0;
    edge += abs(depthAt(uv + float2(texelSize.x, 0)) - center);
    edge += abs(depthAt(uv - float2(texelSize.x, 0)) - center);
    edge += abs(depthAt(uv + float2(0, texelSize.y)) - center);
    edge += abs(depthAt(uv - float2(0, texelSize.y)) - center);
    float ink = edge > inkThreshold ? 0.0 : 1.0;
    return float4(tex2D(shadeSampler, uv).rgb * ink, 1.0);
}

float4 reducePS(float2 uv : TEXCOORD0) : COLOR
{
    return tex2D(finalSampler, uv);
}

float4 blur(float2 uv, float2 direction)
{
    float4 sum = 0;
    for (int i = 0; i < tapCount; i++)
        sum += blurWeights[i] * tex2D(finalSampler, uv + (i - 2) * direction * blurTexel);
    return sum;
}

float4 blurHPS(float2 uv : TEXCOORD0) : COLOR { return blur(uv, float2(1, 0)); }
float4 blurVPS(float2 uv : TEXCOORD0) : COLOR { return blur(uv, float2(0, 1)); }

float4 finalPS(float2 uv : TEXCOORD0) : COLOR
{
    float4 color = tex2D(shadeSampler, uv);
    float4 glow = tex2D(finalSampler, uv);
    return float4(color.rgb + glow.rgb * glowStrength, 1.0);
}

technique ink
{
    pass outline
    {
        VertexShader = compile vs_2_0 quadVS();
        PixelShader = compile ps_2_0 outlinePS();
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
    }
    pass reduce
    {
        VertexShader = compile vs_2_0 quadVS();
        PixelShader = compile ps_2_0 reducePS();
        ZEnable = false;
        CullMode = None;
    }
    pass blurh
    {
        VertexShader = compile vs_2_0 quadVS();
        PixelShader = compile ps_2_0 blurHPS();
        ZEnable = false;
        CullMode = None;
    }
    pass blurv
    {
        VertexShader = compile vs_2_0 quadVS();
        PixelShader = compile ps_2_0 blurVPS();
        ZEnable = false;
        CullMode = None;
    }
    pass final
    {
        VertexShader = compile vs_2_0 quadVS();
        PixelShader = compile ps_2_0 finalPS();
        ZEnable = false;
        CullMode = None;
        AlphaBlendEnable = false;
    }
}
