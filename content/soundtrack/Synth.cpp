#include "content/soundtrack/Synth.h"

#include <array>
#include <thread>

namespace ORV::Content::Audio {

void pingPongDelay(const Stereo& in, Stereo& out, double seconds, double feedback, double damping)
{
    const std::size_t length = std::size_t(seconds * sampleRate);
    std::vector<float> left(length, 0.0f), right(length, 0.0f);
    double lowLeft = 0.0, lowRight = 0.0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < in.frames(); ++i) {
        const double echoLeft = left[at], echoRight = right[at];
        out.left[i] += float(echoLeft);
        out.right[i] += float(echoRight);
        // Each repeat crosses sides and loses some top end.
        lowLeft += (echoRight - lowLeft) * (1.0 - damping);
        lowRight += (echoLeft - lowRight) * (1.0 - damping);
        // The input enters on the left only, so the echoes alternate sides.
        left[at] = float((in.left[i] + in.right[i]) * 0.5 + lowLeft * feedback);
        right[at] = float(lowRight * feedback);
        if (++at == length) at = 0;
    }
}

namespace {

class Comb {
public:
    explicit Comb(std::size_t length) : buffer_(length, 0.0f) {}
    float process(float input, float feedback, float damping)
    {
        const float output = buffer_[at_];
        store_ = output * (1.0f - damping) + store_ * damping;
        buffer_[at_] = input + store_ * feedback;
        if (++at_ == buffer_.size()) at_ = 0;
        return output;
    }

private:
    std::vector<float> buffer_;
    std::size_t at_ = 0;
    float store_ = 0.0f;
};

class AllPass {
public:
    explicit AllPass(std::size_t length) : buffer_(length, 0.0f) {}
    float process(float input)
    {
        const float delayed = buffer_[at_];
        buffer_[at_] = input + delayed * 0.5f;
        if (++at_ == buffer_.size()) at_ = 0;
        return delayed - input;
    }

private:
    std::vector<float> buffer_;
    std::size_t at_ = 0;
};

// Delay lengths in samples at 44.1 kHz, mutually prime-ish so that the
// echoes do not line up into a metallic ring.
constexpr std::array<std::size_t, 8> combLengths = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<std::size_t, 4> allPassLengths = {556, 441, 341, 225};
constexpr std::size_t stereoSpread = 23;

void reverbChannel(const Stereo& in, std::vector<float>& out, std::size_t spread, float feedback, float damping)
{
    std::vector<Comb> combs;
    std::vector<AllPass> allPasses;
    for (std::size_t length : combLengths) combs.emplace_back(length + spread);
    for (std::size_t length : allPassLengths) allPasses.emplace_back(length + spread);
    for (std::size_t i = 0; i < in.frames(); ++i) {
        const float input = (in.left[i] + in.right[i]) * 0.015f;
        float sum = 0.0f;
        for (Comb& comb : combs) sum += comb.process(input, feedback, damping);
        for (AllPass& allPass : allPasses) sum = allPass.process(sum);
        out[i] += sum;
    }
}

} // namespace

void hallReverb(const Stereo& in, Stereo& out, double roomSize, double damping)
{
    const float feedback = float(roomSize * 0.28 + 0.7);
    const float damp = float(damping * 0.4);
    // The channels are independent: the right one runs on a second thread.
    std::thread right([&] { reverbChannel(in, out.right, stereoSpread, feedback, damp); });
    reverbChannel(in, out.left, 0, feedback, damp);
    right.join();
}

} // namespace ORV::Content::Audio
