#include "tools/orv-capture/Capture.h"

#include "app/Demo.h"
#include "app/EffectFailure.h"
#include "app/Settings.h"
#include "display/Display.h"
#include "platform/cpu/Clock.h"
#include "resources/FileSystem.h"
#include "resources/Shader.h"

#include <cassert>

namespace ORV::Capture {

namespace {

double secondsSince(std::uint64_t startNs)
{
    return double(Platform::monotonicNanoseconds() - startNs) * 1e-9;
}

} // namespace

CaptureReport runCapture(const std::string& assetFolder, int width, int height, FrameRate rate, std::int64_t endFrame,
                         FrameSink& sink, const ProgressFunction& progress)
{
    using namespace ORV::Demo;
    CaptureReport report;
    setEffectFailureHandler(stopOnEffectFailure); // the demo cannot play without its effects
    fileSystem().remount(assetFolder);
    // Everything the demo makes is sized from these, so they are set before
    // the display exists.
    screenWidth = width;
    screenHeight = height;

    Display display;
    if (!display.createWindow(width, height, false, false, Platform::VideoMode::Offscreen)) {
        report.error = std::string("cannot render off-screen: ") + Display::lastError();
        return report;
    }
    setDemoRenderStates();
    currentDisplay = &display;
    startDemo(); // the loading screen's frames are not part of the capture

    const float step = float(double(rate.den) / double(rate.num));
    bool ok = display.nextFrame();
    if (!ok) report.error = "the display closed before the first frame";
    for (std::int64_t n = 0; ok && n < endFrame; ++n) {
        const float time = float(frameSeconds(n, rate));
        std::uint64_t start = Platform::monotonicNanoseconds();
        runDemoFrame(time, n == 0 ? 0.0f : step);
        report.times.render += secondsSince(start);
        if (sink.wants(n)) {
            start = Platform::monotonicNanoseconds();
            Gfx::Device& device = Display::device();
            assert(device.renderTarget() && "the chain ends on the back buffer");
            const std::vector<std::uint32_t> pixels = device.readPixels(*device.renderTarget());
            report.times.readBack += secondsSince(start);
            start = Platform::monotonicNanoseconds();
            if (pixels.size() != std::size_t(width) * std::size_t(height)) {
                report.error = "the back buffer could not be read";
                ok = false;
            } else if (!sink.take(n, pixels)) {
                report.error = sink.error();
                ok = false;
            } else {
                ++report.framesTaken;
            }
            report.times.encode += secondsSince(start);
        }
        ++report.framesDrawn;
        start = Platform::monotonicNanoseconds();
        if (ok && !display.nextFrame()) {
            report.error = "the display closed during the capture";
            ok = false;
        }
        report.times.present += secondsSince(start);
        if (progress) progress(n + 1, endFrame, report.times);
    }

    stopDemo();
    currentDisplay = nullptr;
    const std::uint64_t start = Platform::monotonicNanoseconds();
    const bool finished = sink.finish();
    report.times.encode += secondsSince(start);
    if (ok && !finished) {
        report.error = sink.error();
        ok = false;
    }
    report.ok = ok;
    return report;
}

} // namespace ORV::Capture
