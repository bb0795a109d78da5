// Activations and late-bound calls keep nothing per call: after a warm-up, a
// hundred thousand of each leave the process's resident memory where it was.
#include "by_name.h"
#include "registered_module.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MORVANE_KEEPS_FREED_MEMORY 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MORVANE_KEEPS_FREED_MEMORY 1
#endif

namespace {

long resident_bytes()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

TEST(ResidentMemory, StaysFlatOverActivationsAndLateBoundCalls)
{
#ifdef MORVANE_KEEPS_FREED_MEMORY
    GTEST_SKIP() << "the sanitizers keep freed memory on purpose";
#endif
    morvane::test::RegisteredModule module(MORVANE_MODULE_PATH);
    ASSERT_EQ(module.registration(), S_OK);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    IMorvane *tracker = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                               reinterpret_cast<void **>(&tracker)),
              S_OK);
    const auto run = [tracker](int calls) {
        for (int i = 0; i < calls; ++i) {
            IMorvane *created = nullptr;
            if (CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                                 reinterpret_cast<void **>(&created)) != S_OK ||
                created->Release() != 0 || !write_and_read_by_name(tracker, 2, 1 + i % 640))
                return false;
        }
        return true;
    };
    ASSERT_TRUE(run(5000));
    const long before = resident_bytes();
    ASSERT_TRUE(run(100000));
    // Far below what one leaked byte per call would add up to.
    EXPECT_LT(resident_bytes() - before, 1024 * 1024);
    tracker->Release();
    CoUninitialize();
}

} // namespace
