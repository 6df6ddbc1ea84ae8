// The sanitizer runtimes' defaults for every program of the sanitizer build:
// test programs, the tools they run and the children of death tests alike,
// however they are started. The runtimes look these functions up at start-up.

extern "C" {

// Leaks are checked at exit; a use of a stack frame after its function
// returned, or of a global before it is initialised, is reported too.
// Dynamic TLS blocks are not tracked (intercept_tls_get_addr=0): ASan's record
// of them goes stale once glibc moves a thread's block table for a library
// loaded later (the GL driver, glslang's thread-locals first touched on the
// effect compiler's thread), and the leak check then reads a garbage range
// and dies ("Tracer caught signal 11") after every test has passed. Static TLS
// and every stack and heap block are still scanned.
const char* __asan_default_options()
{
    return "detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1:"
           "intercept_tls_get_addr=0";
}

// Undefined behaviour stops the program with a stack, so the test fails.
const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

// Leak reports let through: only those whose stack lies in a library we do not
// build, each with the reason.
const char* __lsan_default_suppressions()
{
    // Mesa's GL drivers (swrast_dri.so with llvmpipe, Mesa 22.3): a program
    // that leaves while the driver's worker threads still hold blocks only on
    // their stacks (a death test's child, which has no such threads, or an
    // exit without closing the display) has those blocks reported. The driver
    // is kept loaded in this build (see the window) so that the frames are
    // named after it. A plain SDL + GL program that draws one triangle shows
    // the same reports, so they are not GL objects we forget to delete.
    return "leak:_dri.so\n";
}

} // extern "C"
