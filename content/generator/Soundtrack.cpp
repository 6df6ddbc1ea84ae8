// The soundtrack: the composed piece (content/soundtrack) rendered and encoded
// as Ogg Vorbis, a loose file next to the archive because the sound layer
// opens it by file name.
#include "content/soundtrack/Soundtrack.h"
#include "content/audio/OggWriter.h"
#include "content/generator/detail/Kinds.h"
#include "content/soundtrack/Synth.h"

#include <stdexcept>

namespace ORV::Content::detail {

namespace {

// libvorbisenc's quality 0.5: about 160 kb/s for this piece, transparent
// enough for synthesised sound and under 3 MB.
constexpr float soundtrackQuality = 0.5f;

} // namespace

void makeSoundtrack(const GeneratorInputs&, AssetList& out)
{
    const std::vector<float> samples = Audio::renderSoundtrack();
    OggAudio audio;
    audio.samples = samples.data();
    audio.frames = samples.size() / 2;
    audio.rate = Audio::sampleRate;
    audio.channels = 2;
    audio.quality = soundtrackQuality;
    std::string bytes = encodeOggVorbis(audio);
    if (bytes.empty()) throw std::runtime_error("the Vorbis encoder refused the piece's settings");
    out.push_back({"soundtrk0x01.ogg", std::move(bytes), Asset::Place::LooseFile, false});
}

} // namespace ORV::Content::detail
