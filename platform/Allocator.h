// Process start-up tuning of the C allocator for the software GL rasteriser.
#pragma once

namespace ORV::Platform {

// Fixes glibc's mmap and trim thresholds. Without it llvmpipe's per-frame
// buffers are mapped and unmapped every frame once the adaptive thresholds have
// moved, which halves the frame rate. Call once, before any GL context exists.
// Returns whether the thresholds were set (false on a C library without them).
bool tuneAllocator();

} // namespace ORV::Platform
