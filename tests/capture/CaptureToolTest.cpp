// orv-capture run from the demo's folder, as the demo script runs it: the
// frames it writes (how many, which, the same on every run), a still against
// the same frame of a sequence, and videos measured with ffprobe. Small
// pictures and short ranges near the start, since every frame before a range
// is drawn too.
#include "tests/support/TempDir.h"
#include "tests/support/ToolRun.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

using ORV::Test::readFile;
using ORV::Test::TempDir;
namespace fs = std::filesystem;

namespace {

using ORV::Test::runCommand;
using ORV::Test::ToolRun;

// The tool from the demo's folder, with no sound device in play.
ToolRun capture(const std::string& arguments)
{
    return runCommand("cd '" ORV_DEMO_DIR "' && SDL_AUDIODRIVER=dummy " ORV_CAPTURE_PATH " --size 160x120 "
                      + arguments);
}

std::set<std::string> filesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// ffprobe's value of one field of one stream ("v:0", "a:0"), or NaN.
double probe(const fs::path& file, const std::string& stream, const std::string& field)
{
    const ToolRun run = runCommand("ffprobe -v error -count_frames -select_streams " + stream + " -show_entries stream="
                                   + field + " -of default=noprint_wrappers=1:nokey=1 '" + file.string() + "'");
    if (run.status != 0 || run.output.empty()) return std::nan("");
    return std::strtod(run.output.c_str(), nullptr);
}

} // namespace

TEST(CaptureTool, PngFramesAreTheRangeTimesTheRateAndTheSameOnEveryRun)
{
    TempDir out;
    // 0.2 s to 0.7 s at 29.97: frames 6 to 20.
    const std::string range = "--fps 30000/1001 --from 0.2 --to 0.7 --png ";
    const ToolRun first = capture(range + "'" + (out.path() / "a").string() + "'");
    ASSERT_EQ(first.status, 0) << first.output;
    const ToolRun second = capture(range + "'" + (out.path() / "b").string() + "'");
    ASSERT_EQ(second.status, 0) << second.output;

    const std::set<std::string> names = filesIn(out.path() / "a");
    ASSERT_EQ(names.size(), 15u);
    EXPECT_EQ(*names.begin(), "frame_000006.png");
    EXPECT_EQ(*names.rbegin(), "frame_000020.png");
    EXPECT_EQ(filesIn(out.path() / "b"), names);
    std::set<std::string> pictures;
    for (const std::string& name : names) {
        const std::string a = readFile(out.path() / "a" / name);
        EXPECT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, readFile(out.path() / "b" / name)) << name << " differs between two runs";
        pictures.insert(a);
    }
    // The demo moves: the frames are not all one picture.
    EXPECT_GT(pictures.size(), 1u);
}

TEST(CaptureTool, AStillIsTheFrameAtItsTimeInASequence)
{
    TempDir out;
    const ToolRun sequence = capture("--fps 30 --from 0.3 --to 0.5 --png '" + (out.path() / "seq").string() + "'");
    ASSERT_EQ(sequence.status, 0) << sequence.output;
    const ToolRun still = capture("--fps 30 --still 0.4 '" + (out.path() / "still.png").string() + "'");
    ASSERT_EQ(still.status, 0) << still.output;
    const std::string picture = readFile(out.path() / "still.png");
    ASSERT_FALSE(picture.empty());
    EXPECT_EQ(picture, readFile(out.path() / "seq" / "frame_000012.png"));
    EXPECT_NE(picture, readFile(out.path() / "seq" / "frame_000011.png"));
}

TEST(CaptureTool, VideosHoldEveryFrameAndSoundAsLongAsThePicture)
{
    TempDir out;
    struct Case {
        const char* rate;
        double fps;
        const char* range;
        int frames;
    };
    // 0.5 s to 1.5 s at 29.97: frames 15 to 44; at 24, frames 0 to 11.
    for (const Case c :
         {Case{"30000/1001", 30000.0 / 1001.0, "--from 0.5 --to 1.5", 30}, Case{"24", 24.0, "--to 0.5", 12}}) {
        const fs::path video = out.path() / (std::to_string(c.frames) + ".mp4");
        const ToolRun run = capture(std::string("--fps ") + c.rate + " " + c.range + " '" + video.string() + "'");
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(probe(video, "v:0", "nb_read_frames"), c.frames) << c.rate;
        const double pictureSeconds = probe(video, "v:0", "duration");
        const double soundSeconds = probe(video, "a:0", "duration");
        EXPECT_NEAR(pictureSeconds, c.frames / c.fps, 1e-3) << c.rate;
        EXPECT_NEAR(soundSeconds, pictureSeconds, 1.0 / c.fps) << c.rate;
    }
}

TEST(CaptureTool, AContactSheetHasAThumbnailForEverySecond)
{
    TempDir out;
    // 0 to 2.5 s: seconds 0, 1 and 2, one row of three 160 x 120 thumbnails.
    const ToolRun run = capture("--fps 10 --to 2.5 --contact-sheet '" + (out.path() / "sheet.png").string() + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string png = readFile(out.path() / "sheet.png");
    ASSERT_GE(png.size(), 24u);
    // IHDR: big-endian width and height at bytes 16 and 20.
    auto word = [&](std::size_t at) {
        return (unsigned(std::uint8_t(png[at])) << 24) | (unsigned(std::uint8_t(png[at + 1])) << 16)
               | (unsigned(std::uint8_t(png[at + 2])) << 8) | unsigned(std::uint8_t(png[at + 3]));
    };
    EXPECT_EQ(word(16), 480u);
    EXPECT_EQ(word(20), 120u);
}

TEST(CaptureTool, RefusesBadOptionsWithUsage)
{
    const ToolRun run = capture("--fps 0");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("--fps"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("usage"), std::string::npos) << run.output;
}

TEST(DemoWithoutDisplay, NamesTheCaptureCommand)
{
    // A driver that needs a display, and no display to give it.
    const ToolRun run = runCommand("cd '" ORV_DEMO_DIR "' && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 "
                                   "SDL_AUDIODRIVER=dummy " ORV_DEMO_PATH);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("./demo capture"), std::string::npos) << run.output;
}
