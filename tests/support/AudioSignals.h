// Test signals for the sound tests: interleaved sines to encode or feed in,
// and the measures the tests judge decoded or mixed audio by.
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace ORV::Test {

// `frames` frames of `channels` interleaved values; channel c is a sine of
// frequencies[c] Hz at the given amplitude, starting at phase 0.
inline std::vector<float> sines(std::size_t frames, int rate, const std::vector<double>& frequencies,
                                float amplitude = 0.5f)
{
    const std::size_t channels = frequencies.size();
    std::vector<float> samples(frames * channels);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < channels; ++c)
            samples[i * channels + c] =
                amplitude
                * static_cast<float>(std::sin(2.0 * std::numbers::pi * frequencies[c] * static_cast<double>(i) / rate));
    return samples;
}

// Sign changes of one channel of interleaved samples, from frame `from` on.
// A sine of f Hz over s seconds has about 2 f s.
inline std::size_t zeroCrossings(const std::vector<float>& samples, std::size_t channels, std::size_t channel,
                                 std::size_t from = 0)
{
    std::size_t crossings = 0;
    for (std::size_t i = from + 1; i < samples.size() / channels; ++i)
        if ((samples[(i - 1) * channels + channel] < 0.0f) != (samples[i * channels + channel] < 0.0f)) ++crossings;
    return crossings;
}

// Root mean square of one channel of interleaved samples.
inline double rms(const std::vector<float>& samples, std::size_t channels, std::size_t channel)
{
    const std::size_t frames = samples.size() / channels;
    if (frames == 0) return 0.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < frames; ++i)
        sum += double{samples[i * channels + channel]} * samples[i * channels + channel];
    return std::sqrt(sum / static_cast<double>(frames));
}

} // namespace ORV::Test
