// What the fuzz targets share: checks that stop the run, a scratch registry for the run.
#pragma once

#include "scratch_registry.h"

#include <cstdlib>

namespace fuzz {

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Created on first use (selected through MORVANE_REGISTRY), removed when the process exits.
inline const morvane::test::ScratchRegistry &scratch_registry()
{
    static const morvane::test::ScratchRegistry registry;
    return registry;
}

} // namespace fuzz
