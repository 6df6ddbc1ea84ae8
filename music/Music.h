// The demo's soundtrack: one Ogg Vorbis file streamed through the sound layer.
// The first Music of the process sets the layer up (44.1 kHz, four channels)
// with a pass-through DSP unit on the output; later ones share it. Failures
// are silent: no device, or a missing or unreadable file, means no music, and
// the demo runs on.
#pragma once

#include "platform/sound/Sound.h"

#include <cstdint>

namespace ORV::Demo {

class Music {
public:
    Music();
    virtual ~Music(); // closes the stream
    Music(const Music&) = delete;
    Music& operator=(const Music&) = delete;

    // Opens the file by name, from the working directory (not through the
    // asset archives), and plays it on a free channel. On failure stream()
    // stays null and channel() 0, and nothing is printed. The music plays to
    // its end or until this object goes (or plays again), which stops it and
    // closes the file.
    void play(const char* fileName);

    Sound::Stream* stream() const { return stream_; }
    int32_t channel() const { return channel_; }

private:
    Sound::Stream* stream_ = nullptr;
    int32_t channel_ = 0;
};

} // namespace ORV::Demo
