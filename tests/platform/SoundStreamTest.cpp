// Ogg Vorbis streams read by the decoder into a ring as the mixer would take
// them (decoded, at the mixing rate, stereo), and files that are not what
// they claim: they do not open, or end early, and never crash or hang. The
// files are encoded here, at run time, by the content's Ogg Vorbis writer.
#include "platform/sound/detail/StreamDecoder.h"

#include "content/audio/OggWriter.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace ORV::Sound::Detail {
namespace {

using Frames = std::vector<float>;

std::string encode(const Frames& samples, int rate, int channels)
{
    Content::OggAudio audio;
    audio.samples = samples.data();
    audio.frames = samples.size() / static_cast<std::size_t>(channels);
    audio.rate = rate;
    audio.channels = channels;
    return Content::encodeOggVorbis(audio);
}

// Runs the decoder to its end as the decoder thread and the mixer would,
// taking the ring's frames whenever it fills. Stops after `limit` rounds so
// that a decoder that never ends fails the test instead of hanging it.
Frames drain(StreamDecoder& decoder, Source& source, int limit = 10000)
{
    Frames all, block(source.ring.capacity() * 2);
    for (int round = 0; round < limit; ++round) {
        const bool more = decoder.fill(source);
        const std::size_t got = source.ring.read(block.data(), source.ring.capacity());
        all.insert(all.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got * 2));
        if (!more) {
            EXPECT_TRUE(source.ended);
            const std::size_t rest = source.ring.read(block.data(), source.ring.capacity());
            all.insert(all.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(rest * 2));
            return all;
        }
    }
    ADD_FAILURE() << "the stream did not end";
    return all;
}

TEST(SoundStream, StereoAtTheMixingRateDecodesToWhatWasEncoded)
{
    ORV::Test::TempDir dir;
    const Frames signal = ORV::Test::sines(44100, 44100, {440.0, 660.0});
    const auto file = dir.write("music.ogg", encode(signal, 44100, 2));

    auto decoder = StreamDecoder::open(file.c_str(), 44100);
    ASSERT_TRUE(decoder);
    Source source(4096); // much shorter than the file: the decoder waits for room
    const Frames decoded = drain(*decoder, source);
    EXPECT_TRUE(decoder->ended());

    ASSERT_EQ(decoded.size(), signal.size()) << "every frame, no more";
    double error = 0.0;
    for (std::size_t i = 0; i < signal.size(); ++i) error += (decoded[i] - signal[i]) * (decoded[i] - signal[i]);
    EXPECT_LT(std::sqrt(error / static_cast<double>(signal.size())), 0.02) << "lossy, but the same sound";
    EXPECT_NEAR(static_cast<double>(ORV::Test::zeroCrossings(decoded, 2, 0)), 880.0, 4.0);
    EXPECT_NEAR(static_cast<double>(ORV::Test::zeroCrossings(decoded, 2, 1)), 1320.0, 4.0);
}

TEST(SoundStream, MonoAtAnotherRateIsSpreadAndResampled)
{
    ORV::Test::TempDir dir;
    const auto file = dir.write("mono.ogg", encode(ORV::Test::sines(22050, 22050, {500.0}), 22050, 1));

    auto decoder = StreamDecoder::open(file.c_str(), 44100);
    ASSERT_TRUE(decoder);
    Source source(8192);
    const Frames decoded = drain(*decoder, source);

    EXPECT_NEAR(static_cast<double>(decoded.size() / 2), 44100.0, 2.0) << "one second at the mixing rate";
    for (std::size_t i = 0; i < decoded.size(); i += 2) ASSERT_EQ(decoded[i], decoded[i + 1]) << "both sides";
    EXPECT_NEAR(static_cast<double>(ORV::Test::zeroCrossings(decoded, 2, 0)), 1000.0, 4.0);
    EXPECT_NEAR(ORV::Test::rms(decoded, 2, 0), 0.5 / std::sqrt(2.0), 0.02);
}

TEST(SoundStream, FilesThatAreNotOggVorbisDoNotOpen)
{
    ORV::Test::TempDir dir;
    std::mt19937 random(7);
    std::string noise(20000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const std::string good = encode(ORV::Test::sines(4410, 44100, {440.0, 440.0}), 44100, 2);

    EXPECT_FALSE(StreamDecoder::open(nullptr, 44100));
    EXPECT_FALSE(StreamDecoder::open((dir.path() / "missing.ogg").c_str(), 44100));
    EXPECT_FALSE(StreamDecoder::open(dir.path().c_str(), 44100)) << "a folder";
    EXPECT_FALSE(StreamDecoder::open(dir.write("empty.ogg", "").c_str(), 44100));
    EXPECT_FALSE(StreamDecoder::open(dir.write("noise.ogg", noise).c_str(), 44100));
    EXPECT_FALSE(StreamDecoder::open(dir.write("page.ogg", "OggS" + noise).c_str(), 44100));
    EXPECT_FALSE(StreamDecoder::open(dir.write("headers.ogg", good.substr(0, 40)).c_str(), 44100));
    // A rate the layer does not play, though Vorbis can carry it.
    const std::string slow = encode(ORV::Test::sines(3000, 3000, {100.0}), 3000, 1);
    if (!slow.empty()) {
        EXPECT_FALSE(StreamDecoder::open(dir.write("slow.ogg", slow).c_str(), 44100));
    }
}

TEST(SoundStream, DamagedFilesEndEarlyOrDoNotOpen)
{
    ORV::Test::TempDir dir;
    const Frames signal = ORV::Test::sines(3 * 44100, 44100, {440.0, 550.0});
    const std::string good = encode(signal, 44100, 2);
    std::mt19937 random(11);
    int opened = 0;
    std::size_t longest = 0; // frames of the longest cut file

    // Cut anywhere: no open, or fewer frames than the whole. Scribbled over
    // past the headers: it ends, and never with more than the whole (a hole
    // may be skipped). Garbage values are clamped by the mixer, not here.
    for (std::size_t cut = 0; cut < good.size(); cut += good.size() / 23 + 1) {
        const auto file = dir.write("cut.ogg", good.substr(0, cut));
        auto decoder = StreamDecoder::open(file.c_str(), 44100);
        if (!decoder) continue;
        ++opened;
        Source source(4096);
        const std::size_t frames = drain(*decoder, source).size() / 2;
        EXPECT_LT(frames, signal.size() / 2) << "cut at " << cut;
        longest = std::max(longest, frames);
    }
    for (int trial = 0; trial < 12; ++trial) {
        std::string damaged = good;
        const std::size_t from = good.size() / 4 + random() % (good.size() / 2);
        for (std::size_t i = from; i < std::min(good.size(), from + 1 + random() % 400); ++i)
            damaged[i] = static_cast<char>(random());
        const auto file = dir.write("damaged.ogg", damaged);
        auto decoder = StreamDecoder::open(file.c_str(), 44100);
        if (!decoder) continue;
        Source source(4096);
        EXPECT_LE(drain(*decoder, source).size(), signal.size() + 4096 * 2) << "trial " << trial;
    }
    EXPECT_GT(opened, 12) << "most cuts lie past the headers";
    EXPECT_GT(longest, signal.size() / 2 / 2) << "the pages before a cut play";
}

TEST(SoundStream, TheWriterIsDeterministic)
{
    const Frames signal = ORV::Test::sines(10000, 44100, {440.0, 660.0});
    const std::string a = encode(signal, 44100, 2);
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, encode(signal, 44100, 2));
    EXPECT_EQ(a.substr(0, 4), "OggS");
    Content::OggAudio none;
    none.samples = signal.data();
    none.frames = 100;
    none.channels = 0;
    EXPECT_TRUE(Content::encodeOggVorbis(none).empty()) << "no channels";
}

} // namespace
} // namespace ORV::Sound::Detail
