#include "content/soundtrack/Soundtrack.h"

#include "content/soundtrack/Synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <deque>
#include <thread>

namespace ORV::Content::Audio {

namespace {

// 120 beats a minute: a beat is half a second and a 4/4 bar two seconds, so
// the script's section times fall on bar lines (16 s is bar 8).
constexpr double beatSeconds = 0.5;

std::size_t frameAt(double beat)
{
    return std::size_t(std::llround(beat * beatSeconds * sampleRate));
}

std::size_t framesOf(double seconds)
{
    return std::size_t(std::llround(seconds * sampleRate));
}

struct Note {
    double beat; // onset
    double length; // beats the gate stays open
    int pitch; // MIDI note
    double velocity; // 0..1
    double pan = 0.0; // -1 left .. 1 right
};

// The progression: A minor, F, C, G, one chord per bar. Each chord is its
// bass root and a pad voicing with the added ninth or sixth that keeps it
// soft.
struct Chord {
    int root;
    std::array<int, 4> voicing;
};
constexpr std::array<Chord, 4> progression = {{
    {45, {57, 60, 64, 71}}, // Am(add9): A3 C4 E4 B4
    {41, {53, 57, 60, 67}}, // F(add9): F3 A3 C4 G4
    {48, {55, 60, 64, 69}}, // C(add6): G3 C4 E4 A4
    {43, {55, 59, 62, 69}}, // G(add9): G3 B3 D4 A4
}};

const Chord& chordOfBar(int bar)
{
    return progression[std::size_t(bar % 4)];
}

// Everything that sounds, as events by instrument, in beats.
struct Score {
    std::vector<std::pair<double, double>> kicks; // beat, velocity
    std::vector<std::pair<double, double>> snares; // beat, velocity
    std::vector<std::pair<double, double>> closedHats, openHats, crashes, impacts;
    std::vector<std::pair<double, double>> risers; // first beat, beats
    std::vector<Note> bass, pad, plucks, lead, pulse;
};

void padChord(Score& s, double beat, double beats, const Chord& chord, double velocity)
{
    for (int pitch : chord.voicing) s.pad.push_back({beat, beats, pitch, velocity});
}

// One bar of four-on-the-floor drums from `beat`; `level` 0 kick only,
// 1 with snare and eighth hats, 2 with sixteenth hats and open hats.
void drumBar(Score& s, double beat, int level)
{
    for (int b = 0; b < 4; ++b) s.kicks.push_back({beat + b, 1.0});
    if (level >= 1) {
        s.snares.push_back({beat + 1, 0.9});
        s.snares.push_back({beat + 3, 0.9});
        for (int e = 0; e < 8; ++e) s.closedHats.push_back({beat + e * 0.5, e % 2 ? 0.8 : 0.5});
    }
    if (level >= 2) {
        for (int e = 0; e < 8; ++e) s.closedHats.push_back({beat + e * 0.5 + 0.25, 0.35});
        for (int b = 0; b < 4; ++b) s.openHats.push_back({beat + b + 0.5, 0.5});
    }
}

// A driving sixteenth-note bass line on the bar's root, jumping an octave at
// the end of the bar.
void bassBar(Score& s, double beat, const Chord& chord, double velocity)
{
    static constexpr std::array<int, 16> pattern = {1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 2};
    for (int step = 0; step < 16; ++step) {
        if (!pattern[std::size_t(step)]) continue;
        const int pitch = chord.root + (pattern[std::size_t(step)] == 2 ? 12 : 0);
        s.bass.push_back({beat + step * 0.25, 0.2, pitch, velocity * (step % 4 == 0 ? 1.0 : 0.8)});
    }
}

// Off-beat chord stabs: the pad voicing an octave up, short.
void stabBar(Score& s, double beat, const Chord& chord, double velocity)
{
    for (int b = 0; b < 4; ++b)
        for (int pitch : chord.voicing)
            s.plucks.push_back({beat + b + 0.5, 0.2, pitch + 12, velocity, pitch % 2 ? 0.35 : -0.35});
}

// Rising sixteenth arpeggio over the chord, swept from side to side.
void arpeggioBar(Score& s, double beat, const Chord& chord, double velocity)
{
    for (int step = 0; step < 16; ++step) {
        const int tone = chord.voicing[std::size_t(step % 4)] + 12 * (step / 8);
        s.plucks.push_back(
            {beat + step * 0.25, 0.15, tone, velocity * (step % 4 == 0 ? 1.0 : 0.7), std::sin(step * 0.4) * 0.6});
    }
}

// The lead's melody over eight bars of the progression: (beat in the phrase,
// beats, pitch).
struct MelodyNote {
    double beat, length;
    int pitch;
};
constexpr MelodyNote melody[] = {
    {0, 1.5, 76},  {1.5, 0.5, 74},  {2, 1, 72},  {3, 1, 76}, // Am
    {4, 1.5, 77},  {5.5, 0.5, 76},  {6, 2, 72}, // F
    {8, 1, 79},    {9, 1, 76},      {10, 1, 72}, {11, 1, 74}, // C
    {12, 1.5, 71}, {13.5, 0.5, 72}, {14, 2, 74}, // G
    {16, 1, 76},   {17, 1, 81},     {18, 1, 79}, {19, 1, 76}, // Am
    {20, 1.5, 77}, {21.5, 0.5, 76}, {22, 1, 74}, {23, 1, 72}, // F
    {24, 1, 76},   {25, 1, 74},     {26, 1, 72}, {27, 1, 71}, // C
    {28, 1, 74},   {29, 1, 71},     {30, 2, 69}, // G, home
};

void melodyPhrase(Score& s, double beat, int transpose, double velocity)
{
    for (const MelodyNote& n : melody)
        s.lead.push_back({beat + n.beat, n.length * 0.92, n.pitch + transpose, velocity});
}

// The arrangement, section by section; bar b starts at beat 4b.
Score compose()
{
    Score s;
    auto bar = [](int b) { return double(b * 4); };

    // 0-16 s (bars 0-7): a held pad and a soft pulse; impacts on the cuts at
    // 0, 6 and 11 s (beats 0, 12 and 22) with a chord change on each; a riser
    // into the drums.
    padChord(s, 0, 12, progression[0], 0.7);
    padChord(s, 12, 10, progression[1], 0.7);
    padChord(s, 22, 10, progression[3], 0.7);
    for (double beat : {0.0, 12.0, 22.0}) s.impacts.push_back({beat, 1.0});
    // The pulse stops a beat before the drums, a breath before they come in.
    for (int e = 4; e < 62; ++e) {
        const double beat = e * 0.5;
        const int root = beat < 12 ? 57 : beat < 22 ? 53 : 55;
        s.pulse.push_back({beat, 0.3, root + (e % 4 == 3 ? 7 : 0), 0.4, e % 2 ? 0.3 : -0.3});
    }

    // 16-32 s (bars 8-15): the drums enter under the pad; lights flash at 16
    // and 24 s; a short fill into 32 s.
    for (int b = 8; b < 16; ++b) {
        // Half time: kicks on one and three, the snare from the third bar.
        s.kicks.push_back({bar(b), 0.95});
        s.kicks.push_back({bar(b) + 2, 0.85});
        if (b >= 10) {
            s.snares.push_back({bar(b) + 1, 0.55});
            s.snares.push_back({bar(b) + 3, 0.55});
        }
        for (int e = 0; e < 8; ++e) s.closedHats.push_back({bar(b) + e * 0.5, e % 2 ? 0.7 : 0.45});
        padChord(s, bar(b), 4, chordOfBar(b), 0.6);
        if (b >= 12) arpeggioBar(s, bar(b), chordOfBar(b), 0.35);
    }
    s.crashes.push_back({bar(8), 1.0});
    s.crashes.push_back({bar(12), 0.8});
    for (int i = 0; i < 4; ++i) s.snares.push_back({bar(15) + 3 + i * 0.25, 0.3 + i * 0.1});

    // 32-64 s (bars 16-31): the machine: bass and chord stabs over full
    // drums, arpeggios from 48 s.
    for (int b = 16; b < 32; ++b) {
        drumBar(s, bar(b), 2);
        bassBar(s, bar(b), chordOfBar(b), 0.85);
        stabBar(s, bar(b), chordOfBar(b), 0.55);
        padChord(s, bar(b), 4, chordOfBar(b), 0.35);
        if (b >= 24) arpeggioBar(s, bar(b), chordOfBar(b), 0.3);
    }
    s.crashes.push_back({bar(16), 1.0});
    s.crashes.push_back({bar(24), 0.8});

    // 64-80 s (bars 32-39): the breakdown: pad, held bass and the lead's
    // first statement; a riser and a moment of silence before the drop.
    for (int b = 32; b < 40; ++b) {
        padChord(s, bar(b), 4, chordOfBar(b), 0.55);
        s.bass.push_back({bar(b), 3.6, chordOfBar(b).root, 0.5});
        if (b >= 36) {
            for (int e = 0; e < 8; ++e) s.closedHats.push_back({bar(b) + e * 0.5 + 0.5, 0.3});
        }
    }
    melodyPhrase(s, bar(32), 0, 0.7);
    s.risers.push_back({bar(37), 11.5});

    // 80-96 s (bars 40-47): the drop: everything, the lead an octave up.
    s.impacts.push_back({bar(40), 1.0});
    s.crashes.push_back({bar(40), 1.0});
    for (int b = 40; b < 48; ++b) {
        drumBar(s, bar(b), 2);
        bassBar(s, bar(b), chordOfBar(b), 0.95);
        stabBar(s, bar(b), chordOfBar(b), 0.6);
        padChord(s, bar(b), 4, chordOfBar(b), 0.45);
    }
    melodyPhrase(s, bar(40), 12, 0.75);
    s.crashes.push_back({bar(44), 0.7});

    // 96-128 s (bars 48-63): the long build: kick, bass and arpeggios first,
    // then hats and snare, then the pad and the lead; a snare roll and a
    // riser into 128 s.
    for (int b = 48; b < 64; ++b) {
        const int stage = (b - 48) / 4; // 0..3
        for (int k = 0; k < 4; ++k) s.kicks.push_back({bar(b) + k, stage == 0 ? 0.6 : 1.0});
        bassBar(s, bar(b), chordOfBar(b), stage == 0 ? 0.4 : 0.55 + 0.1 * stage);
        if (stage >= 1) arpeggioBar(s, bar(b), chordOfBar(b), 0.3 + 0.06 * stage);
        if (stage >= 1) {
            s.snares.push_back({bar(b) + 1, 0.8});
            s.snares.push_back({bar(b) + 3, 0.8});
            for (int e = 0; e < 8; ++e) s.closedHats.push_back({bar(b) + e * 0.5, e % 2 ? 0.7 : 0.45});
        }
        if (stage >= 2) padChord(s, bar(b), 4, chordOfBar(b), 0.45);
    }
    melodyPhrase(s, bar(56), 0, 0.6);
    for (int i = 0; i < 16; ++i) s.snares.push_back({bar(60) + i * 0.5, 0.35 + i * 0.015}); // eighths
    for (int i = 0; i < 32; ++i) s.snares.push_back({bar(62) + i * 0.25, 0.5 + i * 0.012}); // then sixteenths
    s.risers.push_back({bar(60), 8});

    // 128-148 s (bars 64-73): the outro: a soft crash, the pad slowing on
    // F, C, Am, and a quiet echo of the lead, fading out by 147.5 s.
    s.crashes.push_back({bar(64), 0.5});
    padChord(s, bar(64), 8, progression[1], 0.6);
    padChord(s, bar(66), 8, progression[2], 0.6);
    padChord(s, bar(68), 8, progression[0], 0.6);
    padChord(s, bar(70), 8, progression[0], 0.5);
    for (int i = 0; i < 12; ++i) {
        const MelodyNote& n = melody[std::size_t(i)];
        s.lead.push_back({bar(65) + n.beat * 2, n.length * 1.8, n.pitch - 12, 0.45});
    }
    return s;
}

// --- Instruments: each renders its events into a stereo stem. ---

void renderKicks(const std::vector<std::pair<double, double>>& hits, Stereo& out)
{
    Noise noise(7);
    for (const auto& [beat, velocity] : hits) {
        const std::size_t start = frameAt(beat);
        double phase = 0.0;
        for (std::size_t i = 0; i < framesOf(0.45); ++i) {
            const double t = double(i) / sampleRate;
            const double frequency = 46.0 + 120.0 * std::exp(-t * 30.0);
            phase += 2.0 * pi * frequency / sampleRate;
            const double body = std::tanh(1.8 * std::sin(phase) * std::exp(-t * 7.0));
            const double click = t < 0.004 ? noise.next() * (1.0 - t / 0.004) * 0.25 : 0.0;
            out.add(start + i, (body + click) * 0.9 * velocity, Pan());
        }
    }
}

void renderSnares(const std::vector<std::pair<double, double>>& hits, Stereo& out)
{
    Noise noise(11);
    for (const auto& [beat, velocity] : hits) {
        const std::size_t start = frameAt(beat);
        const Pan pan(0.05);
        StateVariableFilter band, high;
        band.set(2400.0, 0.3);
        high.set(6000.0, 0.0);
        for (std::size_t i = 0; i < framesOf(0.3); ++i) {
            const double t = double(i) / sampleRate;
            const double tone = std::sin(2.0 * pi * 185.0 * t) * std::exp(-t * 30.0) * 0.5
                                + std::sin(2.0 * pi * 330.0 * t) * std::exp(-t * 45.0) * 0.25;
            const double n = noise.next();
            const double rattle =
                band.bandPass(n) * std::exp(-t * 16.0) * 1.1 + high.highPass(n) * std::exp(-t * 28.0) * 0.25;
            out.add(start + i, (tone + rattle) * velocity * 0.7, pan);
        }
    }
}

void renderHats(const std::vector<std::pair<double, double>>& hits, double decay, double seconds, double pan,
                Stereo& out)
{
    const Pan place(pan);
    Noise noise(13);
    for (const auto& [beat, velocity] : hits) {
        const std::size_t start = frameAt(beat);
        StateVariableFilter high;
        high.set(8000.0, 0.2);
        for (std::size_t i = 0; i < framesOf(seconds); ++i) {
            const double t = double(i) / sampleRate;
            out.add(start + i, high.highPass(noise.next()) * std::exp(-t * decay) * velocity * 0.35, place);
        }
    }
}

void renderCrashes(const std::vector<std::pair<double, double>>& hits, Stereo& out)
{
    Noise left(17), right(19);
    const Pan leftSide(-0.5), rightSide(0.5);
    for (const auto& [beat, velocity] : hits) {
        const std::size_t start = frameAt(beat);
        StateVariableFilter highLeft, highRight;
        highLeft.set(4500.0, 0.3);
        highRight.set(4700.0, 0.3);
        for (std::size_t i = 0; i < framesOf(3.0); ++i) {
            const double t = double(i) / sampleRate;
            const double level = std::exp(-t * 1.6) * velocity * 0.22;
            out.add(start + i, highLeft.highPass(left.next()) * level, leftSide);
            out.add(start + i, highRight.highPass(right.next()) * level, rightSide);
        }
    }
}

// A deep hit for the cuts: a falling sub tone and a darkening noise burst,
// most of it sent to the reverb.
void renderImpacts(const std::vector<std::pair<double, double>>& hits, Stereo& out)
{
    Noise noise(23);
    for (const auto& [beat, velocity] : hits) {
        const std::size_t start = frameAt(beat);
        StateVariableFilter low;
        double phase = 0.0;
        for (std::size_t i = 0; i < framesOf(3.5); ++i) {
            const double t = double(i) / sampleRate;
            phase += 2.0 * pi * (38.0 + 40.0 * std::exp(-t * 3.0)) / sampleRate;
            const double sub = std::sin(phase) * std::exp(-t * 1.8);
            if (i % controlInterval == 0) low.set(150.0 + 9000.0 * std::exp(-t * 2.5), 0.0);
            const double burst = low.lowPass(noise.next()) * std::exp(-t * 1.3);
            out.add(start + i, (sub * 0.8 + burst * 0.7) * velocity, Pan());
        }
    }
}

// Filtered noise rising in pitch and level over `beats`, sweeping across.
void renderRisers(const std::vector<std::pair<double, double>>& risers, Stereo& out)
{
    Noise noise(29);
    for (const auto& [beat, beats] : risers) {
        const std::size_t start = frameAt(beat), length = frameAt(beat + beats) - start;
        StateVariableFilter band;
        Pan pan;
        for (std::size_t i = 0; i < length; ++i) {
            const double x = double(i) / double(length);
            if (i % controlInterval == 0) {
                band.set(300.0 * std::pow(25.0, x), 0.55);
                pan = Pan(std::sin(x * 9.0) * 0.5);
            }
            out.add(start + i, band.bandPass(noise.next()) * x * x * 0.25, pan);
        }
    }
}

// Mono subtractive bass: saw and a sine an octave down through a resonant
// low-pass that opens on each note.
void renderBass(const std::vector<Note>& notes, Stereo& out)
{
    for (const Note& note : notes) {
        const std::size_t start = frameAt(note.beat), gate = frameAt(note.beat + note.length) - start;
        const double frequency = noteFrequency(note.pitch);
        Oscillator saw(Oscillator::Shape::Saw), sub(Oscillator::Shape::Sine);
        saw.setFrequency(frequency);
        sub.setFrequency(frequency * 0.5);
        Envelope amp(0.003, 0.2, 0.75, 0.06);
        StateVariableFilter filter;
        for (std::size_t i = 0; i < gate + framesOf(0.15); ++i) {
            const double t = double(i) / sampleRate;
            const double level = amp.next(i < gate);
            if (i % controlInterval == 0) filter.set(140.0 + 1600.0 * note.velocity * std::exp(-t * 16.0), 0.35);
            const double tone = filter.lowPass(saw.next() * 0.7 + sub.next() * 0.6);
            out.add(start + i, std::tanh(tone * 1.5) * level * note.velocity * 0.55, Pan());
        }
    }
}

// Detuned saw pad: three saws per note spread across the stereo field,
// through a low-pass that breathes slowly with the demo's time.
void renderPad(const std::vector<Note>& notes, Stereo& out)
{
    int voice = 0;
    for (const Note& note : notes) {
        const std::size_t start = frameAt(note.beat), gate = frameAt(note.beat + note.length) - start;
        const double frequency = noteFrequency(note.pitch);
        const double detune = std::pow(2.0, 9.0 / 1200.0);
        ++voice;
        // Each voice starts its saws at phases of its own, so that chords do
        // not begin with every wave in step.
        auto phase = [voice](double k) { return std::fmod(k * voice, 1.0); };
        Oscillator low(Oscillator::Shape::Saw, phase(0.13)), mid(Oscillator::Shape::Saw, phase(0.57)),
            high(Oscillator::Shape::Saw, phase(0.31));
        low.setFrequency(frequency / detune);
        mid.setFrequency(frequency);
        high.setFrequency(frequency * detune);
        Envelope amp(0.9, 1.2, 0.8, 1.6);
        StateVariableFilter left, right;
        for (std::size_t i = 0; i < gate + framesOf(2.5); ++i) {
            const double seconds = double(start + i) / sampleRate;
            const double level = amp.next(i < gate);
            if (i % controlInterval == 0) {
                const double cutoff = 900.0 + 500.0 * std::sin(2.0 * pi * 0.07 * seconds);
                left.set(cutoff, 0.15);
                right.set(cutoff, 0.15);
            }
            const double centre = mid.next() * 0.5;
            const double l = left.lowPass(low.next() + centre);
            const double r = right.lowPass(high.next() + centre);
            const std::size_t frame = start + i;
            if (frame >= out.frames()) break;
            const double gain = level * note.velocity * 0.11;
            out.left[frame] += float(l * gain);
            out.right[frame] += float(r * gain);
        }
    }
}

// Plucked pulse wave: bright at the attack, closing fast.
void renderPlucks(const std::vector<Note>& notes, double brightness, Stereo& out)
{
    for (const Note& note : notes) {
        const std::size_t start = frameAt(note.beat), gate = frameAt(note.beat + note.length) - start;
        const double frequency = noteFrequency(note.pitch);
        Oscillator pulse(Oscillator::Shape::Square, 0.0, 0.35);
        pulse.setFrequency(frequency);
        const Pan pan(note.pan);
        Envelope amp(0.002, 0.25, 0.0, 0.12);
        StateVariableFilter filter;
        for (std::size_t i = 0; i < gate + framesOf(0.2); ++i) {
            const double t = double(i) / sampleRate;
            const double level = amp.next(i < gate);
            if (i % controlInterval == 0) filter.set(400.0 + brightness * note.velocity * std::exp(-t * 22.0), 0.2);
            out.add(start + i, filter.lowPass(pulse.next()) * level * note.velocity * 0.3, pan);
        }
    }
}

// The lead: two detuned saws and a square an octave down, with vibrato that
// sets in after the attack.
void renderLead(const std::vector<Note>& notes, Stereo& out)
{
    for (const Note& note : notes) {
        const std::size_t start = frameAt(note.beat), gate = frameAt(note.beat + note.length) - start;
        const double frequency = noteFrequency(note.pitch);
        Oscillator a(Oscillator::Shape::Saw, 0.0), b(Oscillator::Shape::Saw, 0.5), c(Oscillator::Shape::Square, 0.25);
        Envelope amp(0.012, 0.4, 0.7, 0.3);
        const Pan pan(0.1);
        StateVariableFilter filter;
        for (std::size_t i = 0; i < gate + framesOf(0.5); ++i) {
            const double t = double(i) / sampleRate;
            const double level = amp.next(i < gate);
            const double depth = std::fmin(std::fmax(t - 0.25, 0.0) * 2.0, 1.0) * 0.22;
            const double f = frequency * std::pow(2.0, depth * std::sin(2.0 * pi * 5.5 * t) / 12.0);
            const double tone = a.next(f * 1.0035) + b.next(f / 1.0035) + c.next(f * 0.5) * 0.4;
            if (i % controlInterval == 0) filter.set(1800.0 + 2600.0 * std::exp(-t * 5.0), 0.25);
            out.add(start + i, filter.lowPass(tone) * level * note.velocity * 0.2, pan);
        }
    }
}

// Soft triangle blips for the intro's pulse.
void renderPulse(const std::vector<Note>& notes, Stereo& out)
{
    for (const Note& note : notes) {
        const std::size_t start = frameAt(note.beat);
        Oscillator tri(Oscillator::Shape::Triangle);
        tri.setFrequency(noteFrequency(note.pitch));
        const Pan pan(note.pan);
        for (std::size_t i = 0; i < framesOf(0.35); ++i) {
            const double t = double(i) / sampleRate;
            out.add(start + i, tri.next() * std::exp(-t * 12.0) * note.velocity * 0.3, pan);
        }
    }
}

// Gain that dips after every kick, so that the pad, bass and chords breathe
// around it.
std::vector<float> duckingGain(const std::vector<std::pair<double, double>>& kicks, std::size_t frames, double depth)
{
    std::vector<float> gain(frames, 1.0f);
    for (const auto& [beat, velocity] : kicks) {
        const std::size_t start = frameAt(beat);
        for (std::size_t i = 0; i < framesOf(0.3) && start + i < frames; ++i) {
            const double t = double(i) / sampleRate;
            const double dip = 1.0 - depth * velocity * std::exp(-t / 0.09) * std::fmin(t / 0.004, 1.0);
            gain[start + i] = std::min(gain[start + i], float(dip));
        }
    }
    return gain;
}

void applyGain(Stereo& stem, const std::vector<float>& gain)
{
    for (std::size_t i = 0; i < stem.frames(); ++i) {
        stem.left[i] *= gain[i];
        stem.right[i] *= gain[i];
    }
}

// Look-ahead peak limiter: the gain each sample needs to stay under
// `ceiling`, taken as the minimum over the next 2L samples, averaged over L
// so that it ramps down before a peak, and released slowly.
void limit(Stereo& mix, double ceiling)
{
    const std::size_t lookahead = framesOf(0.004), frames = mix.frames();
    std::vector<float> needed(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const float peak = std::max(std::fabs(mix.left[i]), std::fabs(mix.right[i]));
        needed[i] = peak > ceiling ? float(ceiling / peak) : 1.0f;
    }
    // Sliding minimum over [i, i + 2L] with a monotone queue.
    std::vector<float> minimum(frames);
    std::deque<std::size_t> queue;
    const std::size_t window = 2 * lookahead;
    for (std::size_t j = frames + window; j-- > 0;) {
        if (j < frames) {
            while (!queue.empty() && needed[queue.back()] >= needed[j]) queue.pop_back();
            queue.push_back(j);
        }
        while (!queue.empty() && queue.front() > j + window) queue.pop_front();
        if (j < frames) minimum[j] = needed[queue.front()];
    }
    const double release = std::exp(-1.0 / (0.08 * sampleRate));
    double sum = 0.0, gain = 1.0;
    for (std::size_t i = 0; i < frames; ++i) {
        sum += minimum[i];
        if (i >= lookahead) sum -= minimum[i - lookahead];
        const double target = sum / double(std::min(i + 1, lookahead));
        gain = target < gain ? target : target + (gain - target) * release;
        mix.left[i] = float(std::clamp(mix.left[i] * gain, -ceiling, ceiling));
        mix.right[i] = float(std::clamp(mix.right[i] * gain, -ceiling, ceiling));
    }
}

} // namespace

double integratedLoudness(const std::vector<float>& interleaved)
{
    // K-weighting: a high shelf (+4 dB above about 1.7 kHz) and a high-pass
    // (about 38 Hz), designed for the sample rate.
    struct Biquad {
        double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
        double run(double x)
        {
            const double y = b0 * x + z1;
            z1 = b1 * x - a1 * y + z2;
            z2 = b2 * x - a2 * y;
            return y;
        }
    };
    auto shelf = [] {
        const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
        const double k = std::tan(pi * f0 / sampleRate), vh = std::pow(10.0, gainDb / 20.0),
                     vb = std::pow(vh, 0.4996667741545416), a0 = 1.0 + k / q + k * k;
        return Biquad{(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                      2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    };
    auto highPass = [] {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double k = std::tan(pi * f0 / sampleRate), a0 = 1.0 + k / q + k * k;
        return Biquad{1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    };
    const std::size_t frames = interleaved.size() / 2;
    std::vector<double> power(frames); // K-weighted power, both channels summed
    std::array<Biquad, 2> shelves = {shelf(), shelf()}, highPasses = {highPass(), highPass()};
    for (std::size_t i = 0; i < frames; ++i) {
        double sum = 0.0;
        for (std::size_t c = 0; c < 2; ++c) {
            const double y = highPasses[c].run(shelves[c].run(interleaved[i * 2 + c]));
            sum += y * y;
        }
        power[i] = sum;
    }
    // 400 ms blocks every 100 ms.
    const std::size_t block = framesOf(0.4), step = framesOf(0.1);
    std::vector<double> blocks;
    std::vector<double> prefix(frames + 1, 0.0);
    for (std::size_t i = 0; i < frames; ++i) prefix[i + 1] = prefix[i] + power[i];
    for (std::size_t at = 0; at + block <= frames; at += step)
        blocks.push_back((prefix[at + block] - prefix[at]) / block);
    auto loudness = [](double meanSquare) { return -0.691 + 10.0 * std::log10(std::max(meanSquare, 1e-20)); };
    auto gatedMean = [&](double threshold) {
        double sum = 0.0;
        std::size_t count = 0;
        for (double z : blocks)
            if (loudness(z) > threshold) {
                sum += z;
                ++count;
            }
        return count ? sum / double(count) : 0.0;
    };
    const double absolute = gatedMean(-70.0);
    if (absolute <= 0.0) return -70.0;
    return loudness(gatedMean(loudness(absolute) - 10.0));
}

std::vector<float> renderSoundtrack()
{
    const Score score = compose();
    const std::size_t frames = framesOf(soundtrackSeconds);

    Stereo kick(frames), drums(frames), bass(frames), pad(frames), plucks(frames), lead(frames), effects(frames),
        pulse(frames);
    // The pad costs about as much as everything else together: it renders on
    // a second thread. Each stem is written by one thread only.
    std::thread padThread([&] { renderPad(score.pad, pad); });
    renderKicks(score.kicks, kick);
    renderSnares(score.snares, drums);
    renderHats(score.closedHats, 70.0, 0.08, 0.3, drums);
    renderHats(score.openHats, 9.0, 0.35, -0.25, drums);
    renderCrashes(score.crashes, drums);
    renderImpacts(score.impacts, effects);
    renderRisers(score.risers, effects);
    renderBass(score.bass, bass);
    renderPlucks(score.plucks, 5200.0, plucks);
    renderLead(score.lead, lead);
    renderPulse(score.pulse, pulse);
    padThread.join();

    const std::vector<float> duck = duckingGain(score.kicks, frames, 0.55);
    applyGain(pad, duck);
    applyGain(plucks, duck);
    applyGain(bass, duckingGain(score.kicks, frames, 0.3));

    // Sends: echoes for the lead, plucks and pulse; a hall for almost
    // everything, the impacts most.
    Stereo delaySend(frames), echoes(frames);
    delaySend.mix(lead, 0.35);
    delaySend.mix(plucks, 0.3);
    delaySend.mix(pulse, 0.45);
    pingPongDelay(delaySend, echoes, 0.75 * beatSeconds, 0.42, 0.35); // a dotted eighth
    Stereo reverbSend(frames), hall(frames);
    reverbSend.mix(pad, 0.25);
    reverbSend.mix(lead, 0.3);
    reverbSend.mix(plucks, 0.25);
    reverbSend.mix(drums, 0.08);
    reverbSend.mix(effects, 0.6);
    reverbSend.mix(echoes, 0.3);
    reverbSend.mix(pulse, 0.4);
    hallReverb(reverbSend, hall, 0.85, 0.45);

    Stereo mix(frames);
    mix.mix(kick, 1.0);
    mix.mix(drums, 0.9);
    mix.mix(bass, 1.0);
    mix.mix(pad, 0.9);
    mix.mix(plucks, 0.8);
    mix.mix(lead, 0.9);
    mix.mix(effects, 0.8);
    mix.mix(pulse, 0.9);
    mix.mix(echoes, 0.6);
    mix.mix(hall, 1.2);

    // Master: no rumble, then to the target loudness, then the limiter.
    StateVariableFilter rumbleLeft, rumbleRight;
    rumbleLeft.set(25.0, 0.0);
    rumbleRight.set(25.0, 0.0);
    for (std::size_t i = 0; i < frames; ++i) {
        mix.left[i] = float(rumbleLeft.highPass(mix.left[i]));
        mix.right[i] = float(rumbleRight.highPass(mix.right[i]));
    }
    std::vector<float> interleaved(frames * 2);
    auto interleave = [&] {
        for (std::size_t i = 0; i < frames; ++i) {
            interleaved[i * 2] = mix.left[i];
            interleaved[i * 2 + 1] = mix.right[i];
        }
    };
    interleave();
    const double gain = decibels(soundtrackLoudness - integratedLoudness(interleaved));
    for (std::size_t i = 0; i < frames; ++i) {
        mix.left[i] = float(mix.left[i] * gain);
        mix.right[i] = float(mix.right[i] * gain);
    }
    limit(mix, decibels(soundtrackCeiling));

    // Fade out from 141 s to silence at 147.5 s.
    const std::size_t fadeStart = framesOf(141.0), fadeEnd = framesOf(147.5);
    for (std::size_t i = fadeStart; i < frames; ++i) {
        const double x = i >= fadeEnd ? 1.0 : double(i - fadeStart) / double(fadeEnd - fadeStart);
        const float g = float(0.5 + 0.5 * std::cos(pi * x));
        mix.left[i] *= g;
        mix.right[i] *= g;
    }
    interleave();
    return interleaved;
}

} // namespace ORV::Content::Audio
