// Times the post-processing chain's steps (the five scene drawings: ambient,
// shade, depthdist, the depth-only ambient and emissive; then outline, glow,
// final) as a chain observer: at each step boundary it waits for the GPU and
// charges the time since the previous boundary to the step that was running.
// The waits cost a little, so the steps add up to slightly more than a frame
// measured without them.
#pragma once

#include "app/Compositor.h"
#include "bench/render/PlainGlFrame.h"

#include <array>
#include <chrono>
#include <cstddef>

namespace ORV::Bench {

class StepTimer : public Demo::ChainObserver {
public:
    using Clock = std::chrono::steady_clock;
    enum Step { Ambient, Shade, DepthDist, DepthOnly, Emissive, Outline, Glow, Final, StepCount };
    static constexpr int sceneStepCount = 5; // Ambient .. Emissive
    static constexpr const char* names[StepCount] = {"ambient",  "shade",   "depthdist", "z-only",
                                                     "emissive", "outline", "glow",      "final"};

    // Around one drawing of the chain; the times of that frame are then in
    // frame().
    void beginFrame()
    {
        finishGl();
        frame_ = {};
        step_ = Ambient;
        colorWrites_ = true;
        last_ = Clock::now();
    }
    void endFrame() { charge(); }
    const std::array<double, StepCount>& frame() const { return frame_; } // milliseconds
    double scenePasses() const
    {
        double sum = 0;
        for (int s = 0; s < sceneStepCount; ++s) sum += frame_[std::size_t(s)];
        return sum;
    }

    void onChainEvent(const Demo::ChainEvent& event) override
    {
        using Kind = Demo::ChainEvent::Kind;
        if (event.kind == Kind::ColorWrites) colorWrites_ = event.color != 0;
        Step next = step_;
        if (event.kind == Kind::PushPass) next = sceneStep(event.pass);
        if (event.kind == Kind::FullScreenPass)
            next = event.name == "outline" ? Outline : event.name == "final" ? Final : Glow;
        if (next == step_) return;
        charge();
        step_ = next;
    }

private:
    Step sceneStep(Demo::PassId pass) const
    {
        if (pass == Demo::ambientPass) return colorWrites_ ? Ambient : DepthOnly;
        if (pass == Demo::shadePass) return Shade;
        if (pass == Demo::depthDistPass) return DepthDist;
        return Emissive;
    }
    void charge()
    {
        finishGl();
        const Clock::time_point now = Clock::now();
        frame_[std::size_t(step_)] += std::chrono::duration<double, std::milli>(now - last_).count();
        last_ = now;
    }
    Step step_ = Ambient;
    bool colorWrites_ = true;
    Clock::time_point last_;
    std::array<double, StepCount> frame_{};
};

} // namespace ORV::Bench
