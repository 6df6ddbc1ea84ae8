// Shared by the scene effects: the automatic parameters and lighting helpers.
#ifndef COMMON_FXH
#define COMMON_FXH

#include "mathutil.fxh"

float4x4 WorldViewProj : WorldViewProjection;
float4x4 World : World;
float4x4 WorldView : WorldView;
float4 WorldCameraPosition : WorldCameraPosition;

float4 lightPosition : LightPosition;
float4 lightColor : LightColor = {1.0, 1.0, 1.0, 1.0};
float lightRadius : LightRadius = 10.0;

float attenuation(float3 worldPos)
{
    float d = length(lightPosition.xyz - worldPos) / lightRadius;
    return saturate(1.0 - square(d));
}

#endif
