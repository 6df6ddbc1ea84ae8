// The capture's frame arithmetic (which frames a range holds, where the
// soundtrack is cut), its command line and its pipe to the encoder, without
// rendering.
#include "tests/support/TempDir.h"
#include "tools/orv-capture/Options.h"
#include "tools/orv-capture/Sinks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace ORV::Capture;

namespace {

ParsedOptions parse(std::vector<std::string> arguments)
{
    return parseOptions(arguments);
}

bool follows(const std::vector<std::string>& arguments, const std::string& option, const std::string& value)
{
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == option && arguments[i + 1] == value) return true;
    return false;
}

} // namespace

TEST(CaptureFrames, RangesHoldDurationTimesRateFramesAtWholeAndFractionalRates)
{
    Options o;
    EXPECT_EQ(framesOf(o).begin, 0);
    EXPECT_EQ(framesOf(o).count(), 148 * 60); // the whole demo at the default rate

    o.rate = {30000, 1001};
    // 148 s x 29.97 = 4435.56: frames 0 .. 4435, the last one at 147.98 s.
    EXPECT_EQ(framesOf(o).count(), 4436);
    o.fromUs = 200'000; // 0.2 s x 29.97 = 5.994: the first frame at or after is 6
    o.toUs = 700'000; // 20.979: frame 20 is the last before 0.7 s
    EXPECT_EQ(framesOf(o).begin, 6);
    EXPECT_EQ(framesOf(o).end, 21);

    // Adjacent ranges share no frame and leave none out.
    Options a, b;
    a.rate = b.rate = {30000, 1001};
    a.toUs = b.fromUs = 1'001'000; // exactly frame 30
    EXPECT_EQ(framesOf(a).end, 30);
    EXPECT_EQ(framesOf(b).begin, 30);
}

TEST(CaptureFrames, StillsTakeTheNearestFrameAndSoundCutsComeFromFrameNumbers)
{
    EXPECT_EQ(nearestFrame(400'000, {30, 1}), 12);
    EXPECT_EQ(nearestFrame(416'000, {30, 1}), 12); // 12.48
    EXPECT_EQ(nearestFrame(417'000, {30, 1}), 13); // 12.51

    EXPECT_EQ(framesAsSeconds(0, {60, 1}), "0.000000000");
    EXPECT_EQ(framesAsSeconds(90, {60, 1}), "1.500000000");
    EXPECT_EQ(framesAsSeconds(4436, {30000, 1001}), "148.014533333"); // 4436 x 1001 / 30000
    // Frame n's time is n / rate from n alone: no accumulated error at the end.
    EXPECT_DOUBLE_EQ(frameSeconds(8879, {60, 1}), 8879.0 / 60.0);

    const FrameRange range{6, 21};
    const auto args = ffmpegArguments("out.mp4", 160, 120, {30000, 1001}, range, "music.ogg");
    EXPECT_TRUE(follows(args, "-r", "30000/1001"));
    EXPECT_TRUE(follows(args, "-s", "160x120"));
    EXPECT_TRUE(follows(args, "-ss", "0.200200000")); // 6 x 1001 / 30000
    EXPECT_TRUE(follows(args, "-t", "0.500500000")); // 15 frames
    EXPECT_TRUE(follows(args, "-i", "music.ogg"));
    EXPECT_EQ(args.back(), "out.mp4");
    // Odd sides are padded for 4:2:0; even ones are passed through untouched.
    EXPECT_TRUE(
        follows(ffmpegArguments("o.mp4", 161, 120, {60, 1}, range, ""), "-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2"));
    const auto silent = ffmpegArguments("o.mp4", 160, 120, {60, 1}, range, "");
    EXPECT_EQ(std::find(silent.begin(), silent.end(), "-vf"), silent.end());
    EXPECT_EQ(std::find(silent.begin(), silent.end(), "-ss"), silent.end());
}

TEST(CaptureOptions, ParsesWhatAUserTypes)
{
    const ParsedOptions p =
        parse({"--fps", "30000/1001", "--size", "320x240", "--from", "1.5", "--to", "3", "clip.mp4"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.mode, Mode::Video);
    EXPECT_EQ(p.options.rate.num, 30000);
    EXPECT_EQ(p.options.rate.den, 1001);
    EXPECT_EQ(p.options.width, 320);
    EXPECT_EQ(p.options.height, 240);
    EXPECT_EQ(p.options.fromUs, 1'500'000);
    EXPECT_EQ(p.options.toUs, 3'000'000);
    EXPECT_EQ(p.options.output, "clip.mp4");

    EXPECT_EQ(parse({}).options.output, "marrowlight.mp4");
    const ParsedOptions still = parse({"--still", "12.25", "s.png"});
    EXPECT_EQ(still.options.mode, Mode::Still);
    EXPECT_EQ(still.options.stillUs, 12'250'000);
    EXPECT_EQ(still.options.output, "s.png");
    EXPECT_EQ(parse({"--png", "frames"}).options.mode, Mode::Png);
    EXPECT_EQ(parse({"--contact-sheet", "c.png"}).options.mode, Mode::ContactSheet);
}

TEST(CaptureOptions, RejectsWhatCannotBeCaptured)
{
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--fps", "0"},
                                               {"--fps", "30/0"},
                                               {"--fps", "1001/30000"},
                                               {"--fps", "2000"},
                                               {"--fps", "-5"},
                                               {"--fps", "30/"},
                                               {"--fps"},
                                               {"--size", "640"},
                                               {"--size", "8x8"},
                                               {"--size", "99999x480"},
                                               {"--size", "0x0"},
                                               {"--from", "-1"},
                                               {"--from", "1e3"},
                                               {"--to", "148.5"},
                                               {"--to", "1.1234567"},
                                               {"--from", "5", "--to", "5"},
                                               {"--still", "148", "x"},
                                               {"--still", "3"},
                                               {"--bogus"},
                                               {"a.mp4", "b.mp4"},
                                               {"--from", "99999999999999999999"}}) {
        std::string joined;
        for (const auto& word : bad) joined += word + " ";
        EXPECT_NE(parse(bad).error, "") << joined;
    }
}

TEST(CaptureContactSheet, ThumbnailsAverageTheirSourcePixels)
{
    // 4 x 2 to 2 x 1: each target pixel is the mean of a 2 x 2 block.
    const std::vector<std::uint32_t> picture = {0xFF000000, 0xFF0000FF, 0x00FFFFFF, 0x00FFFFFF,
                                                0xFF000000, 0xFF0000FF, 0x00FFFFFF, 0x00FFFFFF};
    const auto scaled = scalePicture(picture, 4, 2, 2, 1);
    ASSERT_EQ(scaled.size(), 2u);
    EXPECT_EQ(scaled[0], 0xFF000080u); // blue 255 / 2 rounded up
    EXPECT_EQ(scaled[1], 0x00FFFFFFu);
    // Enlarging repeats pixels.
    EXPECT_EQ(scalePicture(std::vector<std::uint32_t>{0x11223344}, 1, 1, 3, 2),
              std::vector<std::uint32_t>(6, 0x11223344));
}

TEST(CaptureProcessSink, FramesReachTheProgramWholeAndInOrderAndAStoppedReaderFails)
{
    ORV::Test::TempDir folder;
    const std::string out = (folder.path() / "frames.raw").string();
    constexpr int width = 64, height = 32, frames = 12;
    const FrameRange range{5, 5 + frames};
    std::string error;
    {
        auto sink = makeProcessSink({"sh", "-c", "cat > '" + out + "'"}, width, height, range, error);
        ASSERT_TRUE(sink) << error;
        std::vector<std::uint32_t> frame(std::size_t(width) * height);
        for (int n = 0; n < frames; ++n) {
            // Each frame carries its number in every word, and its word index.
            for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = std::uint32_t(n) << 24 | std::uint32_t(i);
            ASSERT_TRUE(sink->take(range.begin + n, frame)) << sink->error();
        }
        ASSERT_TRUE(sink->finish()) << sink->error();
    }
    const std::string bytes = ORV::Test::readFile(out);
    ASSERT_EQ(bytes.size(), std::size_t(width) * height * 4 * frames);
    for (int n = 0; n < frames; ++n)
        for (std::size_t i : {std::size_t(0), std::size_t(width) * height - 1}) {
            std::uint32_t word;
            std::memcpy(&word, bytes.data() + (std::size_t(n) * width * height + i) * 4, 4);
            EXPECT_EQ(word, std::uint32_t(n) << 24 | std::uint32_t(i)) << "frame " << n << ", word " << i;
        }

    // A program that stops reading after a little: a later take fails with a
    // message (never a hang), and so does finish.
    auto sink = makeProcessSink({"sh", "-c", "head -c 100 > /dev/null"}, width, height, {0, 1000}, error);
    ASSERT_TRUE(sink) << error;
    std::vector<std::uint32_t> frame(std::size_t(width) * height, 0xFF00FF00u);
    bool failed = false;
    for (int n = 0; n < 1000 && !failed; ++n) failed = !sink->take(n, frame);
    EXPECT_TRUE(failed);
    EXPECT_NE(sink->error().find("stopped reading"), std::string::npos) << sink->error();
    EXPECT_FALSE(sink->finish());

    EXPECT_FALSE(makeProcessSink({"no-such-program-here"}, width, height, range, error));
    EXPECT_FALSE(error.empty());
}
