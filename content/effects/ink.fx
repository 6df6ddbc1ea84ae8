// ink.fx: the full-screen passes of the post-processing chain.
//
//   outline  shadeTex (the lit scene) and depthDistTex (normals and depth)
//            into the inked image: where no object was drawn the shade
//            image still holds its blue clear colour, and that background
//            becomes paperColor, a mid-toned paper on which both the ink and
//            the additive glow show (a scene that wants a sky draws one); ink
//            lines follow depth and normal discontinuities. Alpha is written
//            0: the emissive objects drawn afterwards add their glow mask
//            to it.
//   reduce   finalTex (the inked image) to 256 x 256, keeping what glows:
//            the emissive mask and whatever is brighter (luminance) than
//            glowKnee; the paper background stays below it.
//   blurh,   one direction each of a 13-tap Gaussian read with 7 linear
//   blurv    taps, at 256 x 256; the chain runs them twice.
//   final    shadeTex (the inked image) plus finalTex (the glow), then the
//            script's effects: FXDARK fades to black, FXLIGHT to white and
//            FXCUT flashes white, each 0 for none and 1 for full; larger
//            values (cuts reach 2) are held at full.
//
// depthDistTex encoding (written by the scene effects' depthdist pass):
//   rg  view-space normal x, y as n * 0.5 + 0.5
//   ba  closeness = 1 - viewDepth / 512 as 16 bits, b the high byte, a the
//       low byte; objects keep b >= 1, so b = 0 (the clear colour) is
//       background. Only ratios of depths are compared here, so the 512
//       cancels out.
//
// Texel sizes come from the screen-space derivatives of the quad's texture
// coordinates, so the passes work at any target size.

float fxCut : FXCUT;
float fxDark : FXDARK;
float fxLight : FXLIGHT;

float3 paperColor = {0.55, 0.51, 0.45}; // toned paper: glow and white stay visible on it
float3 inkColor = {0.06, 0.05, 0.08};
float inkStrength = 1;
float2 depthEdge = {0.03, 0.09}; // relative depth step: no line .. full line
float2 normalEdge = {0.35, 0.7}; // change of the normal's x, y: the same
float2 glowKnee = {0.9, 1.0}; // luminance: no glow .. full glow
float glowStrength = 1.5;
float blurSpread = 2.5; // tap spacing in 256-texel units, 1 = exact Gaussian

texture shadeTex;
texture depthDistTex;
texture finalTex;

sampler2D shadeSampler = sampler_state
{
    Texture = <shadeTex>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};
// The encoded depth must not be filtered: point sampling only.
sampler2D depthSampler = sampler_state
{
    Texture = <depthDistTex>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};
sampler2D finalSampler = sampler_state
{
    Texture = <finalTex>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

struct ScreenVertex
{
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
};

ScreenVertex screenVS(float4 position : POSITION, float2 uv : TEXCOORD0)
{
    ScreenVertex output;
    output.position = position;
    output.uv = uv;
    return output;
}

// The size of one pixel of the target being drawn, in texture coordinates.
float2 pixelSize(float2 uv)
{
    return float2(abs(ddx(uv.x)), abs(ddy(uv.y)));
}

// Closeness in 0..1 (1 at the eye; background about 0).
float closeness(float4 encoded)
{
    return dot(floor(encoded.ba * 255 + 0.5), float2(256, 1)) / 65535;
}

// How strongly an ink line separates the centre sample from a neighbour.
float edge(float4 centre, float centreDepth, float4 other)
{
    float otherDepth = 1 - closeness(other);
    float step = abs(centreDepth - otherDepth) / max(min(centreDepth, otherDepth), 1e-4);
    float2 bend = (centre.rg - other.rg) * 2;
    return max(smoothstep(depthEdge.x, depthEdge.y, step), smoothstep(normalEdge.x, normalEdge.y, length(bend)));
}

float4 outlinePS(ScreenVertex input) : COLOR
{
    float2 d = pixelSize(input.uv);
    float4 centre = tex2D(depthSampler, input.uv);
    float centreDepth = 1 - closeness(centre);
    // Four diagonal neighbours: a pixel on either side of a straight
    // silhouette sees two of them across it (a line two pixels wide); along a
    // 45-degree edge each sees one, so one crossing counts three quarters of
    // a full line, which keeps diagonal lines nearly as dark while the steps
    // of shallow edges get in-between tones.
    float ink = edge(centre, centreDepth, tex2D(depthSampler, input.uv + d * float2(-1, -1)));
    ink += edge(centre, centreDepth, tex2D(depthSampler, input.uv + d * float2(1, -1)));
    ink += edge(centre, centreDepth, tex2D(depthSampler, input.uv + d * float2(-1, 1)));
    ink += edge(centre, centreDepth, tex2D(depthSampler, input.uv + d * float2(1, 1)));
    ink = saturate(ink * 0.75) * inkStrength;

    float3 colour = centre.b > 0.5 / 255 ? tex2D(shadeSampler, input.uv).rgb : paperColor;
    return float4(lerp(colour, inkColor, ink), 0);
}

float4 reducePS(ScreenVertex input) : COLOR
{
    // Four bilinear taps a quarter of a 256-pixel apart cover about 3 x 3
    // pixels of a 640 x 480 source, so thin glowing lines are not skipped.
    float2 d = pixelSize(input.uv) * 0.25;
    float4 c = tex2D(finalSampler, input.uv + float2(-d.x, -d.y));
    c += tex2D(finalSampler, input.uv + float2(d.x, -d.y));
    c += tex2D(finalSampler, input.uv + float2(-d.x, d.y));
    c += tex2D(finalSampler, input.uv + float2(d.x, d.y));
    c *= 0.25;
    // Luminance, not the brightest channel: a saturated colour at full
    // strength is a lit surface; only near-white is light.
    float bright = smoothstep(glowKnee.x, glowKnee.y, dot(c.rgb, float3(0.299, 0.587, 0.114)));
    return float4(c.rgb * max(bright, saturate(c.a)), 1);
}

// Binomial 13-tap weights folded into linear taps: each pair of texels is
// read with one bilinear tap at their weighted centre.
static const float blurOffsets[4] = {0.0, 1.411764706, 3.294117647, 5.176470588};
static const float blurWeights[4] = {0.196482550, 0.296906964, 0.094470320, 0.010381362};

float4 blur(float2 uv, float2 direction)
{
    float2 step = direction * blurSpread;
    float3 sum = tex2D(finalSampler, uv).rgb * blurWeights[0];
    for (int i = 1; i < 4; ++i) {
        sum += tex2D(finalSampler, uv + step * blurOffsets[i]).rgb * blurWeights[i];
        sum += tex2D(finalSampler, uv - step * blurOffsets[i]).rgb * blurWeights[i];
    }
    return float4(sum, 1);
}

float4 blurHorizontalPS(ScreenVertex input) : COLOR
{
    return blur(input.uv, float2(pixelSize(input.uv).x, 0));
}

float4 blurVerticalPS(ScreenVertex input) : COLOR
{
    return blur(input.uv, float2(0, pixelSize(input.uv).y));
}

float4 finalPS(ScreenVertex input) : COLOR
{
    float3 c = tex2D(shadeSampler, input.uv).rgb + tex2D(finalSampler, input.uv).rgb * glowStrength;
    c *= 1 - saturate(fxDark);
    c = lerp(c, float3(1, 1, 1), saturate(fxLight));
    c = lerp(c, float3(1, 1, 1), saturate(fxCut));
    return float4(saturate(c), 1);
}

technique Ink
{
    pass outline
    {
        VertexShader = compile vs_3_0 screenVS();
        PixelShader = compile ps_3_0 outlinePS();
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        AlphaBlendEnable = false;
    }
    pass reduce
    {
        VertexShader = compile vs_3_0 screenVS();
        PixelShader = compile ps_3_0 reducePS();
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        AlphaBlendEnable = false;
    }
    pass blurh
    {
        VertexShader = compile vs_3_0 screenVS();
        PixelShader = compile ps_3_0 blurHorizontalPS();
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        AlphaBlendEnable = false;
    }
    pass blurv
    {
        VertexShader = compile vs_3_0 screenVS();
        PixelShader = compile ps_3_0 blurVerticalPS();
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        AlphaBlendEnable = false;
    }
    pass final
    {
        VertexShader = compile vs_3_0 screenVS();
        PixelShader = compile ps_3_0 finalPS();
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        AlphaBlendEnable = false;
    }
}
