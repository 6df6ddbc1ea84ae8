// The sound layer as the demo uses it, through its five operations: without a
// device it answers and stays silent; on SDL's dummy audio driver (which
// consumes blocks in real time) a stream made here plays through the DSP
// chain to its end and frees its channel. The layer is process-wide and set
// up once, and CTest runs each case in a process of its own, so every case
// chooses its audio driver before the layer starts.
#include "platform/sound/Sound.h"

#include "content/audio/OggWriter.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace ORV::Sound {
namespace {

using Frames = std::vector<float>;

std::filesystem::path writeSines(const ORV::Test::TempDir& dir, const char* name, std::size_t frames, int rate)
{
    const Frames samples = ORV::Test::sines(frames, rate, {440.0, 660.0});
    Content::OggAudio audio;
    audio.samples = samples.data();
    audio.frames = frames;
    audio.rate = rate;
    const auto file = dir.path() / name;
    EXPECT_TRUE(Content::writeOggVorbis(file, audio));
    return file;
}

TEST(SoundDevice, WithoutADeviceEveryOperationAnswers)
{
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "no-such-driver", 1), 0);
    ORV::Test::TempDir dir;
    const auto file = writeSines(dir, "a.ogg", 4410, 44100);

    // Before the layer is set up nothing is made.
    EXPECT_EQ(createDspUnit([](float*, float* c, int32_t, void*) { return c; }, 0, nullptr), nullptr);
    EXPECT_EQ(openStream(file.c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(playStream(-1, nullptr), -1);

    EXPECT_FALSE(initialise(1000, 4, 0)) << "a mixing rate out of range";
    EXPECT_FALSE(initialise(44100, 4, 0)) << "only the first call acts";
    EXPECT_EQ(dspUnitCount(), 0u);
}

TEST(SoundDevice, ASilentLayerStillOpensAndPlaysStreams)
{
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "no-such-driver", 1), 0);
    ORV::Test::TempDir dir;
    const auto file = writeSines(dir, "a.ogg", 4410, 44100);

    EXPECT_TRUE(initialise(44100, 2, 0));
    EXPECT_FALSE(deviceOpen());
    DspUnit* unit = createDspUnit([](float*, float* c, int32_t, void*) { return c; }, 500, nullptr);
    EXPECT_NE(unit, nullptr);
    setDspUnitActive(unit, true);
    EXPECT_EQ(dspUnitCount(), 1u);

    EXPECT_EQ(openStream((dir.path() / "missing.ogg").c_str(), 0, 0, 0), nullptr);
    Stream* a = openStream(file.c_str(), 0, 0, 0);
    Stream* b = openStream(file.c_str(), 0, 0, 0);
    Stream* c = openStream(file.c_str(), 0, 0, 0);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(playStream(1, a), 1);
    EXPECT_EQ(playStream(-1, a), -1) << "a stream plays once";
    EXPECT_EQ(playStream(1, b), -1) << "channel 1 is taken";
    EXPECT_EQ(playStream(7, b), -1);
    EXPECT_EQ(playStream(-1, b), 0);
    EXPECT_EQ(playStream(-1, c), -1) << "both channels play";
    EXPECT_TRUE(channelPlaying(0) && channelPlaying(1));
    EXPECT_FALSE(channelPlaying(2));
    // Nothing mixes without a device, so they never end; the exit releases them.
}

// Switches a DSP unit on for a scope; switched off, it is not called again,
// so the object its user data points to may go after this.
struct ActiveUnit {
    explicit ActiveUnit(DspUnit* unit) : unit(unit) { setDspUnitActive(unit, true); }
    ~ActiveUnit() { setDspUnitActive(unit, false); }
    ActiveUnit(const ActiveUnit&) = delete;
    ActiveUnit& operator=(const ActiveUnit&) = delete;
    DspUnit* unit;
};

// Collects every block the DSP chain passes through it.
struct Recorder {
    std::mutex mutex;
    std::condition_variable more;
    Frames frames;
    std::size_t blocks = 0;

    static float* record(float*, float* current, int32_t length, void* user)
    {
        auto* self = static_cast<Recorder*>(user);
        {
            std::lock_guard lock(self->mutex);
            self->frames.insert(self->frames.end(), current, current + length * 2);
            ++self->blocks;
        }
        self->more.notify_all();
        return current;
    }

    // Waits until `done` holds (checked under the lock at each block).
    template <typename Done> bool waitFor(Done done)
    {
        std::unique_lock lock(mutex);
        return more.wait_for(lock, std::chrono::seconds(30), [&] { return done(*this); });
    }
};

TEST(SoundDevice, AStreamPlaysToItsEndOnTheDummyDriver)
{
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    ORV::Test::TempDir dir;
    // Eight tenths of a second at 48 kHz: resampled on its way to the mix.
    const auto file = writeSines(dir, "a.ogg", 38400, 48000);

    ASSERT_TRUE(initialise(44100, 4, 0));
    ASSERT_TRUE(deviceOpen());
    Recorder recorder;
    recorder.frames.reserve(44100 * 2 * 10);
    const ActiveUnit unit(createDspUnit(Recorder::record, 100, &recorder));

    Stream* stream = openStream(file.c_str(), 0, 0, 0);
    ASSERT_NE(stream, nullptr);
    const int32_t channel = playStream(-1, stream);
    ASSERT_EQ(channel, 0);

    // The channel frees itself at the end; then one more block, which is silent.
    std::size_t blocksAtEnd = 0;
    ASSERT_TRUE(recorder.waitFor([&](Recorder& r) {
        if (blocksAtEnd == 0 && !channelPlaying(channel)) blocksAtEnd = r.blocks;
        return blocksAtEnd != 0 && r.blocks > blocksAtEnd + 1;
    })) << "the stream did not end";

    std::lock_guard lock(recorder.mutex);
    const Frames& all = recorder.frames;
    std::size_t first = 0, last = all.size();
    while (first < all.size() && all[first] == 0.0f && all[first + 1] == 0.0f) first += 2;
    while (last > first && all[last - 2] == 0.0f && all[last - 1] == 0.0f) last -= 2;
    const Frames sound(all.begin() + static_cast<std::ptrdiff_t>(first),
                       all.begin() + static_cast<std::ptrdiff_t>(last));
    // What played is the file's 0.8 s at 44.1 kHz (give or take a frame of
    // silence at either end that the codec left near zero), 440 Hz on the left,
    // 660 Hz on the right, at its level, with no gap (an underrun would add
    // silence and so length).
    EXPECT_NEAR(static_cast<double>(sound.size() / 2), 35280.0, 40.0);
    EXPECT_NEAR(static_cast<double>(ORV::Test::zeroCrossings(sound, 2, 0)), 704.0, 4.0);
    EXPECT_NEAR(static_cast<double>(ORV::Test::zeroCrossings(sound, 2, 1)), 1056.0, 4.0);
    EXPECT_NEAR(ORV::Test::rms(sound, 2, 0), 0.5 / std::sqrt(2.0), 0.02);
    EXPECT_NEAR(ORV::Test::rms(sound, 2, 1), 0.5 / std::sqrt(2.0), 0.02);
    EXPECT_TRUE(std::all_of(all.end() - 2048, all.end(), [](float v) { return v == 0.0f; })) << "silence after it";
}

// A unit that holds the mixer inside its first call until the test lets it go.
struct HeldUnit {
    std::mutex mutex;
    std::condition_variable changed;
    bool inside = false; // the mixer is in the call
    bool release = false; // the test lets the call return
    bool offReturned = false; // setDspUnitActive(false) has returned
    bool overlapped = false; // it returned while the call was still running
    bool finished = false; // the held call has returned
    int calls = 0;

    static float* run(float*, float* current, int32_t, void* user)
    {
        auto* self = static_cast<HeldUnit*>(user);
        std::unique_lock lock(self->mutex);
        if (++self->calls == 1) {
            self->inside = true;
            self->changed.notify_all();
            self->changed.wait(lock, [&] { return self->release; });
            self->overlapped = self->offReturned;
            self->finished = true;
            self->changed.notify_all();
        }
        return current;
    }
};

TEST(SoundDevice, SwitchingAUnitOffWaitsForTheBlockItIsIn)
{
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    ASSERT_TRUE(initialise(44100, 4, 0));
    ASSERT_TRUE(deviceOpen());
    HeldUnit held;
    DspUnit* unit = createDspUnit(HeldUnit::run, 0, &held);
    setDspUnitActive(unit, true);
    {
        std::unique_lock lock(held.mutex);
        ASSERT_TRUE(held.changed.wait_for(lock, std::chrono::seconds(30), [&] { return held.inside; }));
    }
    std::thread off([&] {
        setDspUnitActive(unit, false);
        std::lock_guard lock(held.mutex);
        held.offReturned = true;
        held.changed.notify_all();
    });
    {
        // Long enough for a switch that does not wait to come back.
        std::unique_lock lock(held.mutex);
        EXPECT_FALSE(held.changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return held.offReturned; }));
        held.release = true;
        held.changed.notify_all();
    }
    off.join();
    std::unique_lock lock(held.mutex);
    // Returns at once when the switch waited; else the call ends now.
    ASSERT_TRUE(held.changed.wait_for(lock, std::chrono::seconds(30), [&] { return held.finished; }));
    EXPECT_FALSE(held.overlapped);
    EXPECT_EQ(held.calls, 1) << "not called after it was switched off";
}

} // namespace
} // namespace ORV::Sound
