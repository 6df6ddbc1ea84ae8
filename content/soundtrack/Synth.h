// The soundtrack's synthesis building blocks: band-limited oscillators,
// envelopes, filters, noise, and the delay and reverb of the mix. Each block
// is a small value type that makes one sample per call at the sample rate
// below; nothing allocates per sample. Deterministic: the noise source is a
// seeded generator of our own, so a piece renders to the same samples on
// every run.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace ORV::Content::Audio {

constexpr int sampleRate = 44100;
constexpr double pi = 3.14159265358979323846;

// Frequency in hertz of a MIDI note number (69 = A4 = 440 Hz).
inline double noteFrequency(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

inline double decibels(double db)
{
    return std::pow(10.0, db / 20.0);
}

// xorshift32: white noise in [-1, 1), the same sequence for the same seed.
class Noise {
public:
    explicit Noise(std::uint32_t seed = 0x9E3779B9u) : state_(seed ? seed : 1) {}
    float next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return float(state_ >> 8) * (2.0f / 16777216.0f) - 1.0f;
    }

private:
    std::uint32_t state_;
};

// The polynomial band-limited step: the correction that takes a naive
// waveform's discontinuity at phase 0 down to a smooth step over one sample
// either side, which removes most of the aliasing of saw and square waves.
inline double polyBlep(double phase, double increment)
{
    if (phase < increment) {
        const double t = phase / increment;
        return t + t - t * t - 1.0;
    }
    if (phase > 1.0 - increment) {
        const double t = (phase - 1.0) / increment;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// Phase-accumulating oscillator; frequency may change every sample.
class Oscillator {
public:
    enum class Shape : std::uint8_t { Sine, Saw, Square, Triangle };
    explicit Oscillator(Shape shape = Shape::Saw, double phase = 0.0, double pulseWidth = 0.5)
        : shape_(shape), phase_(phase), width_(pulseWidth)
    {}
    // A fixed frequency for next(): the cheap form for notes that hold pitch.
    void setFrequency(double frequency) { increment_ = std::fmin(frequency / sampleRate, 0.5); }
    double next() { return step(increment_); }
    // A frequency for this sample only.
    double next(double frequency) { return step(std::fmin(frequency / sampleRate, 0.5)); }

private:
    double step(double increment)
    {
        double out = 0.0;
        switch (shape_) {
        case Shape::Sine: out = std::sin(2.0 * pi * phase_); break;
        case Shape::Saw: out = 2.0 * phase_ - 1.0 - polyBlep(phase_, increment); break;
        case Shape::Square:
        case Shape::Triangle: {
            double shifted = phase_ + 1.0 - width_;
            if (shifted >= 1.0) shifted -= 1.0;
            out = (phase_ < width_ ? 1.0 : -1.0) + polyBlep(phase_, increment) - polyBlep(shifted, increment);
            if (shape_ == Shape::Triangle) {
                // A leaky integral of the band-limited square.
                triangle_ = increment * 4.0 * out + (1.0 - increment * 0.05) * triangle_;
                out = triangle_;
            }
            break;
        }
        }
        phase_ += increment;
        if (phase_ >= 1.0) phase_ -= 1.0;
        return out;
    }

    Shape shape_;
    double increment_ = 0.0;
    double phase_;
    double width_;
    double triangle_ = 0.0;
};

// Attack, decay, sustain, release; times in seconds. The level follows the
// gate: attack linear to 1, decay exponential towards sustain, release
// exponential from wherever the level is when the gate closes.
class Envelope {
public:
    Envelope(double attack, double decay, double sustain, double release)
        : attackStep_(1.0 / std::fmax(attack * sampleRate, 1.0)), decay_(coefficient(decay)), sustain_(sustain),
          release_(coefficient(release))
    {}
    double next(bool gate)
    {
        if (!gate) {
            level_ *= release_;
            attacking_ = false;
        } else if (attacking_) {
            level_ += attackStep_;
            if (level_ >= 1.0) {
                level_ = 1.0;
                attacking_ = false;
            }
        } else {
            level_ = sustain_ + (level_ - sustain_) * decay_;
        }
        return level_;
    }
    double level() const { return level_; }

private:
    // Per-sample factor that leaves 1/1000 of a distance after `seconds`.
    static double coefficient(double seconds)
    {
        return std::exp(std::log(0.001) / std::fmax(seconds * sampleRate, 1.0));
    }
    double attackStep_, decay_, sustain_, release_;
    double level_ = 0.0;
    bool attacking_ = true;
};

// The state-variable filter in its trapezoidal (zero-delay feedback) form:
// stable under fast cutoff changes, with low-, band- and high-pass outputs.
// Setting the cutoff costs a tangent, so voices whose cutoff moves set it
// every few samples rather than every sample.
class StateVariableFilter {
public:
    struct Outputs {
        double low, band, high;
    };
    // resonance: 0 (none) .. about 0.95 (ringing).
    void set(double cutoff, double resonance)
    {
        const double g = std::tan(pi * std::fmin(cutoff, sampleRate * 0.45) / sampleRate);
        k_ = 2.0 - 2.0 * resonance;
        a1_ = 1.0 / (1.0 + g * (g + k_));
        a2_ = g * a1_;
        a3_ = g * a2_;
    }
    Outputs process(double input)
    {
        const double v3 = input - ic2_;
        const double v1 = a1_ * ic1_ + a2_ * v3;
        const double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
        ic1_ = 2.0 * v1 - ic1_;
        ic2_ = 2.0 * v2 - ic2_;
        return {v2, v1, input - k_ * v1 - v2};
    }
    double lowPass(double input) { return process(input).low; }
    double highPass(double input) { return process(input).high; }
    double bandPass(double input) { return process(input).band; }

private:
    double k_ = 2.0, a1_ = 1.0, a2_ = 0.0, a3_ = 0.0;
    double ic1_ = 0.0, ic2_ = 0.0;
};

// How often (in samples) voices recompute a moving filter cutoff.
constexpr std::size_t controlInterval = 16;

// Constant-power placement: -1 left, 0 centre, 1 right.
struct Pan {
    explicit Pan(double position = 0.0)
        : left(std::cos((position + 1.0) * 0.25 * pi)), right(std::sin((position + 1.0) * 0.25 * pi))
    {}
    double left, right;
};

// A stereo buffer: left and right sample arrays of one length.
struct Stereo {
    explicit Stereo(std::size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
    std::size_t frames() const { return left.size(); }
    // Adds a mono sample at `frame` with the gains of a Pan.
    void add(std::size_t frame, double sample, const struct Pan& pan);
    void mix(const Stereo& other, double gain)
    {
        for (std::size_t i = 0; i < left.size() && i < other.left.size(); ++i) {
            left[i] += float(other.left[i] * gain);
            right[i] += float(other.right[i] * gain);
        }
    }
    std::vector<float> left, right;
};

inline void Stereo::add(std::size_t frame, double sample, const Pan& pan)
{
    if (frame >= left.size()) return;
    left[frame] += float(sample * pan.left);
    right[frame] += float(sample * pan.right);
}

// A tempo-synced stereo echo: the left channel's echo feeds the right and the
// other way round, each pass darker than the last.
void pingPongDelay(const Stereo& in, Stereo& out, double seconds, double feedback, double damping);

// A dense hall reverb (eight damped comb filters and four all-passes per
// channel, the right channel's delays slightly longer for width).
void hallReverb(const Stereo& in, Stereo& out, double roomSize, double damping);

} // namespace ORV::Content::Audio
