#include "platform/cpu/Clock.h"

#include <chrono>
#include <thread>

#if defined(_MSC_VER) && defined(_M_X64)
#include <intrin.h>
#endif

namespace ORV::Platform {

std::uint64_t readTimeStampCounter()
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // CPUID and RDTSC in one asm block: the compiler cannot move the counter
    // read away from the serialising instruction. CPUID clobbers all four
    // general registers; RDTSC leaves the halves in edx:eax.
    std::uint32_t low = 0; // leaf 0 in, low half out
    std::uint32_t sub = 0; // sub-leaf in, clobbered by CPUID
    std::uint32_t high = 0;
    asm volatile("cpuid\n\t"
                 "rdtsc"
                 : "+a"(low), "+c"(sub), "=d"(high)
                 :
                 : "rbx", "memory");
    return (static_cast<std::uint64_t>(high) << 32) | low;
#elif defined(_MSC_VER) && defined(_M_X64)
    int registers[4];
    __cpuid(registers, 0);
    return __rdtsc();
#else
    return monotonicNanoseconds();
#endif
}

std::uint64_t monotonicNanoseconds()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

void sleepMilliseconds(std::uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace ORV::Platform
