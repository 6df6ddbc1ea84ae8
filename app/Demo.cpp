#include "app/Demo.h"

namespace ORV::Demo {

// No segments exist yet: the demo has nothing to play, so the frame loop shows
// cleared frames until the demo end time.
void startDemo() {}

bool runDemoFrame(float, float)
{
    return false;
}

void stopDemo() {}

} // namespace ORV::Demo
