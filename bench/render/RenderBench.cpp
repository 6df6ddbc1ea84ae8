// bench_render [--triangles N] [--size WxH] [--frames N] [--table] [--present] [--untuned]
//
// Frame time of a frame shaped like the demo's (FrameScene.h: a lit mesh in
// five passes, seven full-screen passes), off-screen, drawn two ways in the
// same process: through the graphics layer and in hand-written GL
// (PlainGlFrame.cpp). Runs alternate (engine, plain GL, plain GL with the
// alpha-test epilogue the layer's pixel shaders carry) five times; printed
// are the medians with their spread, the ratio engine / plain GL, and minor
// page faults per frame of each run. Then the cost of one full-screen pass at
// the frame size and of one 5-tap blur at 256 x 256, for budgeting content.
//
//   --table     frame time against triangles (5k..320k at 640 x 480) and
//               against resolution (640 x 480 .. 1920 x 1080 at 20k)
//   --present   what present costs, and what drawing the last pass straight
//               into the window (no copy) would save
//   --only engine|plain|tail
//               draws only that way, --frames frames, for a profiler
//   --untuned   leaves the C allocator's adaptive thresholds in place
#include "bench/render/EngineFrame.h"
#include "bench/render/PlainGlFrame.h"
#include "platform/DeviceWindow.h"
#include "platform/ProcessStats.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace ORV;
using namespace ORV::Bench;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 5;

struct Options {
    FrameSize size;
    int triangles = 20000;
    int frames = 15; // per run
    bool table = false, present = false, tuned = true;
    std::string only; // engine, plain or tail: one way alone
};

struct Run {
    double ms = 0; // wall time per frame
    double cpuMs = 0; // processor time of all threads per frame
    double faultsPerFrame = 0;
};

struct Spread {
    double median = 0, low = 0, high = 0;
};

Spread spreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

// `frames` frames of `frame`, timed from an idle GL context to an idle one.
Run timeRun(int frames, const std::function<void()>& frame)
{
    finishGl();
    const Platform::ProcessCounters before = Platform::processCounters();
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i) frame();
    finishGl();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const Platform::ProcessCounters after = Platform::processCounters();
    return {1000.0 * seconds / frames, 1000.0 * (after.processorSeconds - before.processorSeconds) / frames,
            double(after.minorPageFaults - before.minorPageFaults) / frames};
}

std::string loadAverage()
{
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    if (!file) return "unknown";
    char text[64] = {};
    const bool read = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    if (!read) return "unknown";
    std::string line(text);
    // The first three figures: 1, 5 and 15 minutes.
    size_t end = 0;
    for (int i = 0; i < 3 && end != std::string::npos; ++i) end = line.find(' ', end + 1);
    return line.substr(0, end);
}

// The engine and the hand-written frame on one off-screen window of the
// frame's size.
struct Bench {
    std::unique_ptr<Platform::DeviceWindow> window;
    std::unique_ptr<EngineFrame> engine;
    std::unique_ptr<PlainGlFrame> plain, epilogue;

    bool open(const Options& options, FrameSize size, int triangles)
    {
        Platform::WindowDesc desc;
        desc.width = size.width;
        desc.height = size.height;
        desc.fullScreen = false;
        desc.mode = Platform::VideoMode::Offscreen;
        desc.tuneAllocator = options.tuned;
        auto opened = Platform::DeviceWindow::open(desc);
        if (!opened) {
            std::fprintf(stderr, "bench_render: %s\n", opened.messages().c_str());
            return false;
        }
        window = std::move(opened).value();
        std::string error;
        engine = EngineFrame::create(window->device(), size, triangles, &error);
        if (engine) {
            GlStateKeeper keep;
            plain = PlainGlFrame::create(size, triangles, {}, &error);
            if (plain) epilogue = PlainGlFrame::create(size, triangles, {.alphaTestEpilogue = true}, &error);
        }
        if (!engine || !plain || !epilogue) {
            std::fprintf(stderr, "bench_render: %s\n", error.c_str());
            return false;
        }
        // Warm-up: shaders are compiled for the states they meet on first use.
        for (int i = 0; i < 3; ++i) {
            engineFrame();
            plainFrame(*plain);
            plainFrame(*epilogue);
        }
        return true;
    }
    void engineFrame()
    {
        engine->draw();
        window->device().present();
    }
    void plainFrame(PlainGlFrame& frame)
    {
        GlStateKeeper keep;
        frame.draw();
        frame.copyToWindow();
        window->window().swap();
    }
    Run engineRun(int frames)
    {
        return timeRun(frames, [&] { engineFrame(); });
    }
    Run plainRun(PlainGlFrame& frame, int frames)
    {
        // The device's state is put back once per run, outside the frames.
        GlStateKeeper keep;
        return timeRun(frames, [&] {
            frame.draw();
            frame.copyToWindow();
            window->window().swap();
        });
    }
};

void printSpread(const char* name, const Spread& s, const char* unit)
{
    std::printf("  %-28s %8.2f %s  (%.2f .. %.2f)\n", name, s.median, unit, s.low, s.high);
}

int compare(const Options& options)
{
    Bench bench;
    if (!bench.open(options, options.size, options.triangles)) return 1;
    std::printf("%s, %d x %d, %u triangles, %d frames a run, allocator %s, load %s\n",
                bench.window->device().rendererName().c_str(), options.size.width, options.size.height,
                bench.engine->triangles(), options.frames, options.tuned ? "tuned" : "untuned", loadAverage().c_str());
    std::vector<double> engine, plain, epilogue, ratio, tailRatio, layerRatio, engineCpu, plainCpu, cpuRatio;
    std::vector<Run> engineRuns, plainRuns;
    for (int round = 0; round < kRounds; ++round) {
        const Run e = bench.engineRun(options.frames);
        const Run p = bench.plainRun(*bench.plain, options.frames);
        const Run a = bench.plainRun(*bench.epilogue, options.frames);
        engine.push_back(e.ms);
        plain.push_back(p.ms);
        epilogue.push_back(a.ms);
        ratio.push_back(e.ms / p.ms);
        tailRatio.push_back(a.ms / p.ms);
        layerRatio.push_back(e.ms / a.ms);
        engineCpu.push_back(e.cpuMs);
        plainCpu.push_back(p.cpuMs);
        cpuRatio.push_back(e.cpuMs / p.cpuMs);
        engineRuns.push_back(e);
        plainRuns.push_back(p);
    }
    std::printf("frame time, median of %d alternating runs (lowest .. highest):\n", kRounds);
    printSpread("engine", spreadOf(engine), "ms");
    printSpread("plain GL", spreadOf(plain), "ms");
    printSpread("plain GL + alpha-test tail", spreadOf(epilogue), "ms");
    printSpread("engine / plain GL", spreadOf(ratio), "  ");
    printSpread("(plain GL + tail) / plain GL", spreadOf(tailRatio), "  ");
    printSpread("engine / (plain GL + tail)", spreadOf(layerRatio), "  ");
    std::printf("processor time of all threads per frame (steadier when the machine is shared):\n");
    printSpread("engine", spreadOf(engineCpu), "ms");
    printSpread("plain GL", spreadOf(plainCpu), "ms");
    printSpread("engine / plain GL", spreadOf(cpuRatio), "  ");
    std::printf("minor page faults per frame, run by run:\n  engine  ");
    for (const Run& r : engineRuns) std::printf(" %6.1f", r.faultsPerFrame);
    std::printf("\n  plain GL");
    for (const Run& r : plainRuns) std::printf(" %6.1f", r.faultsPerFrame);
    std::printf("\n");

    // One pass costs the difference between frames with and without a batch
    // of them, divided by the batch; both kinds of frame end in present.
    const int batch = 20, frames = std::max(5, options.frames / 2);
    auto perPass = [&](FramePass pass) {
        std::vector<double> costs;
        for (int round = 0; round < 3; ++round) {
            const Run with = timeRun(frames, [&] {
                bench.engine->drawPasses(pass, batch);
                bench.window->device().present();
            });
            const Run without = timeRun(frames, [&] { bench.window->device().present(); });
            costs.push_back((with.ms - without.ms) / batch);
        }
        return spreadOf(costs);
    };
    std::printf("per pass, through the engine (median of 3):\n");
    const std::string fullName =
        "full-screen copy " + std::to_string(options.size.width) + "x" + std::to_string(options.size.height);
    printSpread(fullName.c_str(), perPass(FramePass::Copy), "ms");
    printSpread("5-tap blur 256x256", perPass(FramePass::Blur), "ms");
    return 0;
}

int table(const Options& options)
{
    std::printf("load %s\n%10s %10s %10s %10s %8s\n", loadAverage().c_str(), "triangles", "size", "engine ms",
                "plain ms", "ratio");
    struct Row {
        int triangles;
        FrameSize size;
    };
    std::vector<Row> rows;
    for (int t : {5000, 10000, 20000, 40000, 80000, 160000, 320000}) rows.push_back({t, {640, 480}});
    for (FrameSize s : {FrameSize{800, 600}, FrameSize{1280, 720}, FrameSize{1920, 1080}}) rows.push_back({20000, s});
    for (const Row& row : rows) {
        Bench bench;
        if (!bench.open(options, row.size, row.triangles)) return 1;
        std::vector<double> engine, plain;
        // Fewer frames for the heavy rows, so that each row takes about as long.
        const double weight = std::min(1.0, 20000.0 / row.triangles)
                              * std::min(1.0, 640.0 * 480.0 / (double(row.size.width) * row.size.height));
        const int frames = std::max(8, int(options.frames * weight + 0.5));
        for (int round = 0; round < 3; ++round) {
            engine.push_back(bench.engineRun(frames).ms);
            plain.push_back(bench.plainRun(*bench.plain, frames).ms);
        }
        const Spread e = spreadOf(engine), p = spreadOf(plain);
        const std::string size = std::to_string(row.size.width) + "x" + std::to_string(row.size.height);
        std::printf("%10u %10s %10.2f %10.2f %8.3f\n", bench.engine->triangles(), size.c_str(), e.median, p.median,
                    e.median / p.median);
        std::fflush(stdout);
    }
    return 0;
}

// What present costs at the frame size: the copy with the swap, the swap
// alone, and a whole hand-written frame whose last pass draws into the window
// against the same frame drawn off-screen and copied.
int presentCost(const Options& options)
{
    Bench bench;
    if (!bench.open(options, options.size, options.triangles)) return 1;
    std::string error;
    std::unique_ptr<PlainGlFrame> direct;
    {
        GlStateKeeper keep;
        direct = PlainGlFrame::create(options.size, options.triangles, {.finalPassToWindow = true}, &error);
    }
    if (!direct) {
        std::fprintf(stderr, "bench_render: %s\n", error.c_str());
        return 1;
    }
    bench.engineFrame();
    const int presents = 200;
    std::vector<double> present, swap, copied, toWindow;
    for (int round = 0; round < kRounds; ++round) {
        present.push_back(timeRun(presents, [&] { bench.window->device().present(); }).ms);
        swap.push_back(timeRun(presents, [&] { bench.window->window().swap(); }).ms);
        copied.push_back(bench.plainRun(*bench.plain, options.frames).ms);
        toWindow.push_back(bench.plainRun(*direct, options.frames).ms);
    }
    std::printf("present at %d x %d, load %s, median of %d (lowest .. highest):\n", options.size.width,
                options.size.height, loadAverage().c_str(), kRounds);
    printSpread("Device::present (copy+swap)", spreadOf(present), "ms");
    printSpread("swap alone", spreadOf(swap), "ms");
    printSpread("frame, copied to window", spreadOf(copied), "ms");
    printSpread("frame, last pass to window", spreadOf(toWindow), "ms");
    std::vector<double> saved;
    for (int i = 0; i < kRounds; ++i) saved.push_back(copied[size_t(i)] - toWindow[size_t(i)]);
    printSpread("difference (the copy)", spreadOf(saved), "ms");
    const double copy = spreadOf(present).median - spreadOf(swap).median;
    const double frame = bench.engineRun(options.frames).ms;
    std::printf("  the copy is %.2f ms, %.1f%% of the engine's frame (%.2f ms)\n", copy, 100.0 * copy / frame, frame);
    return 0;
}

int only(const Options& options)
{
    Bench bench;
    if (!bench.open(options, options.size, options.triangles)) return 1;
    const Run run = options.only == "engine"  ? bench.engineRun(options.frames)
                    : options.only == "plain" ? bench.plainRun(*bench.plain, options.frames)
                                              : bench.plainRun(*bench.epilogue, options.frames);
    std::printf("%s: %d frames, %.2f ms a frame, %.2f ms of processor time, %.1f minor page faults, load %s\n",
                options.only.c_str(), options.frames, run.ms, run.cpuMs, run.faultsPerFrame, loadAverage().c_str());
    return 0;
}

bool parseSize(const char* text, FrameSize* size)
{
    return std::sscanf(text, "%dx%d", &size->width, &size->height) == 2 && size->width > 0 && size->height > 0
           && size->width <= 8192 && size->height <= 8192;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--untuned") == 0) {
            options.tuned = false;
        } else if (std::strcmp(argv[i], "--table") == 0) {
            options.table = true;
        } else if (std::strcmp(argv[i], "--present") == 0) {
            options.present = true;
        } else if (std::strcmp(argv[i], "--triangles") == 0 && hasValue) {
            options.triangles = std::max(8, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--only") == 0 && hasValue) {
            options.only = argv[++i];
            if (options.only != "engine" && options.only != "plain" && options.only != "tail") {
                std::fprintf(stderr, "bench_render: --only wants engine, plain or tail\n");
                return 2;
            }
        } else if (std::strcmp(argv[i], "--frames") == 0 && hasValue) {
            options.frames = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            if (!parseSize(argv[++i], &options.size)) {
                std::fprintf(stderr, "bench_render: --size wants WxH, as 640x480\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "usage: bench_render [--triangles N] [--size WxH] [--frames N] [--table] [--present] "
                                 "[--only engine|plain|tail] [--untuned]\n");
            return 2;
        }
    }
    if (options.table) return table(options);
    if (options.present) return presentCost(options);
    if (!options.only.empty()) return only(options);
    return compare(options);
}
