// Converts interleaved stereo frames from a file's sample rate to the mixing
// rate by linear interpolation between neighbouring input frames: cheap, free
// of clicks at chunk boundaries, and good enough for music that was mastered
// near the mixing rate (it does not filter, so downsampling folds whatever lies
// above the new Nyquist frequency back down).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ORV::Sound::Detail {

class Resampler {
public:
    Resampler(std::uint32_t inputRate, std::uint32_t outputRate);

    // Changes the input rate from the next frame on (a chained file's next
    // link); the position between frames carries over.
    void setInputRate(std::uint32_t inputRate);
    bool passThrough() const { return step_ == One; }

    // Appends the frames that `count` more input frames yield. Output lags the
    // input by less than one input frame; state carries over between calls,
    // so splitting the input anywhere gives the same output.
    void process(const float* input, std::size_t count, std::vector<float>& output);

private:
    static constexpr std::uint64_t One = std::uint64_t{1} << 32; // one input frame in 32.32 fixed point

    std::uint32_t outputRate_;
    std::uint64_t step_ = One; // input frames per output frame
    // Position of the next output frame, counted from the frame before the
    // current input (previous_): One is the first input frame itself.
    std::uint64_t position_ = One;
    float previous_[2] = {0.0f, 0.0f};
};

} // namespace ORV::Sound::Detail
