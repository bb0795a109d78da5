// What the fuzz targets share: a failed check stops the run at its cause, and a
// scratch registry that lasts as long as the run.
#pragma once

#include "scratch_registry.h"

#include <cstdlib>

namespace fuzz {

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Created on first use (selecting the registry through MORVANE_REGISTRY) and
// removed when the process exits.
inline const morvane::test::ScratchRegistry &scratch_registry()
{
    static const morvane::test::ScratchRegistry registry;
    return registry;
}

} // namespace fuzz
