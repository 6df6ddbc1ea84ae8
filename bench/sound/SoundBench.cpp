// What the sound layer costs the processor: streams played through the layer
// on SDL's dummy audio driver (which takes blocks in real time, as a sound
// card would), the process's processor time measured over a stretch of
// playing and over an equal stretch with the device open but nothing playing.
// The difference is the decoder thread's and the mixer's work; it is printed
// per second of audio, per stream and for all of them.
//
//   bench_sound [SECONDS]     seconds of each stretch, 5 by default
#include "content/audio/OggWriter.h"
#include "platform/ProcessStats.h"
#include "platform/cpu/Clock.h"
#include "platform/sound/Sound.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace ORV;

// A chord with some movement, so that the encoder has real work to keep.
std::vector<float> music(std::size_t frames, int rate, int channels)
{
    std::vector<float> samples(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (int c = 0; c < channels; ++c) {
            double v = 0.0;
            for (double f : {220.0, 277.2, 329.6, 440.0 + 3.0 * c})
                v += std::sin(2.0 * std::numbers::pi * f * t) * (0.5 + 0.5 * std::sin(t * (1.0 + c)));
            samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = static_cast<float>(v / 5);
        }
    }
    return samples;
}

double processorSecondsOver(double seconds)
{
    const double before = Platform::processCounters().processorSeconds;
    Platform::sleepMilliseconds(static_cast<std::uint32_t>(seconds * 1000));
    return Platform::processCounters().processorSeconds - before;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    if (!(seconds > 0 && seconds < 600)) {
        std::fprintf(stderr, "usage: bench_sound [SECONDS]\n");
        return 2;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    // The soundtrack's shape (44.1 kHz stereo), and streams that the decoder
    // resamples (48 kHz) or spreads and resamples (22.05 kHz mono).
    struct File {
        const char* name;
        int rate;
        int channels;
    };
    const std::vector<File> files{{"a.ogg", 44100, 2}, {"b.ogg", 44100, 2}, {"c.ogg", 48000, 2}, {"d.ogg", 22050, 1}};
    const auto dir =
        std::filesystem::temp_directory_path() / ("orv-sound-bench-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(dir);
    for (const File& file : files) {
        const std::size_t frames = static_cast<std::size_t>((seconds + 2) * file.rate);
        const std::vector<float> samples = music(frames, file.rate, file.channels);
        Content::OggAudio audio{samples.data(), frames, file.rate, file.channels, 0.5f};
        if (!Content::writeOggVorbis(dir / file.name, audio)) {
            std::fprintf(stderr, "bench_sound: cannot encode %s\n", file.name);
            return 1;
        }
    }

    Sound::initialise(44100, 4, 0);
    if (!Sound::deviceOpen()) {
        std::fprintf(stderr, "bench_sound: SDL's dummy audio driver did not open\n");
        return 1;
    }
    Sound::setDspUnitActive(
        Sound::createDspUnit([](float*, float* current, int32_t, void*) { return current; }, 500, nullptr), true);

    const double idle = processorSecondsOver(seconds);
    for (const File& file : files) Sound::playStream(-1, Sound::openStream((dir / file.name).c_str(), 0, 0, 0));
    const double busy = processorSecondsOver(seconds);
    std::filesystem::remove_all(dir);

    const double cost = busy - idle;
    const double streams = static_cast<double>(files.size());
    std::printf("sound layer, %zu streams (44.1 kHz stereo x2, 48 kHz stereo, 22.05 kHz mono) for %.1f s:\n",
                files.size(), seconds);
    std::printf("  processor time playing      %8.2f ms per second\n", busy / seconds * 1000);
    std::printf("  with nothing playing        %8.2f ms per second\n", idle / seconds * 1000);
    std::printf("  decode + mix, all streams   %8.2f ms per second of audio (%.2f %% of one core)\n",
                cost / seconds * 1000, cost / seconds * 100);
    std::printf("  decode + mix, per stream    %8.2f ms per second of audio\n", cost / seconds / streams * 1000);
    return 0;
}
