#include "platform/sound/detail/StreamDecoder.h"

#include "platform/sound/detail/Resampler.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <vector>

namespace ORV::Sound::Detail {

namespace {

// Frames asked of vorbisfile per read: bounds the buffers below whatever the
// file holds.
constexpr int ReadFrames = 1024;
// Holes in a row after which the stream is taken as broken.
constexpr int MaxHolesInARow = 16;

bool playableInfo(const vorbis_info* info)
{
    return info && info->channels >= 1 && info->rate >= static_cast<long>(StreamDecoder::MinRate)
           && info->rate <= static_cast<long>(StreamDecoder::MaxRate);
}

} // namespace

struct StreamDecoder::Impl {
    explicit Impl(std::uint32_t mixRate) : resampler(mixRate, mixRate) {}
    ~Impl() { close(); }

    void close()
    {
        if (open) ov_clear(&file);
        open = false;
    }

    OggVorbis_File file{};
    bool open = false; // file holds a vorbisfile handle to clear
    bool ended = false;
    int link = -1; // the chained link the resampler's rate is set for
    Resampler resampler;
    std::vector<float> stereo; // one read as interleaved stereo at the file's rate
    std::vector<float> pending; // resampled frames not yet in the ring
    std::size_t pendingFrom = 0; // frames of pending already written
    int holes = 0;

    // Decodes one read into pending; false at the end or on damage.
    bool decode()
    {
        float** pcm = nullptr;
        int bitstream = 0;
        const long frames = ov_read_float(&file, &pcm, ReadFrames, &bitstream);
        if (frames == OV_HOLE) return ++holes <= MaxHolesInARow;
        if (frames <= 0) return false;
        holes = 0;
        const vorbis_info* info = ov_info(&file, -1);
        if (!playableInfo(info)) return false;
        if (bitstream != link) {
            resampler.setInputRate(static_cast<std::uint32_t>(info->rate));
            link = bitstream;
        }
        const std::size_t count = static_cast<std::size_t>(std::min<long>(frames, ReadFrames));
        const float* left = pcm[0];
        const float* right = info->channels >= 2 ? pcm[1] : pcm[0];
        stereo.resize(count * 2);
        for (std::size_t i = 0; i < count; ++i) {
            stereo[i * 2] = left[i];
            stereo[i * 2 + 1] = right[i];
        }
        pending.clear();
        pendingFrom = 0;
        resampler.process(stereo.data(), count, pending);
        return true;
    }
};

StreamDecoder::StreamDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
StreamDecoder::~StreamDecoder() = default;

std::unique_ptr<StreamDecoder> StreamDecoder::open(const char* fileName, std::uint32_t mixRate)
{
    if (!fileName) return nullptr;
    auto impl = std::make_unique<Impl>(mixRate);
    // ov_fopen closes the file itself when the stream does not open.
    if (ov_fopen(fileName, &impl->file) != 0) return nullptr;
    impl->open = true;
    const vorbis_info* info = ov_info(&impl->file, -1);
    if (!playableInfo(info)) return nullptr;
    return std::unique_ptr<StreamDecoder>(new StreamDecoder(std::move(impl)));
}

bool StreamDecoder::ended() const
{
    return impl_->ended;
}

bool StreamDecoder::fill(Source& source)
{
    Impl& d = *impl_;
    while (!d.ended) {
        const std::size_t left = d.pending.size() / 2 - d.pendingFrom;
        if (left > 0) {
            d.pendingFrom += source.ring.write(d.pending.data() + d.pendingFrom * 2, left);
            if (d.pendingFrom * 2 < d.pending.size()) return true; // the ring is full
            continue;
        }
        if (!d.decode()) {
            d.ended = true;
            d.close();
            d.pending = {};
            source.ended.store(true, std::memory_order_release);
        }
    }
    return false;
}

} // namespace ORV::Sound::Detail
