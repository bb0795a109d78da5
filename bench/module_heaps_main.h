// The main routine of the benchmarks that use the tracker outside a loaded module:
// the module's load step sets up its heaps before any object exists, so they do too.
#pragma once

#include "benchmark_main.h"
#include "server/module_heap.h"

namespace morvane::bench {

inline int run_with_module_heaps(int argc, char **argv)
{
    if (!module_heap_setup())
        return 1;
    const int status = run(argc, argv, run_all);
    module_heap_teardown();
    return status;
}

} // namespace morvane::bench
