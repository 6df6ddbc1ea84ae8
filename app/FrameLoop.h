// The main function's frame loop, separate from start-up so that it can be
// driven with any frame step and clock.
#pragma once

namespace ORV::Demo {

class Display;
class FrameTimer;

using DemoFrameStep = bool (*)(float time, float delta);

// Runs frames until the demo has nothing left to play and its time has reached
// the demo end time, or the display's nextFrame reports the window closing.
// The timer must have been started. Each frame: d = the timer's delta (0 on
// the first), T += d in single precision, the frame step draws, the timer
// ticks, nextFrame presents. Returns the demo time reached.
float runFrameLoop(Display& display, FrameTimer& timer, DemoFrameStep runDemoFrame);

} // namespace ORV::Demo
