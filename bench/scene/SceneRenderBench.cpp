// What a scene costs a frame: update (every pose, light and camera from the
// animations) early and late in a 148-second scene, and one full set of
// render passes (ambient, shade once per light, depth distance, emissive)
// off-screen at 640 x 480, for a scene of the demo's size.
//
//   SDL_VIDEODRIVER=offscreen build/release/bench/scene/scene_render_bench [--nodes N] [--lights N]
#include "bench/render/PlainGlFrame.h"
#include "content/scenewriter/SceneWriter.h"
#include "content/scenewriter/Shapes.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "scene/SceneEffect.h"
#include "scene/SceneGlobals.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

using namespace ORV;
using namespace ORV::Demo;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kEffect = R"(
float4x4 WorldViewProj : WorldViewProj;
float4x4 World : World;
float4 lightPosition : LIGHTPOSITION;
float4 lightColour : LIGHTCOLOR;
float3 glow = {0, 0, 0};
struct Out { float4 position : POSITION; float3 normal : TEXCOORD0; float3 world : TEXCOORD1; };
Out vs(float4 p : POSITION, float3 n : NORMAL)
{
    Out o;
    o.position = mul(p, WorldViewProj);
    o.normal = mul(n, (float3x3)World);
    o.world = mul(p, World).xyz;
    return o;
}
float4 ambientPS(Out i) : COLOR { return float4(0.2, 0.2, 0.25, 1); }
float4 shadePS(Out i) : COLOR
{
    float lit = saturate(dot(normalize(i.normal), normalize(lightPosition.xyz - i.world)));
    return float4(lightColour.rgb * floor(lit * 3) / 3, 1);
}
float4 depthPS(Out i) : COLOR { return float4(length(i.world) / 100, 0, 0, 1); }
float4 emissivePS(Out i) : COLOR { return float4(glow, 1); }
technique Toon
{
    pass ambient { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 ambientPS(); }
    pass shade { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 shadePS();
                 AlphaBlendEnable = true; SrcBlend = One; DestBlend = One; ZFunc = LessEqual; }
    pass depthdist { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 depthPS(); }
    pass emissive { VertexShader = compile vs_2_0 vs(); PixelShader = compile ps_2_0 emissivePS(); }
}
)";

constexpr float kSceneSeconds = 148.0f;
constexpr std::size_t kSamples = std::size_t(kSceneSeconds * 10) + 1; // one every 0.1 s

// nodes spheres of about 1,000 triangles in a ring, each moving along its own
// 148-second track; lights circling; two cameras.
SceneDescription makeScene(int nodes, int lights)
{
    SceneDescription d;
    d.meshGroups = {{Content::sphereMeshPart(16, 32)}};
    MaterialRecord material;
    material.name = "toon";
    material.effectName = "toon.fx";
    material.parameters = {{"glow", "20 10 0"}};
    d.materials = {material};
    std::vector<float> flat(kSamples * Core::Transform::floatCount);
    for (int n = 0; n < nodes; ++n) {
        for (std::size_t i = 0; i < kSamples; ++i) {
            Core::Transform pose;
            const float angle = float(n) / float(nodes) * 6.2831853f + float(i) * 0.01f;
            pose.translation = {std::cos(angle) * 12, std::sin(float(i) * 0.05f + float(n)), std::sin(angle) * 12};
            pose.rotation = {0, std::sin(float(i) * 0.005f), 0, std::cos(float(i) * 0.005f)};
            pose.toFloats(std::span<float, Core::Transform::floatCount>(&flat[i * Core::Transform::floatCount],
                                                                        Core::Transform::floatCount));
        }
        const std::int32_t track = Content::appendSampledAnimation(d, Core::TrackValueKind::Transform, flat);
        d.nodes.push_back({"ball" + std::to_string(n), 0, 0, track, {}});
    }
    for (int l = 0; l < lights; ++l) {
        std::vector<float> position(kSamples * 3), colour(kSamples * 3, 0.6f), radius(kSamples, 40.0f);
        for (std::size_t i = 0; i < kSamples; ++i) {
            const float angle = float(l) * 2.1f + float(i) * 0.02f;
            position[i * 3] = std::cos(angle) * 30;
            position[i * 3 + 1] = 10;
            position[i * 3 + 2] = std::sin(angle) * 30;
        }
        d.lights.push_back({Content::appendSampledAnimation(d, Core::TrackValueKind::Vector3, position),
                            Content::appendSampledAnimation(d, Core::TrackValueKind::Vector3, colour),
                            Content::appendSampledAnimation(d, Core::TrackValueKind::Scalar, radius)});
    }
    std::vector<float> eye(kSamples * Core::Transform::floatCount);
    for (std::size_t i = 0; i < kSamples; ++i) {
        Core::Transform pose;
        pose.translation = {0, 4, 40};
        pose.toFloats(std::span<float, Core::Transform::floatCount>(&eye[i * Core::Transform::floatCount],
                                                                    Core::Transform::floatCount));
    }
    const std::vector<float> fov(kSamples, 0.9f);
    const std::int32_t eyeTrack = Content::appendSampledAnimation(d, Core::TrackValueKind::Transform, eye);
    const std::int32_t fovTrack = Content::appendSampledAnimation(d, Core::TrackValueKind::Scalar, fov);
    d.cameras = {{"Camera01", eyeTrack, fovTrack}, {"Camera02", eyeTrack, fovTrack}};
    return d;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double microsecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    int nodes = 60, lights = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--nodes") == 0) nodes = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--lights") == 0) lights = std::max(0, std::atoi(argv[i + 1]));
    }
    Display display;
    if (!display.createWindow(640, 480, false, false, Platform::VideoMode::Offscreen)) {
        std::fprintf(stderr, "no off-screen device: %s\n", Display::lastError());
        return 1;
    }
    Test::TempDir folder;
    folder.write("toon.fx", kEffect);
    std::ostringstream bytes;
    std::string error;
    const SceneDescription description = makeScene(nodes, lights);
    if (!Content::writeScene(bytes, description, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    folder.write("bench.orv3d", bytes.str());
    fileSystem().remount(folder.path().string());
    registerSceneGlobals();
    resourceRegistry().addResource("toon.fx", "toon", loadShader);
    resourceRegistry().loadNext();
    {
        std::unique_ptr<Resource> resource = loadScene("bench.orv3d", "bench");
        auto& scene = static_cast<PassSceneEffect&>(*resource);
        const std::size_t triangles = description.meshGroups[0][0].indices.size() / 3 * std::size_t(nodes);
        std::printf("scene: %d nodes (%zu triangles), %d lights, 2 cameras, %zu tracks of %zu samples\n", nodes,
                    triangles, lights, description.animations.size(), kSamples);

        // update at times spread over the first and the last ten seconds.
        for (const float from : {0.0f, kSceneSeconds - 10.0f}) {
            std::vector<double> times;
            for (int i = 0; i < 2000; ++i) {
                const float t = from + 10.0f * float(i) / 2000.0f;
                const auto start = Clock::now();
                scene.update(0.016f, t);
                times.push_back(microsecondsSince(start));
            }
            std::printf("update at %5.1f-%5.1f s: median %.1f us\n", double(from), double(from + 10.0f), median(times));
        }

        Gfx::Device& device = Display::device();
        auto passSet = [&] {
            device.clear(Gfx::ClearFlag::Target | Gfx::ClearFlag::ZBuffer, 0xFF000000, 1.0f, 0);
            device.beginScene();
            for (PassId pass : {ambientPass, shadePass, depthDistPass, emissivePass}) {
                display.pushPass(pass);
                scene.render(nullptr);
                display.popPass();
            }
            device.endScene();
            Bench::finishGl();
        };
        scene.update(0, 70);
        for (int i = 0; i < 5; ++i) passSet(); // warm the driver's caches
        std::vector<double> frames;
        for (int i = 0; i < 40; ++i) {
            scene.update(0, 70 + float(i) * 0.1f);
            const auto start = Clock::now();
            passSet();
            frames.push_back(microsecondsSince(start) / 1000.0);
        }
        std::sort(frames.begin(), frames.end());
        std::printf("pass set (ambient, shade x %d, depthdist, emissive) at 640 x 480: median %.2f ms (%.2f .. %.2f)\n",
                    lights, median(frames), frames.front(), frames.back());
    }
    resourceRegistry().releaseAll();
    return 0;
}
