// HatchCartoon.fx: pencil hatching on paper, for scene materials; the same
// passes as cartoon.fx.
//
// The tone of a point is drawn with three hatching tiles packed in the
// channels of one texture (a set: red light strokes, green medium, blue
// dense; one fetch reads all three), blended by intensity t in 0..1 as
//   t 0 .. 1/3: dense -> medium, 1/3 .. 2/3: medium -> light,
//   2/3 .. 1:   light -> bare paper,
// which assumes nested tiles (each lighter tile's strokes are a subset of
// the denser one's). The tiles are laid in screen space, anchored at the
// object's origin on screen so that they move with the object rather than
// swim over it, at hatchScale repeats per screen height whatever the
// distance: pencil strokes keep their width.
//
// Passes:
//   ambient    paper tone x base colour x hatching at the ambient intensity
//              (AMBIENT + ambientLevel); writes depth.
//   shade      per light, adds what the light lightens: the hatching at
//              ambient + N.L x falloff minus the ambient hatching, so that
//              one light gives exactly the tone of that sum.
//   depthdist  as cartoon.fx (view normal in rg, 16-bit closeness in ba).
//   emissive   glowColor, added (default black: adds nothing).
//
// Material parameters a scene file sets (colours as 0-255 triples):
//   hatchTex        texture  a hatching set, "Hatch0.dds" .. "Hatch2.dds"
//                            (they differ in stroke direction)
//   paperColor      colour   paper tone (default 230 222 206; its
//                            luminance stays below the glow knee)
//   diffuseColor    colour   base colour (default white)
//   diffuseTex      texture  in the ambient tone, as far as textureAmount
//   textureAmount   float    (default 0) says; shown near its own size
//   hatchScale      float    tile repeats per screen height (default 5)
//   ambientLevel    float    intensity without any lamp (default 0.15)
//   glowColor       colour   emissive colour (default black)
// Back faces are culled (CullMode = CCW, Direct3D's default): the scene
// data lists every triangle clockwise as seen from its front, so a surface
// is drawn from the side it faces only.
//
// Light falloff as cartoon.fx: (1 - (d / LIGHTRADIUS)^2)^2, none for a
// radius of 0 or less.

float4x4 WorldViewProj : WorldViewProj;
float4x4 World : World;
float4x4 WorldView : WorldView;
float4x4 Projection : Projection;
float4 ambientLight : AMBIENT;
float4 lightPosition : LIGHTPOSITION;
float4 lightColor : LIGHTCOLOR;
float lightRadius : LIGHTRADIUS;

float4 paperColor = {0.902, 0.871, 0.808, 1};
float4 diffuseColor = {1, 1, 1, 1};
float textureAmount = 0;
float hatchScale = 5;
float ambientLevel = 0.15;
float4 glowColor = {0, 0, 0, 0};

texture hatchTex;
texture diffuseTex;

sampler2D hatchSampler = sampler_state
{
    Texture = <hatchTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};
sampler2D diffuseSampler = sampler_state
{
    Texture = <diffuseTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None; // an image shown near its size (the credits card)
    AddressU = Wrap;
    AddressV = Wrap;
};

static const float depthRange = 512.0;

struct SceneVertex
{
    float4 position : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
};

struct HatchVertex
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float3 normal : TEXCOORD1; // world space, not normalised
    float3 world : TEXCOORD2;
    float4 screen : TEXCOORD3; // this point's clip position
    float4 anchor : TEXCOORD4; // the object origin's clip position
};

struct DepthVertex
{
    float4 position : POSITION;
    float4 viewNormalDepth : TEXCOORD0;
};

float4 clipPosition(float4 position)
{
    return mul(position, WorldViewProj);
}

HatchVertex hatchVS(SceneVertex input)
{
    HatchVertex output;
    output.position = clipPosition(input.position);
    output.uv = input.uv;
    output.normal = mul(input.normal, (float3x3)World);
    output.world = mul(input.position, World).xyz;
    output.screen = output.position;
    output.anchor = clipPosition(float4(0, 0, 0, 1));
    return output;
}

// Outside the clip volume on every side: a triangle whose corners all go
// there is dropped before the rasteriser looks at a pixel of it. A light
// without colour, or a material that does not glow in the emissive pass,
// would add nothing: such draws go nowhere, as in cartoon.fx.
static const float4 nowhere = float4(2, 2, 2, 1);

HatchVertex shadeVS(SceneVertex input)
{
    HatchVertex output = hatchVS(input);
    if (all(lightColor.rgb <= 0))
        output.position = nowhere;
    return output;
}

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
    output.viewNormalDepth.w = -mul(input.position, WorldView).z;
    return output;
}

// The diffuse texture weighed by textureAmount. The read costs every pixel
// whatever the amount (a software rasteriser runs both sides of a branch),
// which is why only this effect, and not the cel effect that most surfaces
// use, carries a texture.
float3 baseColor(float2 uv)
{
    float3 color = paperColor.rgb * diffuseColor.rgb;
    if (textureAmount > 0)
        color *= lerp(float3(1, 1, 1), tex2D(diffuseSampler, uv).rgb, textureAmount);
    return color;
}

// Tile coordinates: the offset from the anchor on screen, in units of the
// screen height (the projection's x scale over its y scale is the aspect).
float2 hatchCoordinates(HatchVertex input)
{
    float2 offset = input.screen.xy / input.screen.w;
    if (input.anchor.w > 1e-3)
        offset -= input.anchor.xy / input.anchor.w;
    float aspect = Projection[1][1] / Projection[0][0];
    return offset * float2(0.5 * aspect, -0.5) * hatchScale;
}

struct Tiles
{
    float light;
    float medium;
    float dense;
};

Tiles readTiles(HatchVertex input)
{
    float3 tones = tex2D(hatchSampler, hatchCoordinates(input)).rgb;
    Tiles tiles;
    tiles.light = tones.r;
    tiles.medium = tones.g;
    tiles.dense = tones.b;
    return tiles;
}

float hatchTone(Tiles tiles, float intensity)
{
    float t = saturate(intensity) * 3;
    float tone = lerp(tiles.dense, tiles.medium, saturate(t));
    tone = lerp(tone, tiles.light, saturate(t - 1));
    return lerp(tone, 1, saturate(t - 2));
}

float ambientIntensity()
{
    return dot(ambientLight.rgb, float3(0.299, 0.587, 0.114)) + ambientLevel;
}

float falloff(float distance)
{
    if (lightRadius <= 0)
        return 1;
    float x = saturate(distance / lightRadius);
    float f = 1 - x * x;
    return f * f;
}

float4 ambientPS(HatchVertex input) : COLOR
{
    float tone = hatchTone(readTiles(input), ambientIntensity());
    return float4(baseColor(input.uv) * tone, 1);
}

float4 shadePS(HatchVertex input) : COLOR
{
    float3 toLight = lightPosition.xyz - input.world;
    float distance = length(toLight);
    float lambert = saturate(dot(normalize(input.normal), toLight / max(distance, 1e-4)));
    float reach = lambert * falloff(distance);
    // Facing away or beyond the radius, the light adds nothing: such pixels
    // leave before the texture read (a software rasteriser then skips whole
    // blocks of them).
    if (reach <= 0)
        discard;
    float ambient = ambientIntensity();
    Tiles tiles = readTiles(input);
    float lighter = hatchTone(tiles, ambient + reach) - hatchTone(tiles, ambient);
    // The texture shows in the ambient tone only: a lamp lightens the paper
    // colour, and the texture read is not paid once more per light.
    return float4(paperColor.rgb * diffuseColor.rgb * lightColor.rgb * max(lighter, 0), 0);
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
    return float4(glowColor.rgb, saturate(max(glowColor.r, max(glowColor.g, glowColor.b))));
}

technique HatchCartoon
{
    pass ambient
    {
        VertexShader = compile vs_3_0 hatchVS();
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
