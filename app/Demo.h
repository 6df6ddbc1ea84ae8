// The demo's own work, entered by the main function at three fixed points,
// and what a program that plays the demo without the main function (the
// capture tool, benchmarks) needs to do the same.
#pragma once

namespace ORV::Demo {

class ChainObserver;

// Runs once after the display exists and before the frame timer starts. May
// draw frames of its own through the display (the loading screen).
void startDemo();
// Updates and draws one frame at demo time t (seconds) after a frame of
// delta seconds; false when nothing is left to play.
bool runDemoFrame(float t, float delta);
// Runs once after the frame loop, before the display is destroyed.
void stopDemo();

// The render states every frame starts from (depth test on with writes,
// LessEqual, counter-clockwise faces culled, lighting on), set on the
// current display's device once it exists, before startDemo.
void setDemoRenderStates();

// Watches the post-processing chain's steps from the next frame on (null
// stops). Between startDemo and stopDemo; the observer is not owned.
void setDemoChainObserver(ChainObserver* observer);

} // namespace ORV::Demo
