// The demo's soundtrack object over the sound layer. The layer, and whether a
// Music has set it up, are process-wide; CTest runs each case in a process of
// its own, and each case chooses its audio driver before the first Music.
#include "music/Music.h"
#include "platform/ProcessStats.h"

#include "content/audio/OggWriter.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <random>
#include <vector>

namespace ORV::Demo {
namespace {

using Frames = std::vector<float>;

std::string encodeSines(std::size_t frames)
{
    const Frames samples = ORV::Test::sines(frames, 44100, {440.0, 660.0});
    Content::OggAudio audio;
    audio.samples = samples.data();
    audio.frames = frames;
    return Content::encodeOggVorbis(audio);
}

// Switches a DSP unit on for a scope; switched off, it is not called again,
// so the object its user data points to may go after this.
struct ActiveUnit {
    explicit ActiveUnit(Sound::DspUnit* unit) : unit(unit) { Sound::setDspUnitActive(unit, true); }
    ~ActiveUnit() { Sound::setDspUnitActive(unit, false); }
    ActiveUnit(const ActiveUnit&) = delete;
    ActiveUnit& operator=(const ActiveUnit&) = delete;
    Sound::DspUnit* unit;
};

// Runs a DSP unit on either side of the Music's pass-through unit (priority
// 500): `before` hands on its own copy of the block, `after` checks that the
// block it receives is that very buffer, unchanged.
struct PassThroughWatch {
    std::mutex mutex;
    std::condition_variable more;
    Frames handed = Frames(4096 * 2); // what `before` handed on
    std::size_t blocks = 0; // blocks seen by both
    std::size_t audible = 0; // of those, blocks with sound in them
    std::size_t altered = 0; // blocks that came out of the pass-through changed
    std::size_t frames = 0; // frames of the blocks with sound

    static float* before(float*, float* current, int32_t length, void* user)
    {
        auto* self = static_cast<PassThroughWatch*>(user);
        std::copy(current, current + length * 2, self->handed.begin());
        return self->handed.data();
    }

    static float* after(float*, float* current, int32_t length, void* user)
    {
        auto* self = static_cast<PassThroughWatch*>(user);
        {
            std::lock_guard lock(self->mutex);
            ++self->blocks;
            const bool same = current == self->handed.data();
            if (!same) ++self->altered;
            bool sound = false;
            for (int32_t i = 0; i < length * 2; ++i) sound = sound || current[i] != 0.0f;
            if (sound) ++self->audible, self->frames += static_cast<std::size_t>(length);
        }
        self->more.notify_all();
        return current;
    }

    template <typename Done> bool waitFor(Done done)
    {
        std::unique_lock lock(mutex);
        return more.wait_for(lock, std::chrono::seconds(30), [&] { return done(*this); });
    }
};

TEST(Music, AMissingFileLeavesNoStreamAndNothingIsPrinted)
{
    // ALSA on a machine without a sound card (as on CI) fails quietly; with a
    // card, it opens. Either way nothing is printed.
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "alsa", 1), 0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Music music;
    music.play("no-such-file.ogg");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(music.stream(), nullptr);
    EXPECT_EQ(music.channel(), 0);
    // The program goes on, and a later play with a real file works.
    ORV::Test::TempDir dir;
    music.play(dir.write("music.ogg", encodeSines(4410)).c_str());
    EXPECT_NE(music.stream(), nullptr);
    EXPECT_EQ(music.channel(), 0);
}

TEST(Music, OnlyTheFirstMusicSetsTheLayerUp)
{
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "no-such-driver", 1), 0);
    ORV::Test::TempDir dir;
    const auto file = dir.write("music.ogg", encodeSines(4410));
    auto first = std::make_unique<Music>();
    EXPECT_EQ(Sound::dspUnitCount(), 1u);
    first->play(file.c_str());
    EXPECT_EQ(first->channel(), 0);
    auto second = std::make_unique<Music>();
    EXPECT_EQ(Sound::dspUnitCount(), 1u) << "no second pass-through unit";
    EXPECT_EQ(second->stream(), nullptr);
    EXPECT_EQ(second->channel(), 0);
    second->play(file.c_str());
    EXPECT_EQ(second->channel(), 1) << "both play at once";
    // Each stops with its Music, and its channel is free again.
    first.reset();
    EXPECT_FALSE(Sound::channelPlaying(0));
    EXPECT_TRUE(Sound::channelPlaying(1));
    second.reset();
    EXPECT_FALSE(Sound::channelPlaying(1));
}

// A run of the demo ends with its music: the stream stops, and the memory
// and file it held go, so that runs in one process do not pile streams up.
TEST(Music, TheStreamStopsAndIsFreedWithItsMusic)
{
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    ORV::Test::TempDir dir;
    const auto file = dir.write("music.ogg", encodeSines(10 * 44100)); // longer than the test
    const Music first; // sets the layer up; plays nothing
    ASSERT_TRUE(Sound::deviceOpen());
    PassThroughWatch watch;
    const ActiveUnit after(Sound::createDspUnit(PassThroughWatch::after, 600, &watch));
    std::uint64_t heapAfterFirst = 0;
    for (int run = 0; run < 4; ++run) {
        {
            Music music;
            music.play(file.c_str());
            ASSERT_EQ(music.channel(), 0) << "the channel of the run before is free";
            ASSERT_TRUE(watch.waitFor([](PassThroughWatch& w) { return w.audible > 0; }));
        }
        EXPECT_FALSE(Sound::channelPlaying(0));
        // The mixer has let go: no block mixed after the close has sound in it.
        std::size_t blocks = 0, audible = 0;
        {
            std::lock_guard lock(watch.mutex);
            blocks = watch.blocks;
            audible = watch.audible;
        }
        ASSERT_TRUE(watch.waitFor([&](PassThroughWatch& w) { return w.blocks > blocks + 3; }));
        {
            std::lock_guard lock(watch.mutex);
            EXPECT_EQ(watch.audible, audible) << "silence after the stream is closed";
            watch.audible = 0;
        }
        // A stream holds a decoder and half a second of frames (hundreds of
        // kilobytes); closed ones must not add up.
        if (run == 0)
            heapAfterFirst = Platform::heapBytesInUse();
        else
            EXPECT_LT(Platform::heapBytesInUse(), heapAfterFirst + (64u << 10)) << "run " << run;
    }
}

TEST(Music, PlaysThroughThePassThroughUnitOnTheDummyDriver)
{
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    ORV::Test::TempDir dir;
    const auto file = dir.write("music.ogg", encodeSines(22050));
    Music music;
    ASSERT_TRUE(Sound::deviceOpen());
    PassThroughWatch watch;
    const ActiveUnit before(Sound::createDspUnit(PassThroughWatch::before, 400, &watch));
    const ActiveUnit after(Sound::createDspUnit(PassThroughWatch::after, 600, &watch));

    music.play(file.c_str());
    ASSERT_NE(music.stream(), nullptr);
    EXPECT_EQ(music.channel(), 0);
    // Half a second of music, then the channel is free again.
    ASSERT_TRUE(watch.waitFor([&](PassThroughWatch& w) { return w.audible > 0 && !Sound::channelPlaying(0); }));
    std::lock_guard lock(watch.mutex);
    EXPECT_EQ(watch.altered, 0u) << "the pass-through hands on the block it gets";
    EXPECT_GE(watch.frames, 22050u);
    EXPECT_LE(watch.frames, 22050u + 2048u);
}

TEST(Music, DamagedFilesGiveNoStreamOrEndEarly)
{
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    ORV::Test::TempDir dir;
    const std::string good = encodeSines(4 * 44100); // four seconds, a few Ogg pages
    std::mt19937 random(3);
    std::string noise(good.size(), '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const auto noiseFile = dir.write("noise.ogg", noise);
    // The headers take the first 4 kB or so; this keeps about half the sound
    // (whole pages of it play, the cut one does not).
    const auto cutFile = dir.write("cut.ogg", good.substr(0, good.size() * 3 / 5));

    Music music;
    PassThroughWatch watch;
    const ActiveUnit after(Sound::createDspUnit(PassThroughWatch::after, 600, &watch));
    music.play(noiseFile.c_str());
    EXPECT_EQ(music.stream(), nullptr);
    EXPECT_EQ(music.channel(), 0);

    // What is left plays, and the channel is free well before four seconds.
    Music cut;
    cut.play(cutFile.c_str());
    ASSERT_NE(cut.stream(), nullptr);
    EXPECT_EQ(cut.channel(), 0);
    ASSERT_TRUE(watch.waitFor([&](PassThroughWatch&) { return !Sound::channelPlaying(0); }));
    std::lock_guard lock(watch.mutex);
    EXPECT_LT(watch.frames, 4 * 44100u * 4 / 5);
}

} // namespace
} // namespace ORV::Demo
