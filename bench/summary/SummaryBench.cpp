// The figures that describe the demo's speed on this machine, measured in one
// run and printed as one table (what `./demo bench` shows):
//
// - start-up: from opening the off-screen display to the first frame of the
//   demo drawn, through registration, the loading screen, the chain, the
//   timeline and the music, without the main function's fixed waits;
// - the loading time of each kind of asset during that start-up (the
//   registry's loads timed one by one, summed by loader);
// - the whole script at a fixed step at 640 x 480: the median frame, the
//   worst second, the median of each chain step (the step timer waits for the
//   renderer at each step, so the steps add up to a little more than a frame
//   drawn without waits);
// - the effect compiler: each of the demo's effects, from its source in the
//   archive, compiled and linked (median of five, after start-up has paid for
//   glslang's initialisation);
// - every member of the demo's archive read through the engine's streams, and
//   `unzip -p` of the same archive run as a child process (best of ten each;
//   MB are 10^6 bytes of uncompressed data);
// - a capture to H.264 through ffmpeg at 30 frames per second over 0-20 s,
//   as bench_capture makes it;
// - the process's peak resident memory (the kernel's high-water mark, VmHWM).
//
// Progress and the engine's log lines go to standard error; the table alone to
// standard output.
//
//   SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy build/release/bench/summary/bench_summary   (from build/demo)
#include "app/Demo.h"
#include "app/Manifest.h"
#include "bench/support/ArchiveRead.h"
#include "bench/support/CaptureSpeed.h"
#include "bench/support/DemoRun.h"
#include "bench/support/EffectTiming.h"
#include "bench/support/Figures.h"
#include "display/Display.h"
#include "platform/Process.h"
#include "platform/ProcessStats.h"
#include "resources/EffectIncludes.h"
#include "resources/FileSystem.h"
#include "resources/ResourceRegistry.h"
#include "resources/Shader.h"
#include "resources/Texture.h"
#include "scene/SceneEffect.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace ORV;
using namespace ORV::Bench;

namespace {

constexpr int frameWidth = 640, frameHeight = 480;
constexpr float demoStep = 0.1f; // seconds of demo time a frame: 1,480 frames
constexpr int effectRepetitions = 5;
constexpr int archivePasses = 10;
constexpr int captureFps = 30;
constexpr int captureSeconds = 20;

struct Row {
    std::string figure;
    double value;
    int decimals;
    std::string unit;
};

std::string fixed(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void progress(const char* what)
{
    std::fprintf(stderr, "bench_summary: %s\n", what);
}

// The registry's loads during start-up, summed by the loader that made them.
class LoadTimes : public Demo::LoadObserver {
public:
    struct Kind {
        const char* name;
        Demo::ResourceLoader loader;
        double milliseconds = 0;
        int count = 0;
    };
    Kind kinds[3] = {{"effects", Demo::loadShader}, {"textures", Demo::loadTexture}, {"scenes", Demo::loadScene}};
    Kind other{"other assets", nullptr};

    void onLoaded(const Demo::LoadRequest& request, std::uint64_t nanoseconds) override
    {
        Kind* kind = &other;
        for (Kind& k : kinds)
            if (k.loader == request.loader) kind = &k;
        kind->milliseconds += double(nanoseconds) * 1e-6;
        ++kind->count;
    }
};

// Measures everything into rows; false (with a line on standard error) when a
// part cannot run.
bool measure(std::vector<Row>& rows)
{
    const auto add = [&rows](std::string figure, double value, int decimals, std::string unit) {
        rows.push_back({std::move(figure), value, decimals, std::move(unit)});
    };

    {
        progress("start-up and the whole script at a step of 1/10 s");
        LoadTimes loads;
        Demo::resourceRegistry().setLoadObserver(&loads);
        const Clock::time_point startAt = Clock::now();
        OffscreenDemo demo(ORV_DEMO_DIR, frameWidth, frameHeight);
        if (!demo.ok()) {
            std::fprintf(stderr, "bench_summary: %s\n", demo.error().c_str());
            return false;
        }
        Demo::startDemo();
        Demo::resourceRegistry().setLoadObserver(nullptr);
        const std::vector<FrameRecord> frames = playDemo(demo.display(), demoStep);
        if (frames.empty()) {
            std::fprintf(stderr, "bench_summary: the demo drew no frame\n");
            return false;
        }
        add("start-up to the first frame",
            std::chrono::duration<double, std::milli>(frames[0].finishedAt - startAt).count(), 0, "ms");
        for (const LoadTimes::Kind& kind : loads.kinds)
            add("  loading " + std::to_string(kind.count) + " " + kind.name, kind.milliseconds, 0, "ms");
        if (loads.other.count > 0)
            add("  loading " + std::to_string(loads.other.count) + " " + loads.other.name, loads.other.milliseconds, 0,
                "ms");

        const RunFigures run = summarise(frames);
        add("whole demo, " + std::to_string(frames.size()) + " frames at 1/10 s, " + std::to_string(frameWidth) + "x"
                + std::to_string(frameHeight) + ": median",
            1000.0 / run.medianMilliseconds, 1, "fps");
        add("  worst second (" + std::to_string(run.worstSecond) + " s)", 1000.0 / run.worstSecondMilliseconds, 1,
            "fps");
        for (std::size_t s = 0; s < run.medianSteps.size(); ++s)
            add(std::string("  chain step ") + StepTimer::names[s] + " (median)", run.medianSteps[s], 2, "ms");

        progress("the effect compiler");
        Demo::EffectIncludes includes;
        for (const Demo::ManifestEntry& entry : Demo::manifest()) {
            if (entry.loader != Demo::loadShader) continue;
            const auto stream = Demo::openStream(entry.path);
            const Core::Result<std::string> source = Demo::readWholeStream(*stream);
            if (!source) {
                std::fprintf(stderr, "bench_summary: %s: %s\n", entry.path, source.messages().c_str());
                return false;
            }
            std::vector<double> totals;
            for (int r = 0; r < effectRepetitions; ++r) {
                const EffectTime time = compileAndLink(Demo::Display::device(), source.value(), entry.path, includes);
                if (!time.ok) {
                    std::fprintf(stderr, "bench_summary: %s: %s\n", entry.path, time.messages.c_str());
                    return false;
                }
                totals.push_back(time.total);
            }
            add(std::string("effect compile and link: ") + entry.path, median(totals), 1, "ms");
        }
        Demo::stopDemo();
    }

    progress("reading the archive");
    {
        const std::string archive = std::string(ORV_DEMO_DIR) + "/marrowlight.zip";
        std::vector<std::string> members;
        for (const Demo::MountPoint& mount : Demo::fileSystem().mountPoints())
            if (mount.isArchive && mount.archive.path().ends_with("/marrowlight.zip"))
                for (const auto& [key, entry] : mount.archive.entries()) members.push_back(key);
        if (members.empty()) {
            std::fprintf(stderr, "bench_summary: no members in %s\n", archive.c_str());
            return false;
        }
        double best = 1e9;
        std::size_t bytes = 0;
        for (int pass = 0; pass < archivePasses; ++pass) {
            const Clock::time_point start = Clock::now();
            bytes = 0;
            for (const std::string& member : members) bytes += readToEnd(*Demo::openStream(member));
            best = std::min(best, secondsSince(start));
        }
        const double megabytes = double(bytes) * 1e-6;
        add("archive read, engine (" + std::to_string(members.size()) + " members, " + fixed(megabytes, 1) + " MB)",
            megabytes / best, 0, "MB/s");
        if (haveProgram("unzip")) {
            double bestUnzip = 1e9;
            for (int pass = 0; pass < archivePasses; ++pass) {
                const double seconds = timeShellCommand("unzip -p " + shellQuoted(archive) + " > /dev/null");
                if (seconds < 0) {
                    std::fprintf(stderr, "bench_summary: unzip -p failed\n");
                    return false;
                }
                bestUnzip = std::min(bestUnzip, seconds);
            }
            add("archive read, unzip -p (a process per pass)", megabytes / bestUnzip, 0, "MB/s");
        }
    }

    progress("a capture through ffmpeg");
    {
        Capture::Options options;
        options.rate = {captureFps, 1};
        options.width = frameWidth;
        options.height = frameHeight;
        options.fromUs = 0;
        options.toUs = std::int64_t(captureSeconds) * Capture::microsecondsPerSecond;
        const CaptureSpeed speed = captureToVideo(ORV_DEMO_DIR, options);
        if (!speed.report.ok) {
            std::fprintf(stderr, "bench_summary: capture: %s\n", speed.report.error.c_str());
            return false;
        }
        add("capture to H.264, " + std::to_string(captureFps) + " fps, 0-" + std::to_string(captureSeconds) + " s",
            speed.framesPerSecond(), 1, "frames/s");
    }

    add("peak memory (resident, VmHWM)", double(Platform::processCounters().peakResidentBytes) / 1048576.0, 0, "MiB");
    return true;
}

} // namespace

int main()
{
    std::vector<Row> rows;
    {
        // The engine's log ("Compiling effect") goes to standard output.
        const Platform::StandardOutputToError aside;
        if (!measure(rows)) return 1;
    }

    std::size_t width = 0;
    for (const Row& row : rows) width = std::max(width, row.figure.size());
    std::printf("%-*s %10s  %s\n", int(width), "figure", "value", "unit");
    for (const Row& row : rows)
        std::printf("%-*s %10.*f  %s\n", int(width), row.figure.c_str(), row.decimals, row.value, row.unit.c_str());
    return 0;
}
