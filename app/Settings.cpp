#include "app/Settings.h"

namespace ORV::Demo {

std::int32_t screenWidth = 800;
std::int32_t screenHeight = 600;
bool fullScreen = true;
Display* currentDisplay = nullptr;

} // namespace ORV::Demo
