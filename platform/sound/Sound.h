// The sound layer: one music stream (or a few) decoded from Ogg Vorbis files,
// mixed and sent to the audio device, with a chain of DSP units that see every
// mixed block on its way out. Five operations, in the order the demo calls
// them: initialise, createDspUnit, setDspUnitActive, openStream, playStream.
//
// Threads: the operations are called from one thread (the main thread). A
// decoder thread of the layer reads the files into ring buffers; the device's
// mixer thread mixes what the rings hold and runs the DSP units. The layer is
// set up once per process and torn down by itself at exit (device closed, then
// the decoder thread joined, then the files closed). A stream lives until
// closeStream or exit, whichever comes first; a DSP unit until exit.
//
// No audio device (none in the machine, or SDL's audio cannot start) is not an
// error: the layer runs silently and every operation still answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ORV::Sound {

// Every block handed to a DSP unit is interleaved 32-bit float stereo (left,
// right) at the mixing rate; lengths count sample frames (one left and one
// right value each). Values are nominally in [-1, 1]; they are clamped only
// when the block goes to the device.
constexpr int BlockChannels = 2;

// A DSP unit, called on the mixer thread for every mixed block, after the
// playing channels have been mixed. firstBuffer holds the block as mixed,
// before any unit ran; currentBuffer the output of the previous unit (a copy
// of the mixed block for the first one). Both hold `length` frames and may be
// written. The unit returns the block that goes on to the next unit, in
// ascending priority, and from the last one to the device: usually
// currentBuffer, or firstBuffer, or a buffer of its own that stays valid until
// its next call. It must not block or allocate.
using DspCallback = float* (*)(float* firstBuffer, float* currentBuffer, int32_t length, void* userData);

struct DspUnit; // owned by the layer, alive until exit
struct Stream; // owned by the layer, alive until closeStream or exit

// Sets the layer up: the mixing rate in Hz and the number of channels (streams
// that can play at once). Flags are reserved and must be 0. Returns whether
// the layer is usable; true also when it runs silently for want of a device,
// false for arguments out of range. Only the first call acts: later ones
// return its result and change nothing.
bool initialise(int32_t mixRate, int32_t channels, uint32_t flags);

// A new DSP unit, inactive until setDspUnitActive. Units of equal priority run
// in the order they were made. Null before initialise or without a callback.
DspUnit* createDspUnit(DspCallback callback, int32_t priority, void* userData);
// Takes effect from the next block. Switching a unit off waits for a block
// the mixer is running, so once it returns the unit is not called again and
// its user data may go.
void setDspUnitActive(DspUnit* unit, bool active);

// Opens an Ogg Vorbis file for streaming, by file name as the C library opens
// it. mode, offset and length are reserved and must be 0 (the whole file).
// Decoding starts at once, ahead of play. Null when the file is missing or is
// not Ogg Vorbis, or before initialise. A file damaged further in plays up to
// the damage and then ends.
Stream* openStream(const char* fileName, uint32_t mode, int32_t offset, int32_t length);

// Plays a stream from its start on a channel: a given one if it is free, or
// with channel -1 the lowest free one. Returns the channel, or -1 when none is
// free, the stream is null, already ended or already playing (a stream plays
// once). When the stream ends the channel stops and is free again.
int32_t playStream(int32_t channel, Stream* stream);

// Stops the stream where it is, if it is playing, and frees it with its
// decoder and file; the handle is invalid once this returns. The mixer and
// the decoder thread are waited for, so neither touches the stream after.
// Null does nothing. A program that plays the demo again in the same process
// closes the first run's stream, or it would go on playing under the next.
void closeStream(Stream* stream);

// Whether a channel is playing a stream; false out of range.
bool channelPlaying(int32_t channel);

// A whole file decoded as the layer plays it (stereo at mixRate, resampled
// and spread like a stream), interleaved, for tools and tests; it needs no
// initialise and touches no device. Empty when the file does not open.
std::vector<float> decodeFile(const char* fileName, int32_t mixRate);

// What the layer holds, for tests and tools: the DSP units made so far and
// whether mixed blocks go to a device.
std::size_t dspUnitCount();
bool deviceOpen();

} // namespace ORV::Sound
