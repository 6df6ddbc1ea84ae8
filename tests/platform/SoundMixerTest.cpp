// The sound layer's mixing core, driven block by block without a device:
// channels read from their rings and add, the output is clamped, the DSP chain
// runs in priority order on every block and what it returns goes out, a dry
// ring plays silence, an ended source frees its channel, and mixing allocates
// nothing. Also the resampler, which the decoder thread runs before the rings.
#include "platform/sound/detail/Mixer.h"
#include "platform/sound/detail/Resampler.h"

#include "tests/support/AllocationWatch.h"
#include "tests/support/AudioSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ORV::Sound::Detail {
namespace {

using Frames = std::vector<float>; // interleaved stereo

Frames mixFrames(Mixer& mixer, std::size_t frames)
{
    Frames out(frames * 2, 123.0f); // anything the mixer does not write shows
    mixer.mix(out.data(), frames);
    return out;
}

void feed(Source& source, const Frames& frames)
{
    ASSERT_EQ(source.ring.write(frames.data(), frames.size() / 2), frames.size() / 2);
}

Frames ramp(std::size_t frames, float start, float step)
{
    Frames out(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        out[i * 2] = start + step * static_cast<float>(i);
        out[i * 2 + 1] = -(start + step * static_cast<float>(i));
    }
    return out;
}

TEST(SoundMixer, AStreamMixesToItsOwnSamplesAndTwoChannelsAdd)
{
    Mixer mixer(4, 16);
    Source a(64), b(64);
    const Frames rampA = ramp(16, 0.0f, 0.01f);
    const Frames rampB = ramp(16, 0.25f, -0.02f);
    feed(a, rampA);
    feed(b, rampB);

    ASSERT_EQ(mixer.attachFree(&a), 0);
    EXPECT_EQ(mixFrames(mixer, 8), Frames(rampA.begin(), rampA.begin() + 16));

    ASSERT_EQ(mixer.attachFree(&b), 1);
    const Frames both = mixFrames(mixer, 8);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(both[i], rampA[16 + i] + rampB[i]) << i;
}

TEST(SoundMixer, OutputIsClampedAndNaNBecomesSilence)
{
    Mixer mixer(2, 8);
    Source a(8), b(8);
    feed(a, {0.75f, -0.75f, 0.5f, -0.5f, 2.0f, -3.0f, 1.0f, -1.0f});
    feed(b, {0.75f, -0.75f, 0.25f, -0.25f, 0.0f, 0.0f, 0.0f, 0.0f});
    mixer.attachFree(&a);
    mixer.attachFree(&b);
    EXPECT_EQ(mixFrames(mixer, 4), (Frames{1.0f, -1.0f, 0.75f, -0.75f, 1.0f, -1.0f, 1.0f, -1.0f}));

    // Whatever a unit leaves in the block is made safe for the device.
    static Frames poisoned;
    poisoned = {NAN, INFINITY, -INFINITY, 0.5f};
    DspUnit* unit = mixer.addUnit([](float*, float*, int32_t, void*) { return poisoned.data(); }, 0, nullptr);
    unit->active = true;
    EXPECT_EQ(mixFrames(mixer, 2), (Frames{0.0f, 1.0f, -1.0f, 0.5f}));
}

// Records each call of the units it is user data for, and returns a block of
// its own that marks which unit ran last.
struct Probe {
    struct Call {
        std::string unit;
        float* first;
        float* current;
        int32_t length;
        float firstValue; // first value of firstBuffer as the unit saw it
    };
    std::vector<Call>* calls;
    std::string name;
    Frames own = Frames(64 * 2);

    static float* run(float* first, float* current, int32_t length, void* user)
    {
        auto* probe = static_cast<Probe*>(user);
        probe->calls->push_back({probe->name, first, current, length, first[0]});
        // Its output: the block it got, plus one on every value.
        for (int32_t i = 0; i < length * 2; ++i) probe->own[static_cast<std::size_t>(i)] = current[i] + 1.0f / 16;
        return probe->own.data();
    }
};

TEST(SoundMixer, DspChainRunsInPriorityOrderOnEveryBlockAndItsResultGoesOut)
{
    Mixer mixer(1, 16);
    Source source(64);
    feed(source, ramp(40, 0.0f, 0.001f));
    mixer.attachFree(&source);

    std::vector<Probe::Call> calls;
    Probe late{&calls, "late"}, early{&calls, "early"}, middle{&calls, "middle"}, same{&calls, "same"};
    // Made out of order; equal priorities keep the order they were made in.
    mixer.addUnit(Probe::run, 300, &late)->active = true;
    mixer.addUnit(Probe::run, 100, &early)->active = true;
    mixer.addUnit(Probe::run, 200, &middle)->active = true;
    mixer.addUnit(Probe::run, 200, &same)->active = true;
    EXPECT_EQ(mixer.unitCount(), 4u);

    // 40 frames in blocks of at most 16: three blocks, each through the chain.
    const Frames out = mixFrames(mixer, 40);
    ASSERT_EQ(calls.size(), 12u);
    const std::vector<int32_t> lengths{16, 16, 8};
    for (std::size_t block = 0; block < 3; ++block) {
        const Probe::Call* c = &calls[block * 4];
        EXPECT_EQ(c[0].unit, "early");
        EXPECT_EQ(c[1].unit, "middle");
        EXPECT_EQ(c[2].unit, "same");
        EXPECT_EQ(c[3].unit, "late");
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(c[i].length, lengths[block]);
            EXPECT_EQ(c[i].first, c[0].first) << "every unit sees the block as mixed";
            EXPECT_FLOAT_EQ(c[i].firstValue, 0.001f * 16 * block);
        }
        EXPECT_NE(c[0].current, c[0].first) << "the first unit works on a copy of the mixed block";
        EXPECT_EQ(c[1].current, early.own.data());
        EXPECT_EQ(c[2].current, middle.own.data());
        EXPECT_EQ(c[3].current, same.own.data());
    }
    // The last unit's block is what went out: four sixteenths over the mix.
    for (std::size_t i = 0; i < 40; ++i) EXPECT_NEAR(out[i * 2], 0.001f * i + 0.25f, 1e-6f) << i;
}

TEST(SoundMixer, AnInactiveUnitIsSkipped)
{
    Mixer mixer(1, 8);
    std::vector<Probe::Call> calls;
    Probe first{&calls, "first"}, second{&calls, "second"};
    DspUnit* a = mixer.addUnit(Probe::run, 1, &first);
    DspUnit* b = mixer.addUnit(Probe::run, 2, &second);

    EXPECT_EQ(mixFrames(mixer, 8), Frames(16, 0.0f)) << "no unit is active at first";
    EXPECT_TRUE(calls.empty());

    b->active = true;
    EXPECT_EQ(mixFrames(mixer, 8), Frames(16, 1.0f / 16));
    a->active = true;
    b->active = false;
    EXPECT_EQ(mixFrames(mixer, 8), Frames(16, 1.0f / 16));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].unit, "second");
    EXPECT_EQ(calls[1].unit, "first");
}

TEST(SoundMixer, UnderrunPlaysSilenceAndAnEndedSourceFreesItsChannel)
{
    Mixer mixer(2, 8);
    Source source(16);
    const Frames music = ramp(12, 0.5f, 0.01f);
    auto part = [&](std::size_t from, std::size_t count) {
        Frames frames(music.begin() + static_cast<std::ptrdiff_t>(from * 2),
                      music.begin() + static_cast<std::ptrdiff_t>((from + count) * 2));
        frames.resize(16, 0.0f);
        return frames;
    };
    feed(source, Frames(music.begin(), music.begin() + 6));
    ASSERT_TRUE(mixer.attach(1, &source));

    // Three frames are not a block: the channel waits for the decoder rather
    // than start with a gap.
    EXPECT_EQ(mixFrames(mixer, 8), Frames(16, 0.0f));
    EXPECT_TRUE(mixer.playing(1));
    EXPECT_EQ(source.ring.readable(), 3u);

    // Once started, it plays what is there and silence for what is missing,
    // and keeps its channel.
    feed(source, Frames(music.begin() + 6, music.begin() + 20));
    EXPECT_EQ(mixFrames(mixer, 8), part(0, 8));
    EXPECT_EQ(mixFrames(mixer, 8), part(8, 2));
    EXPECT_TRUE(mixer.playing(1));
    EXPECT_EQ(mixFrames(mixer, 8), Frames(16, 0.0f));
    EXPECT_TRUE(mixer.playing(1));

    // The last frames, then the end: they play and the channel is free.
    feed(source, Frames(music.begin() + 20, music.end()));
    source.ended = true;
    EXPECT_EQ(mixFrames(mixer, 8), part(10, 2));
    EXPECT_FALSE(mixer.playing(1));
    EXPECT_EQ(mixFrames(mixer, 8), Frames(16, 0.0f));

    // A source that has ended starts whatever it holds, and keeps its channel
    // until it is all out.
    Source longer(32);
    feed(longer, ramp(12, 0.0f, 0.0f));
    longer.ended = true;
    ASSERT_EQ(mixer.attachFree(&longer), 0);
    mixFrames(mixer, 8);
    EXPECT_TRUE(mixer.playing(0));
    mixFrames(mixer, 8);
    EXPECT_FALSE(mixer.playing(0));
    Source tiny(4);
    feed(tiny, ramp(1, 0.25f, 0.0f));
    tiny.ended = true;
    ASSERT_EQ(mixer.attachFree(&tiny), 0);
    Frames one(16, 0.0f);
    one[0] = 0.25f;
    one[1] = -0.25f;
    EXPECT_EQ(mixFrames(mixer, 8), one);
    EXPECT_FALSE(mixer.playing(0));
}

TEST(SoundMixer, ChannelsAreTakenOnlyWhenFree)
{
    Mixer mixer(2, 8);
    Source a(8), b(8), c(8);
    EXPECT_TRUE(mixer.attach(1, &a));
    EXPECT_FALSE(mixer.attach(1, &b)) << "channel 1 is taken";
    EXPECT_FALSE(mixer.attach(2, &b));
    EXPECT_FALSE(mixer.attach(-1, &b));
    EXPECT_EQ(mixer.attachFree(&b), 0);
    EXPECT_EQ(mixer.attachFree(&c), -1);
    EXPECT_FALSE(mixer.playing(2));
    EXPECT_FALSE(mixer.playing(-1));
}

TEST(SoundMixer, RingKeepsOrderAcrossItsEndAndRefusesWhatDoesNotFit)
{
    FrameRing ring(5);
    const Frames in = ramp(12, 1.0f, 1.0f);
    Frames out(24, 0.0f);
    EXPECT_EQ(ring.write(in.data(), 4), 4u);
    EXPECT_EQ(ring.read(out.data(), 3), 3u);
    EXPECT_EQ(ring.write(in.data() + 8, 8), 4u) << "one frame was left, four fit";
    EXPECT_EQ(ring.writable(), 0u);
    EXPECT_EQ(ring.readable(), 5u);
    EXPECT_EQ(ring.read(out.data() + 6, 10), 5u);
    EXPECT_EQ(out, (Frames{1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6, 7, -7, 8, -8, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ring.read(out.data(), 1), 0u);
}

float* passOn(float*, float* current, int32_t, void*)
{
    return current;
}

TEST(SoundMixer, MixingAllocatesNothing)
{
    Mixer mixer(4, 256);
    Source a(4096), b(4096);
    feed(a, ramp(1000, 0.0f, 0.0001f));
    feed(b, ramp(300, 0.0f, 0.0001f));
    b.ended = true;
    mixer.attachFree(&a);
    mixer.attachFree(&b);
    mixer.addUnit(passOn, 0, nullptr)->active = true;
    Frames out(2 * 1000);

    ORV::Test::AllocationWatch watch;
    mixer.mix(out.data(), 1000);
    EXPECT_EQ(watch.allocations(), 0u);
}

TEST(SoundResampler, KeepsASinesFrequencyUpAndDown)
{
    // One second of a 1 kHz sine (and 1.5 kHz on the right) from rates around
    // the mixing rate: the output lasts one second at 44.1 kHz and crosses
    // zero as often.
    for (int rate : {22050, 32000, 48000, 96000}) {
        const Frames in = ORV::Test::sines(static_cast<std::size_t>(rate), rate, {1000.0, 1500.0});
        Resampler resampler(static_cast<std::uint32_t>(rate), 44100);
        Frames out;
        resampler.process(in.data(), in.size() / 2, out);
        EXPECT_NEAR(static_cast<double>(out.size() / 2), 44100.0, 2.0) << rate;
        EXPECT_NEAR(static_cast<double>(ORV::Test::zeroCrossings(out, 2, 0)), 2000.0, 2.0) << rate;
        EXPECT_NEAR(static_cast<double>(ORV::Test::zeroCrossings(out, 2, 1)), 3000.0, 2.0) << rate;
        // Clean: close to the ideal sine at the output rate, no steps.
        const Frames ideal = ORV::Test::sines(out.size() / 2, 44100, {1000.0, 1500.0});
        double worst = 0.0;
        for (std::size_t i = 0; i < out.size(); ++i) worst = std::max(worst, double{std::fabs(out[i] - ideal[i])});
        EXPECT_LT(worst, 0.02) << rate;
    }
}

TEST(SoundResampler, OutputDoesNotDependOnHowTheInputIsSplit)
{
    const Frames in = ORV::Test::sines(5000, 32000, {440.0, 880.0});
    Resampler whole(32000, 44100), pieces(32000, 44100);
    Frames a, b;
    whole.process(in.data(), 5000, a);
    for (std::size_t at = 0, size = 1; at < 5000; at += size, size = size * 3 % 997 + 1)
        pieces.process(in.data() + at * 2, std::min<std::size_t>(size, 5000 - at), b);
    EXPECT_EQ(a, b);

    Resampler same(44100, 44100);
    Frames copy;
    same.process(in.data(), 5000, copy);
    EXPECT_EQ(copy, in) << "equal rates pass frames through";
}

} // namespace
} // namespace ORV::Sound::Detail
