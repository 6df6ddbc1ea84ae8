#include "tools/orv-capture/Options.h"

#include <cassert>
#include <charconv>

namespace ORV::Capture {

namespace {

constexpr std::int64_t maxRateTerm = 1'000'000;

bool parseInteger(const std::string& text, std::int64_t& value)
{
    if (text.empty() || text.size() > 12) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

bool parseFrameRate(const std::string& text, FrameRate& rate)
{
    const std::size_t slash = text.find('/');
    FrameRate parsed;
    if (!parseInteger(text.substr(0, slash), parsed.num)) return false;
    parsed.den = 1;
    if (slash != std::string::npos && !parseInteger(text.substr(slash + 1), parsed.den)) return false;
    if (parsed.num < 1 || parsed.den < 1 || parsed.num > maxRateTerm || parsed.den > maxRateTerm) return false;
    // Between 1 and 1000 frames per second.
    if (parsed.num < parsed.den || parsed.num > 1000 * parsed.den) return false;
    rate = parsed;
    return true;
}

bool parseSeconds(const std::string& text, std::int64_t& microseconds)
{
    const std::size_t dot = text.find('.');
    std::int64_t whole = 0;
    if (!parseInteger(text.substr(0, dot), whole)) return false;
    std::int64_t fraction = 0;
    if (dot != std::string::npos) {
        std::string digits = text.substr(dot + 1);
        if (digits.empty() || digits.size() > 6) return false;
        if (!parseInteger(digits, fraction)) return false;
        for (std::size_t i = digits.size(); i < 6; ++i) fraction *= 10;
    }
    if (whole > demoEndMicroseconds / microsecondsPerSecond) return false;
    const std::int64_t total = whole * microsecondsPerSecond + fraction;
    if (total > demoEndMicroseconds) return false;
    microseconds = total;
    return true;
}

bool parseSize(const std::string& text, int& width, int& height)
{
    const std::size_t x = text.find('x');
    if (x == std::string::npos) return false;
    std::int64_t w = 0, h = 0;
    if (!parseInteger(text.substr(0, x), w) || !parseInteger(text.substr(x + 1), h)) return false;
    if (w < 16 || h < 16 || w > 8192 || h > 8192) return false;
    width = int(w);
    height = int(h);
    return true;
}

std::int64_t firstFrameAtOrAfter(std::int64_t microseconds, FrameRate rate)
{
    // frame n is at n * den / num seconds; n >= t * num / den.
    const std::int64_t scale = rate.den * microsecondsPerSecond;
    return (microseconds * rate.num + scale - 1) / scale;
}

std::int64_t nearestFrame(std::int64_t microseconds, FrameRate rate)
{
    const std::int64_t scale = rate.den * microsecondsPerSecond;
    return (2 * microseconds * rate.num + scale) / (2 * scale);
}

double frameSeconds(std::int64_t frame, FrameRate rate)
{
    return double(frame) * double(rate.den) / double(rate.num);
}

std::string framesAsSeconds(std::int64_t frames, FrameRate rate)
{
    assert(frames >= 0);
    const std::int64_t numerator = frames * rate.den;
    const std::int64_t whole = numerator / rate.num;
    const std::int64_t remainder = numerator % rate.num; // < 1e6, so remainder * 1e9 fits
    const std::int64_t nanos = remainder * 1'000'000'000 / rate.num;
    std::string digits = std::to_string(nanos);
    return std::to_string(whole) + "." + std::string(9 - digits.size(), '0') + digits;
}

FrameRange framesOf(const Options& options)
{
    switch (options.mode) {
    case Mode::Still: {
        const std::int64_t frame = nearestFrame(options.stillUs, options.rate);
        return {frame, frame + 1};
    }
    case Mode::Video:
    case Mode::Png:
    case Mode::ContactSheet: break;
    }
    return {firstFrameAtOrAfter(options.fromUs, options.rate), firstFrameAtOrAfter(options.toUs, options.rate)};
}

const char* usageText()
{
    return "usage: orv-capture [OUT.mp4] [options]\n"
           "Renders the demo off-screen at a fixed frame rate and writes an H.264 video\n"
           "with the soundtrack (through the ffmpeg program), PNG frames or pictures.\n"
           "  --fps N | N/D        frames per second (default 60; 30000/1001 works)\n"
           "  --size WxH           picture size (default 640x480; the camera keeps 4:3)\n"
           "  --from S --to S      capture only this range of the demo, in seconds\n"
           "  --png DIR            numbered PNG frames (frame_NNNNNN.png) instead of a video\n"
           "  --still T OUT.png    the one frame at time T\n"
           "  --contact-sheet OUT.png  one frame per second in a grid of thumbnails\n"
           "  --assets DIR         folder of marrowlight.zip and soundtrk0x01.ogg (default .)\n"
           "The demo always runs from its start; frames before --from are drawn, not kept.\n";
}

ParsedOptions parseOptions(const std::vector<std::string>& arguments)
{
    ParsedOptions parsed;
    Options& o = parsed.options;
    bool haveOutput = false;
    auto fail = [&](std::string why) {
        parsed.error = std::move(why);
        return parsed;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= arguments.size()) return false;
            out = arguments[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--fps") {
            if (!value(v) || !parseFrameRate(v, o.rate))
                return fail("--fps takes N or N/D, 1 to 1000 frames per second");
        } else if (a == "--size") {
            if (!value(v) || !parseSize(v, o.width, o.height))
                return fail("--size takes WxH, 16 to 8192 pixels a side");
        } else if (a == "--from") {
            if (!value(v) || !parseSeconds(v, o.fromUs)) return fail("--from takes seconds between 0 and 148");
        } else if (a == "--to") {
            if (!value(v) || !parseSeconds(v, o.toUs)) return fail("--to takes seconds between 0 and 148");
        } else if (a == "--assets") {
            if (!value(v)) return fail("--assets takes a folder");
            o.assets = v;
        } else if (a == "--png") {
            if (!value(v)) return fail("--png takes a folder");
            o.mode = Mode::Png;
            o.output = v;
            haveOutput = true;
        } else if (a == "--still") {
            std::string file;
            if (!value(v) || !parseSeconds(v, o.stillUs) || !value(file))
                return fail("--still takes a time in seconds and a PNG file");
            o.mode = Mode::Still;
            o.output = file;
            haveOutput = true;
        } else if (a == "--contact-sheet") {
            if (!value(v)) return fail("--contact-sheet takes a PNG file");
            o.mode = Mode::ContactSheet;
            o.output = v;
            haveOutput = true;
        } else if (!a.empty() && a[0] == '-') {
            return fail("unknown option " + a);
        } else {
            if (haveOutput) return fail("more than one output: " + a);
            o.output = a;
            haveOutput = true;
        }
    }
    if (o.fromUs >= o.toUs) return fail("--from must come before --to");
    if (o.mode == Mode::Still && o.stillUs >= demoEndMicroseconds)
        return fail("--still must be before the end (148 s)");
    return parsed;
}

} // namespace ORV::Capture
