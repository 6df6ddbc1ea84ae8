// The demo's entry: start-up in its fixed order, the frame loop, shutdown.
#include "app/Demo.h"
#include "app/EffectFailure.h"
#include "app/FrameLoop.h"
#include "app/FrameTimer.h"
#include "app/Settings.h"
#include "console/ProcessorInfo.h"
#include "display/Display.h"
#include "platform/cpu/Clock.h"
#include "platform/window/Window.h"
#include "resources/Shader.h"

#include <cstdio>

using namespace ORV;
using namespace ORV::Demo;

int main()
{
    setEffectFailureHandler(stopOnEffectFailure); // the demo cannot play without its effects
    const Core::ProcessorInfo processor; // measures the clock: one second
    screenWidth = 640;
    screenHeight = 480;

    // The window and its device are destroyed before main returns, after the
    // demo has released what it created on them.
    {
        Display display;
        if (!display.createWindow(screenWidth, screenHeight, fullScreen, false)) {
            // Without a display the demo can still be rendered to a file.
            std::fprintf(stderr,
                         "demo: %s; the demo needs a display to play.\n"
                         "Without one, render it to a video with its soundtrack: ./demo capture [OUT.mp4]\n",
                         Display::lastError());
            return 1;
        }
        // SDL can only hide the cursor of a window that exists, so this comes
        // right after the window rather than before it.
        Platform::showCursor(false);

        setDemoRenderStates();
        currentDisplay = &display;
        Platform::sleepMilliseconds(1000);

        startDemo();
        FrameTimer timer;
        timer.start();
        runFrameLoop(display, timer, runDemoFrame);

        Platform::showCursor(true);
        stopDemo();
        currentDisplay = nullptr;
    }
    return 0;
}
