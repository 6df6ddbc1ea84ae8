#include "bench/support/CaptureSpeed.h"

#include "bench/support/Figures.h"
#include "tests/support/TempDir.h"
#include "tools/orv-capture/Sinks.h"

namespace ORV::Bench {

CaptureSpeed captureToVideo(const std::string& assetFolder, const Capture::Options& options)
{
    CaptureSpeed speed;
    const Capture::FrameRange range = Capture::framesOf(options);
    Test::TempDir folder;
    std::string error;
    auto sink = Capture::makeVideoSink((folder.path() / "bench.mp4").string(), options.width, options.height,
                                       options.rate, range, assetFolder + "/soundtrk0x01.ogg", error);
    if (!sink) {
        speed.report.error = error;
        return speed;
    }
    const Clock::time_point start = Clock::now();
    speed.report = Capture::runCapture(assetFolder, options.width, options.height, options.rate, range.end, *sink);
    speed.wallSeconds = secondsSince(start);
    const Capture::StageTimes& t = speed.report.times;
    speed.frameSeconds = t.render + t.present + t.readBack + t.encode;
    return speed;
}

} // namespace ORV::Bench
