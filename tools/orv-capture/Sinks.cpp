#include "tools/orv-capture/Sinks.h"

#include "platform/Process.h"
#include "platform/image/Png.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

namespace ORV::Capture {

namespace {

// ARGB words in memory are B, G, R, A bytes on a little-endian machine:
// ffmpeg's bgra.
static_assert(std::endian::native == std::endian::little, "raw frames are sent as bgra");

// Frames go to ffmpeg from a thread of their own, so that drawing the next
// frame is not held up by the pipe (ffmpeg reads a frame only as its encoder
// gets to it). One frame waits at most: take() copies the frame into the
// spare buffer, waiting while the writer still holds both.
class VideoSink final : public FrameSink {
public:
    VideoSink(std::vector<std::string> arguments, int width, int height, FrameRange range)
        : ffmpeg_(arguments), frameWords_(std::size_t(width) * std::size_t(height)), range_(range)
    {
        if (ffmpeg_.running()) writer_ = std::jthread([this] { writeFrames(); });
    }
    ~VideoSink() override { stopWriter(); }
    bool started() const { return ffmpeg_.running(); }
    std::string error() const override
    {
        std::lock_guard lock(mutex_);
        return error_.empty() ? ffmpeg_.error() : error_;
    }

    bool wants(std::int64_t frame) const override { return frame >= range_.begin && frame < range_.end; }
    bool take(std::int64_t frame, std::span<const std::uint32_t> argb) override
    {
        assert(argb.size() == frameWords_);
        // Frames come in order, once each; a gap would shift every later
        // frame against the sound.
        assert(frame == range_.begin + taken_);
        (void)frame;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !pending_ || failed_; });
        if (failed_) return false;
        spare_.assign(argb.begin(), argb.end());
        pending_ = true;
        ++taken_;
        changed_.notify_all();
        return true;
    }
    bool finish() override
    {
        stopWriter();
        const int status = ffmpeg_.finish();
        std::lock_guard lock(mutex_);
        if (status != 0 && error_.empty()) error_ = "ffmpeg failed with status " + std::to_string(status);
        if (status == 0 && written_ != range_.count() && error_.empty()) error_ = "the capture ended early";
        return error_.empty();
    }

private:
    // The writer thread: hands each frame to ffmpeg, in order, until told to
    // stop with nothing pending or until ffmpeg stops reading.
    void writeFrames()
    {
        std::vector<std::uint32_t> frame;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return pending_ || stopping_; });
                if (!pending_) return;
                frame.swap(spare_);
                pending_ = false;
                changed_.notify_all();
            }
            const bool written = ffmpeg_.write(frame.data(), frame.size() * sizeof(std::uint32_t));
            std::lock_guard lock(mutex_);
            if (!written) {
                error_ = "ffmpeg stopped reading frames (its messages are above)";
                failed_ = true;
                changed_.notify_all();
                return;
            }
            ++written_;
        }
    }
    // Lets the writer send what is pending, then joins it.
    void stopWriter()
    {
        if (!writer_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            changed_.notify_all();
        }
        writer_.join();
    }

    Platform::ChildProcess ffmpeg_; // written by the writer thread only, until it is joined
    std::size_t frameWords_;
    FrameRange range_;
    std::int64_t taken_ = 0; // main thread

    mutable std::mutex mutex_; // guards everything below
    std::condition_variable changed_;
    std::vector<std::uint32_t> spare_; // the frame waiting for the writer
    bool pending_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    std::int64_t written_ = 0;
    std::string error_;
    std::jthread writer_; // last: joined before the members it uses go
};

std::string frameFileName(std::int64_t frame)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(frame));
    return name;
}

class PngSink final : public FrameSink {
public:
    PngSink(std::filesystem::path folder, int width, int height, FrameRange range)
        : folder_(std::move(folder)), width_(width), height_(height), range_(range)
    {}
    std::string error() const override { return error_; }
    bool wants(std::int64_t frame) const override { return frame >= range_.begin && frame < range_.end; }
    bool take(std::int64_t frame, std::span<const std::uint32_t> argb) override
    {
        const std::string path = (folder_ / frameFileName(frame)).string();
        const auto written = Gfx::writePng(path, width_, height_, argb);
        if (!written) {
            error_ = path + ": " + written.messages();
            return false;
        }
        return true;
    }
    bool finish() override { return error_.empty(); }

private:
    std::filesystem::path folder_;
    int width_, height_;
    FrameRange range_;
    std::string error_;
};

class StillSink final : public FrameSink {
public:
    StillSink(std::string file, int width, int height, std::int64_t frame)
        : file_(std::move(file)), width_(width), height_(height), frame_(frame)
    {}
    std::string error() const override { return error_; }
    bool wants(std::int64_t frame) const override { return frame == frame_; }
    bool take(std::int64_t, std::span<const std::uint32_t> argb) override
    {
        const auto written = Gfx::writePng(file_, width_, height_, argb);
        if (!written) error_ = file_ + ": " + written.messages();
        taken_ = bool(written);
        return taken_;
    }
    bool finish() override
    {
        if (!taken_ && error_.empty()) error_ = "the frame was not drawn";
        return error_.empty();
    }

private:
    std::string file_;
    int width_, height_;
    std::int64_t frame_;
    bool taken_ = false;
    std::string error_;
};

class ContactSheetSink final : public FrameSink {
public:
    ContactSheetSink(std::string file, int width, int height, FrameRate rate, FrameRange range)
        : file_(std::move(file)), width_(width), height_(height)
    {
        // Second s is shown by the first frame at or after it.
        for (std::int64_t s = 0;; ++s) {
            const std::int64_t frame = firstFrameAtOrAfter(s * microsecondsPerSecond, rate);
            if (frame >= range.end) break;
            if (frame >= range.begin) frames_.push_back(frame);
        }
        const int count = int(frames_.size());
        const int columns = std::max(1, std::min(count, contactSheetColumns));
        const int rows = std::max(1, (count + columns - 1) / columns);
        sheetWidth_ = columns * thumbnailWidth;
        sheetHeight_ = rows * thumbnailHeight;
        sheet_.assign(std::size_t(sheetWidth_) * std::size_t(sheetHeight_), 0xFF000000u);
    }
    std::string error() const override { return error_; }
    bool wants(std::int64_t frame) const override { return std::binary_search(frames_.begin(), frames_.end(), frame); }
    bool take(std::int64_t frame, std::span<const std::uint32_t> argb) override
    {
        const auto at = std::lower_bound(frames_.begin(), frames_.end(), frame);
        assert(at != frames_.end() && *at == frame);
        const int index = int(at - frames_.begin());
        const int x0 = (index % contactSheetColumns) * thumbnailWidth;
        const int y0 = (index / contactSheetColumns) * thumbnailHeight;
        const std::vector<std::uint32_t> thumb = scalePicture(argb, width_, height_, thumbnailWidth, thumbnailHeight);
        for (int y = 0; y < thumbnailHeight; ++y)
            std::copy_n(thumb.begin() + std::ptrdiff_t(y) * thumbnailWidth, thumbnailWidth,
                        sheet_.begin() + std::ptrdiff_t(y0 + y) * sheetWidth_ + x0);
        ++taken_;
        return true;
    }
    bool finish() override
    {
        if (frames_.empty()) {
            error_ = "the range holds no whole second";
            return false;
        }
        const auto written = Gfx::writePng(file_, sheetWidth_, sheetHeight_, sheet_);
        if (!written) error_ = file_ + ": " + written.messages();
        return error_.empty();
    }

private:
    std::string file_;
    int width_, height_;
    std::vector<std::int64_t> frames_; // ascending
    int sheetWidth_ = 0, sheetHeight_ = 0;
    std::vector<std::uint32_t> sheet_;
    int taken_ = 0;
    std::string error_;
};

} // namespace

std::vector<std::uint32_t> scalePicture(std::span<const std::uint32_t> argb, int width, int height, int toWidth,
                                        int toHeight)
{
    assert(argb.size() == std::size_t(width) * std::size_t(height) && toWidth > 0 && toHeight > 0);
    std::vector<std::uint32_t> out(std::size_t(toWidth) * std::size_t(toHeight));
    for (int ty = 0; ty < toHeight; ++ty) {
        const int y0 = int(std::int64_t(ty) * height / toHeight);
        const int y1 = std::max(y0 + 1, int(std::int64_t(ty + 1) * height / toHeight));
        for (int tx = 0; tx < toWidth; ++tx) {
            const int x0 = int(std::int64_t(tx) * width / toWidth);
            const int x1 = std::max(x0 + 1, int(std::int64_t(tx + 1) * width / toWidth));
            std::uint64_t sum[4] = {};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) {
                    const std::uint32_t p = argb[std::size_t(y) * std::size_t(width) + std::size_t(x)];
                    for (int c = 0; c < 4; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
                }
            const std::uint64_t n = std::uint64_t(y1 - y0) * std::uint64_t(x1 - x0);
            std::uint32_t q = 0;
            for (int c = 0; c < 4; ++c) q |= std::uint32_t((sum[c] + n / 2) / n) << (8 * c);
            out[std::size_t(ty) * std::size_t(toWidth) + std::size_t(tx)] = q;
        }
    }
    return out;
}

std::vector<std::string> ffmpegArguments(const std::string& output, int width, int height, FrameRate rate,
                                         FrameRange range, const std::string& soundtrack)
{
    const std::string rateText = std::to_string(rate.num) + "/" + std::to_string(rate.den);
    std::vector<std::string> a = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                  // Frames: raw, one after another, nothing in between.
                                  "-f", "rawvideo", "-pix_fmt", "bgra", "-s",
                                  std::to_string(width) + "x" + std::to_string(height), "-r", rateText, "-i", "-"};
    if (!soundtrack.empty()) {
        // Input options: the cut starts at the first frame's time and lasts as
        // long as the frames do, both from the frame numbers.
        a.insert(a.end(), {"-ss", framesAsSeconds(range.begin, rate), "-t", framesAsSeconds(range.count(), rate), "-i",
                           soundtrack, "-map", "0:v", "-map", "1:a", "-c:a", "aac", "-b:a", "192k"});
    }
    // 4:2:0 chroma needs even sides; an odd one gets a copied edge line.
    if (width % 2 != 0 || height % 2 != 0) a.insert(a.end(), {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2"});
    // The encoder shares the processor with a software renderer: "superfast"
    // costs about 6.5 ms of a core per 640 x 480 frame of the demo against
    // "veryfast"'s 9, for a file about 40 % larger at the same quality factor.
    a.insert(a.end(), {"-c:v", "libx264", "-preset", "superfast", "-crf", "20", "-pix_fmt", "yuv420p", "-movflags",
                       "+faststart", output});
    return a;
}

std::unique_ptr<FrameSink> makeProcessSink(const std::vector<std::string>& arguments, int width, int height,
                                           FrameRange range, std::string& error)
{
    auto sink = std::make_unique<VideoSink>(arguments, width, height, range);
    if (!sink->started()) {
        error = sink->error();
        return nullptr;
    }
    return sink;
}

std::unique_ptr<FrameSink> makeVideoSink(const std::string& output, int width, int height, FrameRate rate,
                                         FrameRange range, const std::string& soundtrack, std::string& error)
{
    auto sink =
        makeProcessSink(ffmpegArguments(output, width, height, rate, range, soundtrack), width, height, range, error);
    if (!sink) error += " (the ffmpeg program is needed for video; --png writes frames without it)";
    return sink;
}

std::unique_ptr<FrameSink> makePngSink(const std::string& folder, int width, int height, FrameRange range,
                                       std::string& error)
{
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (failure) {
        error = folder + ": " + failure.message();
        return nullptr;
    }
    return std::make_unique<PngSink>(folder, width, height, range);
}

std::unique_ptr<FrameSink> makeStillSink(const std::string& file, int width, int height, FrameRange range)
{
    return std::make_unique<StillSink>(file, width, height, range.begin);
}

std::unique_ptr<FrameSink> makeContactSheetSink(const std::string& file, int width, int height, FrameRate rate,
                                                FrameRange range)
{
    return std::make_unique<ContactSheetSink>(file, width, height, rate, range);
}

} // namespace ORV::Capture
