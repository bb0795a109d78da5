// The machine as Windows describes it: processor architecture and model, page
// size, the range of addresses a process may use, and the online processors.
#include <winbase.h>

#include <climits>
#include <cstdint>
#include <fstream>

#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

struct Processor {
    WORD architecture;
    DWORD type;
    WORD level;
    WORD revision;
};

// Family, model and stepping as Windows reports them for x86: the level is
// the family, the revision is model * 256 + stepping.
Processor describe_processor()
{
#if defined(__x86_64__) || defined(__i386__)
#if defined(__x86_64__)
    Processor processor{PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_AMD_X8664, 0, 0};
#else
    Processor processor{PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_INTEL_PENTIUM, 0, 0};
#endif
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
        unsigned family = (eax >> 8) & 0xF;
        unsigned model = (eax >> 4) & 0xF;
        const unsigned stepping = eax & 0xF;
        if (family == 0xF)
            family += (eax >> 20) & 0xFF;
        if (family == 0x6 || family >= 0xF)
            model += ((eax >> 16) & 0xF) << 4;
        processor.level = static_cast<WORD>(family);
        processor.revision = static_cast<WORD>((model << 8) | stepping);
    }
    return processor;
#elif defined(__aarch64__)
    return {PROCESSOR_ARCHITECTURE_ARM64, 0, 0, 0};
#else
    return {PROCESSOR_ARCHITECTURE_UNKNOWN, 0, 0, 0};
#endif
}

// The lowest address a mapping may take, as the kernel enforces it.
std::uintptr_t lowest_mappable_address(DWORD page_size)
{
    std::ifstream limit("/proc/sys/vm/mmap_min_addr");
    unsigned long long address = 0;
    if (limit >> address && address >= page_size)
        return static_cast<std::uintptr_t>(address);
    return page_size;
}

// The highest user address: the top of the lower half of the virtual address
// space that the kernel hands out by default.
std::uintptr_t highest_user_address()
{
#if defined(__x86_64__) || defined(__aarch64__)
    return (std::uintptr_t(1) << 47) - 1;
#else
    return UINTPTR_MAX >> 1;
#endif
}

} // namespace

EXTERN_C void GetSystemInfo(LPSYSTEM_INFO lpSystemInfo)
{
    if (lpSystemInfo == nullptr)
        return;
    const long page = sysconf(_SC_PAGESIZE);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    const DWORD page_size = page > 0 ? static_cast<DWORD>(page) : 4096;
    const DWORD processors = online > 0 ? static_cast<DWORD>(online) : 1;
    const Processor processor = describe_processor();

    SYSTEM_INFO info{};
    info.wProcessorArchitecture = processor.architecture;
    info.dwPageSize = page_size;
    info.lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(lowest_mappable_address(page_size));
    info.lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(highest_user_address());
    constexpr DWORD mask_bits = sizeof(DWORD_PTR) * CHAR_BIT;
    info.dwActiveProcessorMask = processors >= mask_bits ? ~DWORD_PTR(0) : (DWORD_PTR(1) << processors) - 1;
    info.dwNumberOfProcessors = processors;
    info.dwProcessorType = processor.type;
    // Mappings are placed at page granularity here, not at the 64 KiB of Windows.
    info.dwAllocationGranularity = page_size;
    info.wProcessorLevel = processor.level;
    info.wProcessorRevision = processor.revision;
    *lpSystemInfo = info;
}
