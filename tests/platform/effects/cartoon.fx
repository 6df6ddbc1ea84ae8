// Toon shading for scene materials: ambient, per-light shade, depth distance
// and emissive passes.
#include "common.fxh"

float4 diffuseColor < string UIName = "Diffuse"; string UIWidget = "Color"; > = float4(0.8, 0.6, 0.4, 1.0);
float4 emissiveColor = {0, 0, 0, 1};
float bands
<
    string UIName = "Shade bands";
    float UIMin = 1.0;
    float UIMax = 8.0;
> = 3;
bool useTexture = true;
int bandCount : BandCount = 4;
float4 ambientColor : AmbientColor;
float fxDark : FxDark;

texture diffuseTex < string ResourceName = "white.jpg"; >;
sampler2D diffuseSampler = sampler_state
{
    Texture = <diffuseTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

static const float3 luminance = float3(0.299, 0.587, 0.114);
static const float toonSteps[4] = {0.1, 0.4, 0.7, 1.0};

struct VS_INPUT
{
    float4 position : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
};

struct VS_OUTPUT
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1;
    float3 worldPos : TEXCOORD2;
};

VS_OUTPUT sceneVS(VS_INPUT input)
{
    VS_OUTPUT output;
    output.position = mul(input.position, WorldViewProj);
    output.uv = input.uv;
    output.normal = rotateNormal(input.normal, World);
    output.worldPos = mul(input.position, World).xyz;
    return output;
}

float toon(float x)
{
    float result = toonSteps[0];
    for (int i = 1; i < 4; ++i)
        if (x > toonSteps[i - 1])
            result = toonSteps[i];
    return result;
}

float4 baseColor(float2 uv)
{
    float4 c = diffuseColor;
    if (useTexture)
        c *= tex2D(diffuseSampler, uv);
    return c;
}

float4 ambientPS(VS_OUTPUT input) : COLOR
{
    float4 c = baseColor(input.uv) * ambientColor;
    return float4(c.rgb * (1.0 - fxDark), 1.0);
}

float4 shadePS(VS_OUTPUT input) : COLOR0
{
    float3 toLight = normalize(lightPosition.xyz - input.worldPos);
    float lambert = saturate(dot(normalize(input.normal), toLight));
    float shade = toon(lambert) * attenuation(input.worldPos);
    return float4(baseColor(input.uv).rgb * lightColor.rgb * shade, 1.0);
}

struct DEPTH_OUTPUT
{
    float4 position : POSITION;
    float depth : TEXCOORD0;
};

DEPTH_OUTPUT depthVS(float4 position : POSITION)
{
    DEPTH_OUTPUT output;
    output.position = mul(position, WorldViewProj);
    output.depth = -mul(position, WorldView).z;
    return output;
}

float4 depthPS(float depth : TEXCOORD0) : COLOR
{
    return float4(depth / 100.0, frac(depth), 0.0, 1.0);
}

float4 emissivePS(VS_OUTPUT input) : COLOR
{
    return emissiveColor * dot(baseColor(input.uv).rgb, luminance);
}

technique cartoon < string Description = "toon shading, shader model 3"; >
{
    pass ambient
    {
        VertexShader = compile vs_3_0 sceneVS();
        PixelShader = compile ps_3_0 ambientPS();
        ZEnable = true;
        ZWriteEnable = true;
        ZFunc = LessEqual;
        CullMode = CCW;
        AlphaBlendEnable = false;
    }
    pass shade
    {
        VertexShader = compile vs_3_0 sceneVS();
        PixelShader = compile ps_3_0 shadePS();
        ZWriteEnable = false;
        ZFunc = LessEqual;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
    }
    pass depthdist
    {
        VertexShader = compile vs_3_0 depthVS();
        PixelShader = compile ps_3_0 depthPS();
        ZWriteEnable = true;
        AlphaBlendEnable = false;
    }
    pass emissive
    {
        VertexShader = compile vs_3_0 sceneVS();
        PixelShader = compile ps_3_0 emissivePS();
        ZWriteEnable = false;
        ZFunc = LessEqual;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
    }
}

technique cartoonSM2
{
    pass ambient
    {
        VertexShader = compile vs_2_0 sceneVS();
        PixelShader = compile ps_2_0 ambientPS();
    }
}
