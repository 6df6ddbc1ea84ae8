// GL access for the graphics layer's own sources: the loader and the checked
// call macro. Never included outside platform/gfx.
#pragma once

#include <epoxy/gl.h>

namespace ORV::Gfx::detail {

// Reports (to standard error) and clears every pending GL error, naming the
// call and where it was made, then asserts that none but GL_OUT_OF_MEMORY was
// among them. Returns true when there was none.
bool checkGlErrors(const char* call, const char* file, int line);

} // namespace ORV::Gfx::detail

// GL_CHECK(glFoo(...)): in the Debug and sanitizer builds every GL call is
// followed by an error check that names the call and stops on misuse; the
// Release build runs the call alone.
#if defined(ORV_GL_CHECKS)
#define GL_CHECK(call)                                                                                                 \
    do {                                                                                                               \
        call;                                                                                                          \
        ::ORV::Gfx::detail::checkGlErrors(#call, __FILE__, __LINE__);                                                  \
    } while (0)
#else
#define GL_CHECK(call) call
#endif
