// How fast the demo is captured to a video: the demo drawn off-screen from
// its start at a fixed rate, every frame of the range read back and piped to
// ffmpeg (H.264 and the soundtrack, to a temporary file). Prints frames per
// second of capture against the rate (above it, capturing is faster than
// real time) and the time per frame of each stage: the demo's frame (update
// and drawing, which on a software renderer is mostly queued work), present
// (nextFrame), read-back (waits for the renderer to finish the frame) and
// encoding (writing to ffmpeg's pipe, blocked when ffmpeg is behind, and its
// finish).
//
//   SDL_VIDEODRIVER=offscreen build/release/bench/capture/bench_capture
//       [--fps N|N/D] [--size WxH] [--from S] [--to S]      (default 30, 640x480, 0 to 20)
#include "bench/support/CaptureSpeed.h"
#include "tools/orv-capture/Options.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace ORV::Capture;

int main(int argc, char** argv)
{
    std::vector<std::string> arguments = {"--fps", "30", "--to", "20"};
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    ParsedOptions parsed = parseOptions(arguments);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "bench_capture: %s\n", parsed.error.c_str());
        return 2;
    }
    const Options& o = parsed.options;
    const FrameRange range = framesOf(o);
    const ORV::Bench::CaptureSpeed speed = ORV::Bench::captureToVideo(ORV_DEMO_DIR, o);
    if (!speed.report.ok) {
        std::fprintf(stderr, "bench_capture: %s\n", speed.report.error.c_str());
        return 1;
    }
    const CaptureReport& report = speed.report;
    const StageTimes& t = report.times;
    const double frames = double(report.framesDrawn);
    const double loop = speed.frameSeconds;
    const double rate = double(o.rate.num) / double(o.rate.den);
    std::printf("capture %dx%d at %.3f fps, frames %lld to %lld (%lld drawn, %lld encoded)\n", o.width, o.height, rate,
                static_cast<long long>(range.begin), static_cast<long long>(range.end - 1),
                static_cast<long long>(report.framesDrawn), static_cast<long long>(report.framesTaken));
    std::printf("start-up and loading   %7.2f s\n", speed.wallSeconds - loop);
    std::printf("frames                 %7.2f s  %6.1f frames/s  %.2fx real time\n", loop, speed.framesPerSecond(),
                speed.framesPerSecond() / rate);
    auto stage = [&](const char* name, double seconds, double count) {
        std::printf("  %-20s %7.2f ms/frame  %5.1f%%\n", name, count > 0 ? 1000 * seconds / count : 0,
                    100 * seconds / loop);
    };
    stage("demo frame", t.render, frames);
    stage("present", t.present, frames);
    stage("read-back", t.readBack, double(report.framesTaken));
    stage("encode (pipe)", t.encode, double(report.framesTaken));
    return 0;
}
