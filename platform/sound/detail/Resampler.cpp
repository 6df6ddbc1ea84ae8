#include "platform/sound/detail/Resampler.h"

#include <cassert>

namespace ORV::Sound::Detail {

Resampler::Resampler(std::uint32_t inputRate, std::uint32_t outputRate) : outputRate_(outputRate)
{
    assert(outputRate > 0);
    setInputRate(inputRate);
}

void Resampler::setInputRate(std::uint32_t inputRate)
{
    assert(inputRate > 0);
    step_ = (std::uint64_t{inputRate} << 32) / outputRate_;
}

void Resampler::process(const float* input, std::size_t count, std::vector<float>& output)
{
    if (count == 0) return;
    if (passThrough() && position_ == One) {
        output.insert(output.end(), input, input + count * 2);
        previous_[0] = input[(count - 1) * 2];
        previous_[1] = input[(count - 1) * 2 + 1];
        return;
    }
    // Frame i of the input sits at position (i + 1) * One; previous_ at 0.
    const std::uint64_t end = std::uint64_t{count} * One;
    while (position_ <= end) {
        const std::size_t index = static_cast<std::size_t>(position_ >> 32); // the frame at or after the position
        const float t = static_cast<float>(position_ & (One - 1)) * (1.0f / 4294967296.0f);
        const float* before = index == 0 ? previous_ : input + (index - 1) * 2;
        if (t == 0.0f) {
            output.push_back(before[0]);
            output.push_back(before[1]);
        } else {
            const float* after = input + index * 2;
            output.push_back(before[0] + (after[0] - before[0]) * t);
            output.push_back(before[1] + (after[1] - before[1]) * t);
        }
        position_ += step_;
    }
    position_ -= end;
    previous_[0] = input[(count - 1) * 2];
    previous_[1] = input[(count - 1) * 2 + 1];
}

} // namespace ORV::Sound::Detail
