// The demo's own work, entered by the main function at three fixed points.
#pragma once

namespace ORV::Demo {

// Runs once after the display exists and before the frame timer starts. May
// draw frames of its own through the display (the loading screen).
void startDemo();
// Updates and draws one frame at demo time t (seconds) after a frame of
// delta seconds; false when nothing is left to play.
bool runDemoFrame(float t, float delta);
// Runs once after the frame loop, before the display is destroyed.
void stopDemo();

} // namespace ORV::Demo
