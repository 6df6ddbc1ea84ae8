#include "app/FrameLoop.h"

#include "app/FrameTimer.h"
#include "app/Settings.h"
#include "display/Display.h"

namespace ORV::Demo {

float runFrameLoop(Display& display, FrameTimer& timer, DemoFrameStep runDemoFrame)
{
    float time = 0.0f;
    if (!display.nextFrame()) return time;
    for (;;) {
        const float delta = timer.deltaSeconds();
        time = time + delta;
        const bool playing = runDemoFrame(time, delta);
        // Ends only when nothing plays and the script's time is over; a demo
        // that stops early shows cleared frames until then.
        if (!playing && time >= demoEndTime) break;
        timer.tick();
        if (!display.nextFrame()) break;
    }
    return time;
}

} // namespace ORV::Demo
