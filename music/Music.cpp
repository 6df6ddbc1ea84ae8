#include "music/Music.h"

namespace ORV::Demo {

namespace {

// Set by the first Music: the sound layer is set up once per process.
bool initialised = false;

// Hands the block on untouched: the hook where effects on the whole mix go.
float* passThrough(float*, float* currentBuffer, int32_t, void*)
{
    return currentBuffer;
}

// Runs after the units of lower priority, before those of higher.
constexpr int32_t PassThroughPriority = 500;

} // namespace

Music::Music()
{
    if (initialised) return;
    initialised = true;
    // No result is looked at: without a device the layer runs silently.
    Sound::initialise(44100, 4, 0);
    Sound::DspUnit* unit = Sound::createDspUnit(passThrough, PassThroughPriority, nullptr);
    Sound::setDspUnitActive(unit, true);
}

// A run of the demo ends with its music: a later run in the same process
// (a tool, a benchmark, a test) starts its own stream, and this one would
// otherwise go on decoding and mixing under it until exit.
Music::~Music()
{
    Sound::closeStream(stream_);
}

void Music::play(const char* fileName)
{
    Sound::closeStream(stream_); // a second play replaces the first
    channel_ = 0;
    stream_ = Sound::openStream(fileName, 0, 0, 0);
    if (stream_) channel_ = Sound::playStream(-1, stream_);
}

} // namespace ORV::Demo
