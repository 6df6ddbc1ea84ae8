#include "platform/sound/detail/Mixer.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace ORV::Sound::Detail {

FrameRing::FrameRing(std::size_t capacityFrames)
    : data_(std::make_unique<float[]>(capacityFrames * BlockChannels)), capacity_(capacityFrames)
{
    assert(capacityFrames > 0);
}

std::size_t FrameRing::readable() const
{
    return static_cast<std::size_t>(written_.load(std::memory_order_acquire) - read_.load(std::memory_order_relaxed));
}

std::size_t FrameRing::writable() const
{
    return capacity_
           - static_cast<std::size_t>(written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire));
}

std::size_t FrameRing::write(const float* frames, std::size_t count)
{
    const std::uint64_t at = written_.load(std::memory_order_relaxed);
    count = std::min(count, writable());
    const std::size_t start = static_cast<std::size_t>(at % capacity_);
    const std::size_t first = std::min(count, capacity_ - start);
    std::memcpy(data_.get() + start * BlockChannels, frames, first * BlockChannels * sizeof(float));
    std::memcpy(data_.get(), frames + first * BlockChannels, (count - first) * BlockChannels * sizeof(float));
    written_.store(at + count, std::memory_order_release);
    return count;
}

std::size_t FrameRing::read(float* frames, std::size_t count)
{
    const std::uint64_t at = read_.load(std::memory_order_relaxed);
    count = std::min(count, readable());
    const std::size_t start = static_cast<std::size_t>(at % capacity_);
    const std::size_t first = std::min(count, capacity_ - start);
    std::memcpy(frames, data_.get() + start * BlockChannels, first * BlockChannels * sizeof(float));
    std::memcpy(frames + first * BlockChannels, data_.get(), (count - first) * BlockChannels * sizeof(float));
    read_.store(at + count, std::memory_order_release);
    return count;
}

Mixer::Mixer(int channels, std::size_t blockFrames)
    : blockFrames_(blockFrames), channels_(static_cast<std::size_t>(channels)),
      started_(static_cast<std::size_t>(channels), nullptr),
      mixed_(std::make_unique<float[]>(blockFrames * BlockChannels)),
      current_(std::make_unique<float[]>(blockFrames * BlockChannels)),
      channel_(std::make_unique<float[]>(blockFrames * BlockChannels))
{
    assert(channels > 0 && blockFrames > 0);
}

bool Mixer::attach(int channel, Source* source)
{
    assert(source);
    if (channel < 0 || channel >= channelCount()) return false;
    Source* expected = nullptr;
    return channels_[static_cast<std::size_t>(channel)].compare_exchange_strong(expected, source,
                                                                                std::memory_order_acq_rel);
}

int Mixer::attachFree(Source* source)
{
    for (int channel = 0; channel < channelCount(); ++channel)
        if (attach(channel, source)) return channel;
    return -1;
}

void Mixer::detach(const Source* source)
{
    for (std::atomic<Source*>& channel : channels_) {
        Source* expected = const_cast<Source*>(source);
        channel.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
    }
}

bool Mixer::playing(int channel) const
{
    if (channel < 0 || channel >= channelCount()) return false;
    return channels_[static_cast<std::size_t>(channel)].load(std::memory_order_acquire) != nullptr;
}

DspUnit* Mixer::addUnit(DspCallback callback, int32_t priority, void* userData)
{
    assert(callback);
    auto unit = std::make_unique<DspUnit>();
    unit->callback = callback;
    unit->priority = priority;
    unit->userData = userData;
    units_.push_back(std::move(unit));

    auto chain = std::make_unique<Chain>();
    for (const auto& each : units_) chain->units.push_back(each.get());
    // Stable: equal priorities keep the order the units were made in.
    std::stable_sort(chain->units.begin(), chain->units.end(),
                     [](const DspUnit* a, const DspUnit* b) { return a->priority < b->priority; });
    chain_.store(chain.get(), std::memory_order_release);
    chains_.push_back(std::move(chain));
    return units_.back().get();
}

void Mixer::mix(float* out, std::size_t frames)
{
    while (frames > 0) {
        const std::size_t block = std::min(frames, blockFrames_);
        mixBlock(out, block);
        out += block * BlockChannels;
        frames -= block;
    }
}

void Mixer::mixBlock(float* out, std::size_t frames)
{
    const std::size_t values = frames * BlockChannels;
    float* mixed = mixed_.get();
    std::fill_n(mixed, values, 0.0f);
    for (std::size_t c = 0; c < channels_.size(); ++c) {
        Source* source = channels_[c].load(std::memory_order_acquire);
        if (!source) {
            // Detached while playing: a later source made at the same
            // address must wait for its first block like any new one.
            started_[c] = nullptr;
            continue;
        }
        // Read the end flag before the ring: frames written before it was set
        // are then all visible, so an empty ring really is the end.
        const bool ended = source->ended.load(std::memory_order_acquire);
        if (started_[c] != source) {
            // A new stream starts once a whole block is there: starting on
            // the decoder's first few frames would put a gap after them.
            if (!ended && source->ring.readable() < frames) continue;
            started_[c] = source;
        }
        const std::size_t got = source->ring.read(channel_.get(), frames);
        for (std::size_t i = 0; i < got * BlockChannels; ++i) mixed[i] += channel_[i];
        if (ended && source->ring.readable() == 0) {
            started_[c] = nullptr;
            channels_[c].store(nullptr, std::memory_order_release);
        }
    }

    std::memcpy(current_.get(), mixed, values * sizeof(float));
    float* current = current_.get();
    if (const Chain* chain = chain_.load(std::memory_order_acquire)) {
        for (DspUnit* unit : chain->units) {
            if (!unit->active.load(std::memory_order_relaxed)) continue;
            float* next = unit->callback(mixed, current, static_cast<int32_t>(frames), unit->userData);
            assert(next && "a DSP unit returns the block that goes on");
            if (next) current = next;
        }
    }

    for (std::size_t i = 0; i < values; ++i) {
        const float v = current[i];
        out[i] = v >= -1.0f ? (v <= 1.0f ? v : 1.0f) : (v < -1.0f ? -1.0f : 0.0f);
    }
}

} // namespace ORV::Sound::Detail
