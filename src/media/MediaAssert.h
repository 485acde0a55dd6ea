#pragma once
// ZR_ASSERT(cond): checks a threading or state precondition of the media service. Active where
// ZR_MEDIA_ASSERTS is defined (the test and sanitizer builds define it; see CMakeLists.txt), a
// no-op otherwise. A failed check names itself on stderr and aborts, so a test run stops at the
// broken precondition instead of somewhere later.

#if defined(ZR_MEDIA_ASSERTS)
#include <cstdio>
#include <cstdlib>
#define ZR_ASSERT(cond)                                                                            \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: precondition failed: %s\n", __FILE__, __LINE__, #cond);   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
#else
#define ZR_ASSERT(cond)                                                                            \
    do {                                                                                           \
        (void)sizeof(cond);                                                                        \
    } while (false)
#endif
