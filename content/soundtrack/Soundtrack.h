// The demo's soundtrack, composed in code and rendered at build time: 120
// beats a minute in A minor, following the script's sections (intro to 16 s,
// drums from 16 s, bass and chords from 32 s, the lead from 64 s with the drop
// at 80 s, the long build from 96 s, the outro from 128 s fading out by
// 148 s), with accents on the intro's camera cuts at 6 s and 11 s. Encoding
// the samples is left to the caller.
#pragma once

#include <vector>

namespace ORV::Content::Audio {

// Length of the piece in seconds: the script's 148 s and a moment of silence.
constexpr double soundtrackSeconds = 148.5;
// Where the mastering puts the piece's integrated loudness (LUFS), and the
// ceiling its samples stay under (dBFS): a decibel below the usual -1 dB true
// peak, since peaks between samples and the Vorbis encoding rise above the
// samples by about that much.
constexpr double soundtrackLoudness = -14.0;
constexpr double soundtrackCeiling = -2.0;

// The whole piece as interleaved stereo floats at Audio::sampleRate
// (left, right, left, ...), peaks below the ceiling. The same samples on
// every run.
std::vector<float> renderSoundtrack();

// Integrated loudness in LUFS of interleaved stereo at Audio::sampleRate
// (K-weighted, 400 ms blocks, absolute and relative gates); -70 or below
// for silence.
double integratedLoudness(const std::vector<float>& interleaved);

} // namespace ORV::Content::Audio
