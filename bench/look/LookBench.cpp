// bench_look [--frames N] [--size WxH]: the time each step of the chain takes
// with the demo's effect files, on each sample stage of orv-look (the scene
// passes with cartoon.fx, HatchCartoon.fx and Additive.fx; the full-screen
// passes of ink.fx). The device is drained before every step, so a step's
// time is its own GL work; medians over the frames, after two unmeasured
// frames.
#include "bench/render/PlainGlFrame.h"
#include "content/look/Look.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string loadAverage()
{
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    if (!file) return "unknown";
    char text[16] = {};
    const bool read = std::fscanf(file, "%15s", text) == 1;
    std::fclose(file);
    return read ? text : "unknown";
}

std::string passName(ORV::Demo::PassId pass)
{
    using namespace ORV::Demo;
    if (pass == ambientPass) return "ambient";
    if (pass == shadePass) return "shade";
    if (pass == depthDistPass) return "depthdist";
    if (pass == emissivePass) return "emissive";
    return "?";
}

// Splits a frame's time among the chain's steps: each event drains the
// device and books the time since the last one to the step then running.
class StepTimer : public ORV::Demo::ChainObserver {
public:
    void startFrame()
    {
        ORV::Bench::finishGl();
        step_ = "begin";
        index_ = 0;
        last_ = Clock::now();
    }
    void endFrame() { book(); }
    void onChainEvent(const ORV::Demo::ChainEvent& e) override
    {
        using Kind = ORV::Demo::ChainEvent::Kind;
        if (e.kind != Kind::PushPass && e.kind != Kind::FullScreenPass) return;
        book();
        std::string name = e.kind == Kind::FullScreenPass ? "ink " + std::string(e.name) : "scene " + passName(e.pass);
        // Steps in chain order; the ones that repeat get their ordinal.
        char label[64];
        std::snprintf(label, sizeof label, "%02d %s", ++index_, name.c_str());
        step_ = label;
    }
    std::map<std::string, std::vector<double>> samples;

private:
    void book()
    {
        ORV::Bench::finishGl();
        const Clock::time_point now = Clock::now();
        samples[step_].push_back(std::chrono::duration<double, std::milli>(now - last_).count());
        last_ = now;
    }
    std::string step_;
    int index_ = 0;
    Clock::time_point last_;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    int frames = 15, width = 640, height = 480;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc)
            frames = std::clamp(std::atoi(argv[++i]), 1, 1000);
        else if (arg == "--size" && i + 1 < argc && std::sscanf(argv[++i], "%dx%d", &width, &height) == 2 && width >= 16
                 && height >= 16 && width <= 4096 && height <= 4096)
            continue;
        else {
            std::fprintf(stderr, "usage: bench_look [--frames N] [--size WxH]\n");
            return 2;
        }
    }
    std::error_code error;
    const fs::path work =
        fs::temp_directory_path() / ("bench-look-" + std::to_string(Clock::now().time_since_epoch().count()));
    fs::create_directories(work, error);
    std::printf("chain steps at %d x %d, median of %d frames (ms), load %s\n", width, height, frames,
                loadAverage().c_str());
    int status = 0;
    for (const ORV::Content::Sample& sample : ORV::Content::samples()) {
        ORV::Content::Stage stage(width, height);
        if (!stage.build(ORV_EFFECTS_DIR, work, sample.objects)) {
            std::fprintf(stderr, "bench_look: %s: %s\n", sample.name.c_str(), stage.error().c_str());
            status = 1;
            break;
        }
        StepTimer timer;
        stage.frame();
        stage.frame();
        stage.chain().setObserver(&timer);
        std::vector<double> totals;
        for (int f = 0; f < frames; ++f) {
            stage.display().nextFrame();
            const Clock::time_point start = Clock::now();
            timer.startFrame();
            stage.chain().advance(0.0f, 0.0f);
            stage.chain().draw(nullptr);
            timer.endFrame();
            totals.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        stage.chain().setObserver(nullptr);
        std::printf("\n%s (", sample.name.c_str());
        for (std::size_t i = 0; i < sample.objects.size(); ++i)
            std::printf("%s%s", i ? ", " : "", sample.objects[i].effect.c_str());
        std::printf("; 2 lights, spheres of 3,136 triangles)\n");
        for (const auto& [step, times] : timer.samples)
            if (step != "begin") std::printf("  %-22s %7.2f\n", step.c_str() + 3, median(times));
        std::printf("  %-22s %7.2f\n", "whole chain", median(totals));
    }
    fs::remove_all(work, error);
    return status;
}
