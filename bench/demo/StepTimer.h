// Times the post-processing chain's steps (scene passes, outline, glow,
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
    enum Step { ScenePasses, Outline, Glow, Final, StepCount };
    static constexpr const char* names[StepCount] = {"scene passes", "outline", "glow", "final"};

    // Around one drawing of the chain; the times of that frame are then in
    // frame().
    void beginFrame()
    {
        finishGl();
        frame_ = {};
        step_ = ScenePasses;
        last_ = Clock::now();
    }
    void endFrame() { charge(); }
    const std::array<double, StepCount>& frame() const { return frame_; } // milliseconds

    void onChainEvent(const Demo::ChainEvent& event) override
    {
        Step next = step_;
        if (event.kind == Demo::ChainEvent::Kind::PushPass) next = ScenePasses;
        if (event.kind == Demo::ChainEvent::Kind::FullScreenPass)
            next = event.name == "outline" ? Outline : event.name == "final" ? Final : Glow;
        if (next == step_) return;
        charge();
        step_ = next;
    }

private:
    void charge()
    {
        finishGl();
        const Clock::time_point now = Clock::now();
        frame_[std::size_t(step_)] += std::chrono::duration<double, std::milli>(now - last_).count();
        last_ = now;
    }
    Step step_ = ScenePasses;
    Clock::time_point last_;
    std::array<double, StepCount> frame_{};
};

} // namespace ORV::Bench
