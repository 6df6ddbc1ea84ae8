// The mixing core of the sound layer, free of SDL so that tests can drive it
// block by block: channels that read stereo frames from ring buffers, their
// sum, the chain of DSP units over it, and the clamped output block.
//
// Threads: a Source's ring has one producer (the decoder thread) and one
// consumer (the mixer thread). Channels are attached from the main thread and
// released by the mixer thread, both lock-free. DSP units are made and
// switched on the main thread; the mixer thread reads an immutable snapshot of
// the chain, so mix() takes no lock and allocates nothing.
#pragma once

#include "platform/sound/Sound.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace ORV::Sound {

struct DspUnit {
    DspCallback callback = nullptr;
    int32_t priority = 0;
    void* userData = nullptr;
    std::atomic<bool> active{false};
};

namespace Detail {

// A single-producer single-consumer ring of interleaved stereo frames. The
// counters only grow (64 bits do not wrap in any run), so full and empty are
// never confused.
class FrameRing {
public:
    explicit FrameRing(std::size_t capacityFrames);
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    std::size_t capacity() const { return capacity_; }
    // Frames the consumer can read now (consumer side).
    std::size_t readable() const;
    // Frames the producer can write now (producer side).
    std::size_t writable() const;
    // Copies up to `frames` frames in or out; returns how many were copied.
    std::size_t write(const float* frames, std::size_t count);
    std::size_t read(float* frames, std::size_t count);

private:
    std::unique_ptr<float[]> data_;
    std::size_t capacity_;
    alignas(64) std::atomic<std::uint64_t> written_{0};
    alignas(64) std::atomic<std::uint64_t> read_{0};
};

// What a channel plays: the ring its producer fills, and the producer's word
// that no frame will follow those already in it.
struct Source {
    explicit Source(std::size_t capacityFrames) : ring(capacityFrames) {}
    FrameRing ring;
    std::atomic<bool> ended{false}; // set by the producer after its last write
};

class Mixer {
public:
    // `channels` sources can play at once; blocks handed to the DSP units are
    // at most blockFrames long (mix splits longer requests).
    Mixer(int channels, std::size_t blockFrames);
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    int channelCount() const { return static_cast<int>(channels_.size()); }
    std::size_t blockFrames() const { return blockFrames_; }

    // Puts a source on a free channel: the given one, or the lowest free one.
    // False / -1 when it is taken or out of range / none is free. The source
    // must outlive its time on the channel (see detach).
    bool attach(int channel, Source* source);
    int attachFree(Source* source);
    // Takes the source off every channel it is on. The mixer thread may still
    // be reading it in the block under way: wait that block out before the
    // source goes.
    void detach(const Source* source);
    bool playing(int channel) const;

    // Main thread only. Units are kept until the mixer goes.
    DspUnit* addUnit(DspCallback callback, int32_t priority, void* userData);
    std::size_t unitCount() const { return units_.size(); }

    // Mixer thread: fills `frames` interleaved stereo frames of `out` with the
    // playing channels' sum run through the active units in ascending
    // priority, block by block, clamped to [-1, 1] (NaN becomes 0). A newly
    // attached source starts once its ring holds a whole block (or it has
    // ended). A channel whose ring then runs dry plays silence for the
    // missing frames; once its source has ended and the ring is empty the
    // channel is released.
    void mix(float* out, std::size_t frames);

private:
    void mixBlock(float* out, std::size_t frames);

    // The units in running order; a new chain replaces the published one
    // whole. Earlier chains stay alive, since the mixer thread may still be
    // walking one (a handful of pointers per unit ever made).
    struct Chain {
        std::vector<DspUnit*> units;
    };

    std::size_t blockFrames_;
    std::vector<std::atomic<Source*>> channels_;
    std::vector<const Source*> started_; // mixer thread: the source each channel has begun to play
    std::vector<std::unique_ptr<DspUnit>> units_;
    std::vector<std::unique_ptr<Chain>> chains_;
    std::atomic<const Chain*> chain_{nullptr};
    std::unique_ptr<float[]> mixed_; // the channels' sum: each unit's firstBuffer
    std::unique_ptr<float[]> current_; // its copy, the first unit's currentBuffer
    std::unique_ptr<float[]> channel_; // one channel's frames as read
};

} // namespace Detail
} // namespace ORV::Sound
