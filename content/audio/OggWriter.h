// Encodes audio to Ogg Vorbis through libvorbisenc, for the content generator's
// soundtrack and for tests that need a real stream. The output depends only on
// the input: the Ogg serial number is fixed and no date or time is written
// (the comment header holds the encoder's vendor string alone).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace ORV::Content {

struct OggAudio {
    const float* samples = nullptr; // interleaved, channels values a frame, nominally in [-1, 1]
    std::size_t frames = 0;
    int rate = 44100; // Hz
    int channels = 2;
    float quality = 0.4f; // libvorbisenc's VBR quality, -0.1 (smallest) to 1 (best)
};

// The Ogg Vorbis file's bytes; empty when libvorbisenc refuses the settings
// (a rate or channel count it has no mode for).
std::string encodeOggVorbis(const OggAudio& audio);

// Encodes and writes the file; false when encoding or writing fails.
bool writeOggVorbis(const std::filesystem::path& file, const OggAudio& audio);

} // namespace ORV::Content
