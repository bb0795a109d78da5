// MORVANE_ASSERT(condition): checks an invariant in debug and sanitizer builds and stops
// the process at the broken invariant, naming it; compiled out of release builds, where
// the condition is not evaluated. For invariants only: never for input checks, which
// every build must make.
#pragma once

#if defined(MORVANE_ASSERTIONS)
#include <cstdio>
#include <cstdlib>

#define MORVANE_ASSERT(condition)                                                       \
    do {                                                                                \
        if (!(condition)) {                                                             \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,   \
                         #condition);                                                   \
            std::abort();                                                               \
        }                                                                               \
    } while (false)
#else
#define MORVANE_ASSERT(condition) static_cast<void>(sizeof(!(condition)))
#endif
