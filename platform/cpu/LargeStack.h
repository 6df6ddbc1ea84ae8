// Runs a piece of work on a thread of its own with a stack of a given size,
// and waits for it: for libraries whose recursion grows with their input
// (glslang's HLSL front end, SPIRV-Cross), so that the bound on the input
// sits far below what overflows the stack, whichever thread calls.
#pragma once

#include <cstddef>
#include <functional>

namespace ORV::Platform {

// Calls work on a new thread whose stack holds stackBytes (reserved address
// space; pages are committed as they are touched), and returns when it
// returns. An exception thrown by work is rethrown here. When no such thread
// can be made, work runs on the calling thread instead.
void runWithStack(std::size_t stackBytes, const std::function<void()>& work);

} // namespace ORV::Platform
