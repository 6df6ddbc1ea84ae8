// The engine's share of one model draw in a render pass: a material select
// (the shader's begin with its automatic parameters, the pass lookup, the
// material's own parameters), the pass begin and end, and the technique end,
// with no geometry drawn. Figures in microseconds per select.
#include "display/Camera.h"
#include "display/Display.h"
#include "resources/Material.h"
#include "resources/Shader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>

using namespace ORV;
using namespace ORV::Demo;
using Clock = std::chrono::steady_clock;

namespace {

// Parameters of the kind a scene effect has: matrices and camera vectors by
// semantic, scene-global values without a built-in setter, material values.
const char* const kEffect = R"(
float4x4 World : World;
float4x4 WorldI : WorldI;
float4x4 WorldView : WorldView;
float4x4 WorldViewProj : WorldViewProj;
float4x4 ViewProj : ViewProj;
float4 CameraPosition : WorldCameraPosition;
float4 CameraFront : WorldCameraFront;
float4 LightPosition : LightPosition;
float4 LightColor : LightColor;
float4 Ambient : AmbientColor;
float Cut : FxCut;
float4 Color = {1, 1, 1, 1};
float4 Rim = {1, 1, 1, 1};
float Strength = 1.0;
float Shininess = 8.0;
float Outline = 0.5;
texture Ramp;
sampler2D RampSampler = sampler_state { Texture = <Ramp>; };

float4 vs(float3 p : POSITION) : POSITION
{
    float4 q = mul(float4(p, 1), World) + mul(float4(p, 1), WorldI) + mul(float4(p, 1), WorldView)
             + mul(float4(p, 1), ViewProj);
    return mul(q, WorldViewProj) + CameraPosition + CameraFront + LightPosition;
}
float4 ps() : COLOR
{
    return Color * Strength * Shininess * Outline + Rim + LightColor + Ambient * Cut + tex2D(RampSampler, float2(0, 0));
}

technique Main
{
    pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); }
    pass shade { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); ZWriteEnable = false; }
    pass emissive { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); }
    pass depthdist { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ps(); }
}
)";

} // namespace

int main()
{
    Display display;
    if (!display.createWindow(64, 64, false, false, Platform::VideoMode::Offscreen)) {
        std::fprintf(stderr, "bench_material: %s\n", Display::lastError());
        return 1;
    }
    Shader shader;
    std::istringstream in(kEffect);
    shader.compile(in, "bench.fx");
    if (!shader.effect()) return 1;
    Camera camera;
    camera.setPerspective(1.0f, 1.333f, 1.0f, 10000.0f);
    camera.setFrame({0, 0, 10}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    display.setCamera(camera);

    Material material(&shader);
    material.setPassName(shadePass, "shade");
    material.setColor("Color", {1, 0.5f, 0, 1});
    material.setColor("Rim", {0, 0, 1, 1});
    material.setFloat("Strength", 0.8f);
    material.setFloat("Shininess", 16.0f);
    material.setFloat("Outline", 0.25f);
    material.setTexture("Ramp", nullptr);
    display.pushPass(shadePass);

    const int selects = 20000;
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        for (int i = 0; i < selects; ++i) {
            if (!material.selectForCurrentPass()) return 1;
            while (material.beginNextPass()) {}
            material.endPasses();
        }
        best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - start).count() / selects);
    }
    std::printf("material select + pass + end, 18 parameters (7 by semantic, 6 set by the material): %.2f us\n", best);
    return 0;
}
