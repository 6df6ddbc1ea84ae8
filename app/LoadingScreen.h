// The loading screen: every asset the registry has queued is loaded, one per
// drawn frame, under a progress bar. Drawn with pre-transformed coloured
// vertices through the device, so it needs no asset of its own.
//
// Main thread only.
#pragma once

namespace ORV::Gfx {
class Device;
}

namespace ORV::Demo {

// Loads the queued assets one per frame of the current display, drawing the
// bar after each, until the last is loaded (that frame is presented by the
// next nextFrame) or the window closes (what is not loaded yet stays
// missing). Changes no render state.
void showLoadingProgress();

// One frame of the screen on a width x height target (pixels): black, the
// bar's white border and black inside, and the white fill for `progress`
// (0: none, 1: full).
void drawLoadingScreen(Gfx::Device& device, float width, float height, float progress);

} // namespace ORV::Demo
