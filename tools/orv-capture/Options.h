// The capture tool's command line and the frame arithmetic behind it. Times
// are kept as whole microseconds and frame rates as fractions, so that frame
// numbers, the video's length and the soundtrack's cut all come from the same
// integers and agree exactly (no sum of per-frame amounts, which drifts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ORV::Capture {

// Frames per second as numerator / denominator (30000/1001 for NTSC rates).
struct FrameRate {
    std::int64_t num = 60;
    std::int64_t den = 1;
};

enum class Mode { Video, Png, Still, ContactSheet };

constexpr std::int64_t microsecondsPerSecond = 1'000'000;
// The demo's script ends here; no capture goes past it.
constexpr std::int64_t demoEndMicroseconds = 148 * microsecondsPerSecond;

struct Options {
    Mode mode = Mode::Video;
    std::string output = "marrowlight.mp4"; // file, or folder for Png
    FrameRate rate;
    int width = 640;
    int height = 480;
    std::int64_t fromUs = 0;
    std::int64_t toUs = demoEndMicroseconds;
    std::int64_t stillUs = 0; // Mode::Still
    std::string assets = "."; // folder holding the archive and the soundtrack
    bool help = false;
};

// Parses the arguments after the program name. On a mistake, error names it
// in one line and the options are not to be used.
struct ParsedOptions {
    Options options;
    std::string error;
};
ParsedOptions parseOptions(const std::vector<std::string>& arguments);

const char* usageText();

// "60", "30000/1001": positive integers up to 1,000,000, the rate between
// 1 and 1000 frames per second. False on anything else.
bool parseFrameRate(const std::string& text, FrameRate& rate);
// "12", "12.5", "0.000001": non-negative seconds with at most six decimals,
// up to the demo's end. False on anything else.
bool parseSeconds(const std::string& text, std::int64_t& microseconds);
// "WxH", each side 16 to 8192 pixels.
bool parseSize(const std::string& text, int& width, int& height);

// The first frame shown at or after a time: ceil(t * rate).
std::int64_t firstFrameAtOrAfter(std::int64_t microseconds, FrameRate rate);
// The frame nearest a time (halves go up).
std::int64_t nearestFrame(std::int64_t microseconds, FrameRate rate);
// The demo time of frame n in seconds, n / rate, computed from n alone.
double frameSeconds(std::int64_t frame, FrameRate rate);
// frames / rate seconds as decimal text with nine decimals (rounded down),
// the form ffmpeg takes for -ss and -t.
std::string framesAsSeconds(std::int64_t frames, FrameRate rate);

// Frames [begin, end) that a capture of [fromUs, toUs) shows.
struct FrameRange {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    std::int64_t count() const { return end - begin; }
};
FrameRange framesOf(const Options& options);

} // namespace ORV::Capture
