// What the benchmark programs do around their benchmarks.
#pragma once

#include "registered_module.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>

namespace morvane::bench {

// Reads the benchmark library's options, then runs body, which runs the
// benchmarks: 1 for an unknown option, otherwise body's status.
inline int run(int argc, char **argv, const std::function<int()> &body)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const int status = body();
    benchmark::Shutdown();
    return status;
}

inline int run_all()
{
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

// Registers the component file in a scratch registry and runs body on a thread
// of the multithreaded component system: 1 when either cannot be had.
inline int with_registered_component(const char *module_path, const std::function<int()> &body)
{
    test::RegisteredModule module(module_path);
    if (module.registration() != S_OK) {
        std::fprintf(stderr, "registering %s failed: 0x%08X\n", module_path,
                     static_cast<unsigned>(module.registration()));
        return 1;
    }
    if (CoInitializeEx(nullptr, COINIT_MULTITHREADED) != S_OK)
        return 1;
    const int status = body();
    CoUninitialize();
    return status;
}

} // namespace morvane::bench
