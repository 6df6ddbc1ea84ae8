#include "platform/sound/Sound.h"

#include "platform/sound/detail/Mixer.h"
#include "platform/sound/detail/StreamDecoder.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace ORV::Sound {

struct Stream {
    Stream(std::unique_ptr<Detail::StreamDecoder> d, std::size_t ringFrames) : decoder(std::move(d)), source(ringFrames)
    {}
    std::unique_ptr<Detail::StreamDecoder> decoder; // the decoder thread's once the stream is listed
    Detail::Source source;
    bool played = false; // main thread only
};

namespace {

// Frames per device callback, and the longest block the DSP units see: 23 ms
// at 44.1 kHz.
constexpr std::size_t BlockFrames = 1024;
// How often the decoder thread tops the rings up. The rings hold half a
// second, so this leaves a wide margin for a busy machine.
constexpr auto DecodePeriod = std::chrono::milliseconds(20);

void ignoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// ALSA reports a machine without a sound card (CI, a server) on stderr by
// itself, from inside SDL's device probe, a dozen lines before SDL fails; a
// silent run is the layer's answer to that, so ALSA's messages are switched
// off. Loads the library SDL would load (if it is installed at all) and keeps
// it loaded so the setting holds until SDL loads it too; returns the handle
// to close at exit, or null.
void* quietAlsa()
{
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa) return nullptr;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) set(ignoreAlsaMessage);
    return alsa;
}

// Everything the layer holds, made by the first initialise and released at
// exit by the static owner below, in the order the threads need: the device
// first (its callback reads the mixer and the rings), then the decoder thread
// (it writes the rings and owns the files), then the streams and the mixer.
class Layer {
public:
    ~Layer()
    {
        if (device) SDL_CloseAudioDevice(device);
        if (audioSubsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (alsa) dlclose(alsa);
        if (decoder.joinable()) {
            {
                std::lock_guard lock(mutex);
                stopping = true;
            }
            wake.notify_all();
            decoder.join();
        }
    }

    void decodeLoop()
    {
        std::vector<Stream*> work;
        for (;;) {
            {
                // Held from the listing to the end of the pass: closeStream
                // takes it before it frees a stream, so every stream listed
                // lives until the pass is over.
                std::lock_guard filling(fillMutex);
                {
                    std::lock_guard lock(mutex);
                    if (stopping) return;
                    work.clear();
                    for (const auto& stream : streams)
                        if (!stream->decoder->ended()) work.push_back(stream.get());
                }
                for (Stream* stream : work) stream->decoder->fill(stream->source);
            }
            std::unique_lock lock(mutex);
            wake.wait_for(lock, DecodePeriod, [this] { return stopping || newStream; });
            newStream = false;
        }
    }

    void openDevice(int32_t mixRate)
    {
        // Only the audio subsystem, so that it comes and goes independently of
        // the window's video subsystem.
        alsa = quietAlsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
        audioSubsystem = true;
        SDL_AudioSpec want{};
        want.freq = mixRate;
        want.format = AUDIO_F32SYS;
        want.channels = BlockChannels;
        want.samples = static_cast<Uint16>(BlockFrames);
        want.callback = [](void* mixer, Uint8* stream, int bytes) {
            static_cast<Detail::Mixer*>(mixer)->mix(reinterpret_cast<float*>(stream),
                                                    static_cast<std::size_t>(bytes) / (BlockChannels * sizeof(float)));
        };
        want.userdata = mixer.get();
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts our float stereo to whatever the
        // hardware takes.
        device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            audioSubsystem = false;
            return;
        }
        SDL_PauseAudioDevice(device, 0);
    }

    bool initialised = false;
    bool usable = false;
    std::uint32_t mixRate = 0;
    std::unique_ptr<Detail::Mixer> mixer;
    bool audioSubsystem = false;
    SDL_AudioDeviceID device = 0;
    void* alsa = nullptr; // ALSA's library, loaded to quiet it

    std::mutex mutex; // guards streams, stopping and newStream
    // Held by the decoder thread while it lists the streams and fills their
    // rings; always taken before mutex, never while holding it.
    std::mutex fillMutex;
    std::condition_variable wake;
    std::vector<std::unique_ptr<Stream>> streams;
    bool stopping = false;
    bool newStream = false;
    std::thread decoder; // last member: joined in the destructor's body
};

Layer& layer()
{
    static Layer owner;
    return owner;
}

} // namespace

bool initialise(int32_t mixRate, int32_t channels, uint32_t flags)
{
    assert(flags == 0);
    (void)flags;
    Layer& l = layer();
    if (l.initialised) return l.usable;
    l.initialised = true;
    if (mixRate < 8000 || mixRate > 192000 || channels < 1 || channels > 64) return false;
    l.mixRate = static_cast<std::uint32_t>(mixRate);
    l.mixer = std::make_unique<Detail::Mixer>(channels, BlockFrames);
    l.decoder = std::thread([&l] { l.decodeLoop(); });
    l.openDevice(mixRate);
    l.usable = true;
    return true;
}

DspUnit* createDspUnit(DspCallback callback, int32_t priority, void* userData)
{
    Layer& l = layer();
    if (!l.mixer || !callback) return nullptr;
    return l.mixer->addUnit(callback, priority, userData);
}

void setDspUnitActive(DspUnit* unit, bool active)
{
    if (!unit) return;
    unit->active.store(active, std::memory_order_relaxed);
    // Wait out a block the mixer may be running, so that a unit switched off
    // is not called again once this returns.
    if (const SDL_AudioDeviceID device = layer().device) {
        SDL_LockAudioDevice(device);
        SDL_UnlockAudioDevice(device);
    }
}

Stream* openStream(const char* fileName, uint32_t mode, int32_t offset, int32_t length)
{
    assert(mode == 0 && offset == 0 && length == 0);
    (void)mode, (void)offset, (void)length;
    Layer& l = layer();
    if (!l.mixer) return nullptr;
    auto decoder = Detail::StreamDecoder::open(fileName, l.mixRate);
    if (!decoder) return nullptr;
    auto stream = std::make_unique<Stream>(std::move(decoder), l.mixRate / 2);
    Stream* handle = stream.get();
    {
        std::lock_guard lock(l.mutex);
        l.streams.push_back(std::move(stream));
        l.newStream = true;
    }
    l.wake.notify_one();
    return handle;
}

int32_t playStream(int32_t channel, Stream* stream)
{
    Layer& l = layer();
    if (!stream || !l.mixer || stream->played) return -1;
    const int32_t played = channel == -1 ? l.mixer->attachFree(&stream->source)
                                         : (l.mixer->attach(channel, &stream->source) ? channel : -1);
    stream->played = played >= 0;
    return played;
}

void closeStream(Stream* stream)
{
    if (!stream) return;
    Layer& l = layer();
    if (!l.mixer) return;
    l.mixer->detach(&stream->source);
    // Wait out a block the mixer may be reading the stream's ring in.
    if (l.device) {
        SDL_LockAudioDevice(l.device);
        SDL_UnlockAudioDevice(l.device);
    }
    std::unique_ptr<Stream> closing;
    {
        std::lock_guard filling(l.fillMutex);
        std::lock_guard lock(l.mutex);
        const auto found = std::find_if(l.streams.begin(), l.streams.end(),
                                        [stream](const std::unique_ptr<Stream>& s) { return s.get() == stream; });
        assert(found != l.streams.end() && "a stream of this layer, closed once");
        if (found == l.streams.end()) return;
        closing = std::move(*found);
        l.streams.erase(found);
    }
    // Freed outside the locks: closing the file need not hold up the decoder.
}

bool channelPlaying(int32_t channel)
{
    const Layer& l = layer();
    return l.mixer && l.mixer->playing(channel);
}

std::size_t dspUnitCount()
{
    const Layer& l = layer();
    return l.mixer ? l.mixer->unitCount() : 0;
}

bool deviceOpen()
{
    return layer().device != 0;
}

std::vector<float> decodeFile(const char* fileName, int32_t mixRate)
{
    std::vector<float> frames;
    if (!fileName || mixRate < int32_t(Detail::StreamDecoder::MinRate)
        || mixRate > int32_t(Detail::StreamDecoder::MaxRate))
        return frames;
    std::unique_ptr<Detail::StreamDecoder> decoder = Detail::StreamDecoder::open(fileName, std::uint32_t(mixRate));
    if (!decoder) return frames;
    // The decoder fills a ring as it does for playback; this side drains it.
    Detail::Source source(std::size_t(1) << 16);
    bool more = true;
    while (more) {
        more = decoder->fill(source);
        const std::size_t readable = source.ring.readable();
        const std::size_t at = frames.size();
        frames.resize(at + readable * BlockChannels);
        source.ring.read(frames.data() + at, readable);
    }
    return frames;
}

} // namespace ORV::Sound
