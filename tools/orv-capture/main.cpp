// orv-capture: the demo to a video file with its soundtrack (or to PNG
// frames, a still, a contact sheet), rendered off-screen at a fixed frame
// rate. Run from the demo's folder, or name it with --assets.
#include "platform/Process.h"
#include "tools/orv-capture/Capture.h"
#include "tools/orv-capture/Options.h"
#include "tools/orv-capture/Sinks.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace ORV::Capture;

namespace {

constexpr const char* soundtrackName = "soundtrk0x01.ogg";

// A redrawn line on a terminal; on anything else only the final line, so
// that logs stay short.
class ProgressLine {
public:
    explicit ProgressLine(bool terminal) : terminal_(terminal) {}

    void update(std::int64_t done, std::int64_t total, const StageTimes& t)
    {
        const double spent = t.render + t.present + t.readBack + t.encode;
        if (terminal_ && done != total && spent - shownAt_ < 0.25) return;
        shownAt_ = spent;
        if (!terminal_) return;
        std::fprintf(stderr, "\r%s", line(done, total, t).c_str());
        std::fflush(stderr);
    }
    void end(std::int64_t done, std::int64_t total, const StageTimes& t)
    {
        std::fprintf(stderr, "%s%s\n", terminal_ ? "\r" : "", line(done, total, t).c_str());
    }

private:
    static std::string line(std::int64_t done, std::int64_t total, const StageTimes& t)
    {
        const double spent = t.render + t.present + t.readBack + t.encode;
        const double fps = spent > 0 ? double(done) / spent : 0;
        const double left = fps > 0 ? double(total - done) / fps : 0;
        constexpr int barWidth = 30;
        const int filled = total > 0 ? int(barWidth * done / total) : barWidth;
        char text[256];
        std::snprintf(text, sizeof text,
                      "[%s%s] %lld/%lld frames  %.1f fps  %.0f s left  (render %.0f%%, read %.0f%%, encode %.0f%%)",
                      std::string(std::size_t(filled), '#').c_str(),
                      std::string(std::size_t(barWidth - filled), '.').c_str(), static_cast<long long>(done),
                      static_cast<long long>(total), fps, left, spent > 0 ? 100 * (t.render + t.present) / spent : 0,
                      spent > 0 ? 100 * t.readBack / spent : 0, spent > 0 ? 100 * t.encode / spent : 0);
        return text;
    }

    bool terminal_;
    double shownAt_ = -1;
};

} // namespace

int main(int argc, char** argv)
{
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "orv-capture: %s\n%s", parsed.error.c_str(), usageText());
        return 2;
    }
    const Options& o = parsed.options;
    if (o.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    // No window and no sound device are needed: the picture goes to the file
    // and the soundtrack is muxed from its file, never played. A driver the
    // caller chose is kept.
    ORV::Platform::setEnvironmentDefault("SDL_VIDEODRIVER", "offscreen");
    ORV::Platform::setEnvironmentDefault("SDL_AUDIODRIVER", "dummy");
    const FrameRange range = framesOf(o);
    if (range.count() <= 0) {
        std::fprintf(stderr, "orv-capture: the range holds no frame at this rate\n");
        return 2;
    }

    std::string error;
    std::unique_ptr<FrameSink> sink;
    switch (o.mode) {
    case Mode::Video: {
        std::string soundtrack = (std::filesystem::path(o.assets) / soundtrackName).string();
        if (!std::filesystem::is_regular_file(soundtrack)) {
            std::fprintf(stderr, "orv-capture: no %s in %s; the video has no sound\n", soundtrackName,
                         o.assets.c_str());
            soundtrack.clear();
        }
        sink = makeVideoSink(o.output, o.width, o.height, o.rate, range, soundtrack, error);
        break;
    }
    case Mode::Png: sink = makePngSink(o.output, o.width, o.height, range, error); break;
    case Mode::Still: sink = makeStillSink(o.output, o.width, o.height, range); break;
    case Mode::ContactSheet: sink = makeContactSheetSink(o.output, o.width, o.height, o.rate, range); break;
    }
    if (!sink) {
        std::fprintf(stderr, "orv-capture: %s\n", error.c_str());
        return 1;
    }

    ProgressLine progress(ORV::Platform::standardErrorIsTerminal());
    const CaptureReport report = runCapture(
        o.assets, o.width, o.height, o.rate, range.end, *sink,
        [&](std::int64_t done, std::int64_t total, const StageTimes& t) { progress.update(done, total, t); });
    progress.end(report.framesDrawn, range.end, report.times);
    if (!report.ok) {
        std::fprintf(stderr, "orv-capture: %s\n", report.error.c_str());
        return 1;
    }
    std::fprintf(stderr, "orv-capture: %lld frames to %s\n", static_cast<long long>(report.framesTaken),
                 o.output.c_str());
    return 0;
}
