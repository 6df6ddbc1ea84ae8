#include "content/audio/OggWriter.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cassert>
#include <fstream>

namespace ORV::Content {

namespace {

// Any fixed number does; a fixed one keeps the bytes the same run to run.
constexpr int SerialNumber = 0x4f525631;
// Frames handed to the encoder per analysis call.
constexpr std::size_t ChunkFrames = 1024;

// The encoder's state, cleared in reverse order of set-up whatever happens.
struct Encoder {
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state ogg{};
    bool dspReady = false;
    bool blockReady = false;
    bool oggReady = false;

    Encoder()
    {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~Encoder()
    {
        if (oggReady) ogg_stream_clear(&ogg);
        if (blockReady) vorbis_block_clear(&block);
        if (dspReady) vorbis_dsp_clear(&dsp);
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

void appendPage(std::string& out, const ogg_page& page)
{
    out.append(reinterpret_cast<const char*>(page.header), static_cast<std::size_t>(page.header_len));
    out.append(reinterpret_cast<const char*>(page.body), static_cast<std::size_t>(page.body_len));
}

// Runs the analysis on what the encoder holds and pages out every packet.
void drain(Encoder& e, std::string& out)
{
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&e.dsp, &e.block) == 1) {
        vorbis_analysis(&e.block, nullptr);
        vorbis_bitrate_addblock(&e.block);
        while (vorbis_bitrate_flushpacket(&e.dsp, &packet)) {
            ogg_stream_packetin(&e.ogg, &packet);
            while (ogg_stream_pageout(&e.ogg, &page)) appendPage(out, page);
        }
    }
}

} // namespace

std::string encodeOggVorbis(const OggAudio& audio)
{
    assert(audio.samples || audio.frames == 0);
    Encoder e;
    if (audio.channels < 1 || audio.rate < 1) return {};
    if (vorbis_encode_init_vbr(&e.info, audio.channels, audio.rate, audio.quality) != 0) return {};
    if (vorbis_analysis_init(&e.dsp, &e.info) != 0) return {};
    e.dspReady = true;
    vorbis_block_init(&e.dsp, &e.block);
    e.blockReady = true;
    ogg_stream_init(&e.ogg, SerialNumber);
    e.oggReady = true;

    std::string out;
    ogg_packet identification, comments, codebooks;
    vorbis_analysis_headerout(&e.dsp, &e.comment, &identification, &comments, &codebooks);
    ogg_stream_packetin(&e.ogg, &identification);
    ogg_stream_packetin(&e.ogg, &comments);
    ogg_stream_packetin(&e.ogg, &codebooks);
    // The headers end on a page of their own, as players expect.
    ogg_page page;
    while (ogg_stream_flush(&e.ogg, &page)) appendPage(out, page);

    const auto channels = static_cast<std::size_t>(audio.channels);
    for (std::size_t done = 0; done < audio.frames;) {
        const std::size_t count = std::min(ChunkFrames, audio.frames - done);
        float** planes = vorbis_analysis_buffer(&e.dsp, static_cast<int>(count));
        const float* from = audio.samples + done * channels;
        for (std::size_t i = 0; i < count; ++i)
            for (std::size_t c = 0; c < channels; ++c) planes[c][i] = from[i * channels + c];
        vorbis_analysis_wrote(&e.dsp, static_cast<int>(count));
        drain(e, out);
        done += count;
    }
    vorbis_analysis_wrote(&e.dsp, 0); // end of stream
    drain(e, out);
    while (ogg_stream_flush(&e.ogg, &page)) appendPage(out, page);
    return out;
}

bool writeOggVorbis(const std::filesystem::path& file, const OggAudio& audio)
{
    const std::string bytes = encodeOggVorbis(audio);
    if (bytes.empty()) return false;
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

} // namespace ORV::Content
