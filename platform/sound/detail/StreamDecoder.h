// One Ogg Vorbis file read through vorbisfile into a Source's ring: decoded as
// float, spread or cut to stereo (mono to both sides; of more channels the
// first two, Vorbis's front left and right, or left and centre for three) and
// resampled to the mixing rate. Used by the decoder thread only, once open.
//
// The file is not trusted: a file vorbisfile does not take as Ogg Vorbis, or
// whose rate lies outside what the layer plays, does not open; damage further
// in ends the stream there (short gaps vorbisfile reports as holes are
// skipped, a run of them ends it). Every buffer is bounded by a fixed number
// of frames per read, whatever the file says.
#pragma once

#include "platform/sound/detail/Mixer.h"

#include <cstdint>
#include <memory>

namespace ORV::Sound::Detail {

class StreamDecoder {
public:
    // Null when the file cannot be opened or is not a stream the layer plays.
    static std::unique_ptr<StreamDecoder> open(const char* fileName, std::uint32_t mixRate);
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // Decodes into the source's ring until it is full or the file ends; at the
    // end (or on damage) it sets source.ended after the last frame and closes
    // the file. Returns whether more is to come.
    bool fill(Source& source);
    bool ended() const;

    // The input rates a stream may have, in Hz.
    static constexpr std::uint32_t MinRate = 4000;
    static constexpr std::uint32_t MaxRate = 384000;

private:
    struct Impl;
    explicit StreamDecoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace ORV::Sound::Detail
