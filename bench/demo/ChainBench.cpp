// What a frame of the whole post-processing chain costs: a loaded scene
// (a 20,000-triangle sphere and a ring of smaller ones on the demo's cel
// effect, two lights, one glowing object) drawn by the Compositor off-screen
// at 640 x 480 with the demo's own effects. Prints the median frame time and
// rate, the time of each chain step (measured in a second run that waits for
// the GPU at every step, so the steps add up to a little more than the
// frame), and the heap allocations per frame once the frames are steady.
//
//   SDL_VIDEODRIVER=offscreen build/release/bench/demo/chain_bench [--frames N]
//
// The effects and images come from the demo's folder (its archive) and, for
// effects not packed yet, from the effect sources.
#include "app/Compositor.h"
#include "app/Settings.h"
#include "bench/demo/StepTimer.h"
#include "bench/render/PlainGlFrame.h"
#include "bench/support/Figures.h"
#include "content/scenewriter/SceneWriter.h"
#include "content/scenewriter/Shapes.h"
#include "display/Display.h"
#include "resources/FileSystem.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "resources/Texture.h"
#include "scene/SceneEffect.h"
#include "scene/SceneGlobals.h"
#include "scene/SceneView.h"
#include "tests/support/AllocationWatch.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

using namespace ORV;
using namespace ORV::Demo;
using Bench::Clock;
using Bench::median;
using Bench::millisecondsSince;

namespace {

void appendPose(SceneDescription& d, const std::string& name, int group, int material, Core::Vector3 at)
{
    Core::Transform pose;
    pose.translation = at;
    std::array<float, Core::Transform::floatCount> flat;
    pose.toFloats(flat);
    const std::int32_t track = Content::appendSampledAnimation(d, Core::TrackValueKind::Transform, flat);
    d.nodes.push_back({name, group, material, track, {}});
}

std::int32_t constantTrack(SceneDescription& d, Core::TrackValueKind kind, std::vector<float> value)
{
    return Content::appendSampledAnimation(d, kind, value);
}

SceneDescription makeScene()
{
    SceneDescription d;
    d.meshGroups = {{Content::sphereMeshPart(100, 100, 6.0f)}, {Content::sphereMeshPart(16, 32, 1.5f)}};
    MaterialRecord cel;
    cel.name = "cel";
    cel.effectName = "cartoon.fx";
    cel.parameters = {{"diffuseColor", "230 120 60"}, {"rampTex", "cartoon_d.jpg"}, {"specularTex", "cartoon_s.jpg"}};
    MaterialRecord glow;
    glow.name = "glow";
    glow.effectName = "Additive.fx";
    glow.parameters = {{"tex", "light3.jpg"}, {"textureAmount", "1"}, {"color", "255 180 80"}};
    d.materials = {cel, glow};
    appendPose(d, "big", 0, 0, {0, 0, 0});
    for (int i = 0; i < 8; ++i) {
        const float angle = float(i) * 0.785398f;
        appendPose(d, "ring" + std::to_string(i), 1, 0, {std::cos(angle) * 11, 0, std::sin(angle) * 11});
    }
    appendPose(d, "lamp", 1, 1, {0, 8, 4});
    for (const Core::Vector3 at : {Core::Vector3{20, 15, 20}, Core::Vector3{-25, 5, 10}}) {
        d.lights.push_back({constantTrack(d, Core::TrackValueKind::Vector3, {at.x, at.y, at.z}),
                            constantTrack(d, Core::TrackValueKind::Vector3, {0.9f, 0.85f, 0.8f}),
                            constantTrack(d, Core::TrackValueKind::Scalar, {80.0f})});
    }
    Core::Transform eye;
    eye.translation = {0, 4, 30};
    std::array<float, Core::Transform::floatCount> flat;
    eye.toFloats(flat);
    d.cameras = {{"Camera01", constantTrack(d, Core::TrackValueKind::Transform, {flat.begin(), flat.end()}),
                  constantTrack(d, Core::TrackValueKind::Scalar, {0.9f})}};
    return d;
}

} // namespace

int main(int argc, char** argv)
{
    int frames = 60;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--frames") == 0) frames = std::max(5, std::atoi(argv[i + 1]));

    screenWidth = 640;
    screenHeight = 480;
    Display display;
    if (!display.createWindow(screenWidth, screenHeight, false, false, Platform::VideoMode::Offscreen)) {
        std::fprintf(stderr, "no off-screen device: %s\n", Display::lastError());
        return 1;
    }
    currentDisplay = &display;

    Test::TempDir folder;
    std::ostringstream bytes;
    std::string error;
    const SceneDescription description = makeScene();
    if (!Content::writeScene(bytes, description, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    folder.write("bench.orv3d", bytes.str());
    fileSystem().remount(folder.path().string());
    fileSystem().mountDirectory(ORV_DEMO_DIR);
    fileSystem().mountDirectory(ORV_EFFECT_SOURCES);

    registerSceneGlobals();
    ResourceRegistry& registry = resourceRegistry();
    registry.addResource("cartoon.fx", "cartoonShader", loadShader);
    registry.addResource("Additive.fx", "additiveShader", loadShader);
    registry.addResource("ink.fx", "inkShader", loadShader);
    for (const char* image : {"cartoon_d.jpg", "cartoon_s.jpg", "light3.jpg"})
        registry.addResource(image, image, loadTexture);
    registry.addResource("bench.orv3d", "bench", loadScene);
    const auto loadStart = Clock::now();
    while (registry.loadNext() < 1.0f) {}
    std::printf("loading: %.0f ms (3 effects, 3 images, the scene)\n", millisecondsSince(loadStart));
    auto* ink = static_cast<Shader*>(registry.findByName("inkShader"));
    if (!ink || !ink->effect()) {
        std::fprintf(stderr, "ink.fx did not load: the chain would draw nothing; build the content first\n");
        return 1;
    }

    {
        Compositor compositor;
        compositor.prepare();
        SceneView view;
        view.bind(static_cast<SceneEffect*>(registry.findByName("bench")), "Camera01");
        compositor.children.push_back(&view);

        std::size_t triangles = 0;
        for (const MeshGroup& group : description.meshGroups) triangles += group[0].indices.size() / 3;
        std::printf("scene: 1 sphere of %zu triangles, 8 of %zu, 1 glowing, 2 lights; 640 x 480 off-screen\n",
                    description.meshGroups[0][0].indices.size() / 3, description.meshGroups[1][0].indices.size() / 3);

        float time = 0.0f;
        auto frame = [&] {
            display.nextFrame();
            compositor.advance(0.016f, time);
            compositor.draw(nullptr);
            time += 0.016f;
        };
        for (int i = 0; i < 5; ++i) frame(); // warm the driver's caches
        Bench::finishGl();

        std::vector<double> times;
        std::size_t allocations = 0;
        for (int i = 0; i < frames; ++i) {
            const auto start = Clock::now();
            {
                Test::AllocationWatch watch;
                frame();
                allocations += watch.allocations();
            }
            Bench::finishGl();
            times.push_back(millisecondsSince(start));
        }
        const double frameMs = median(times);
        std::sort(times.begin(), times.end());
        std::printf("frame (nextFrame + advance + chain): median %.2f ms = %.1f fps (%.2f .. %.2f ms over %d frames)\n",
                    frameMs, 1000.0 / frameMs, times.front(), times.back(), frames);
        std::printf("heap allocations per frame: %.2f\n", double(allocations) / double(frames));

        Bench::StepTimer steps;
        std::array<std::vector<double>, Bench::StepTimer::StepCount> perStep;
        compositor.setObserver(&steps);
        for (int i = 0; i < frames; ++i) {
            display.nextFrame();
            compositor.advance(0.016f, time);
            steps.beginFrame();
            compositor.draw(nullptr);
            steps.endFrame();
            for (int s = 0; s < Bench::StepTimer::StepCount; ++s)
                perStep[std::size_t(s)].push_back(steps.frame()[std::size_t(s)]);
            time += 0.016f;
        }
        compositor.setObserver(nullptr);
        std::printf("chain steps, median ms per frame (waiting for the GPU at each step):\n");
        double sum = 0;
        for (int s = 0; s < Bench::StepTimer::StepCount; ++s) {
            const double ms = median(perStep[std::size_t(s)]);
            sum += ms;
            std::printf("  %-13s %6.2f\n", Bench::StepTimer::names[s], ms);
        }
        std::printf("  %-13s %6.2f\n", "sum", sum);
    }
    registry.releaseAll();
    currentDisplay = nullptr;
    return 0;
}
