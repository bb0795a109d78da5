// How many extra heaps the module spreads its allocations over.
#include "server/module_heap.h"

#include <bit>
#include <cstdint>

namespace morvane {

// NT 5 and later have a heap that scales across processors by itself, and a
// single processor has nothing to spread over.
DWORD module_heap_extra_count(const OSVERSIONINFOA &version, const SYSTEM_INFO &system)
{
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5)
        return 0;
    if (system.dwNumberOfProcessors <= 1)
        return 0;
    // The mask keeps one bit below the highest set bit of twice the count, so
    // mask + 1 is the largest power of two not above twice the count.
    const auto doubled = static_cast<std::uint32_t>(2u * system.dwNumberOfProcessors);
    const int leading_zeros = std::countl_zero(doubled);
    const std::uint32_t mask = leading_zeros >= 32 ? 0 : (UINT32_MAX >> leading_zeros) >> 1;
    return mask + 1;
}

} // namespace morvane
