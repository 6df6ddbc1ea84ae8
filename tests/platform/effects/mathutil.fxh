// Small helpers, included from common.fxh.
float square(float x)
{
    return x * x;
}

float3 rotateNormal(float3 n, float4x4 m)
{
    return normalize(mul(n, (float3x3)m));
}
