// Activations and late-bound calls keep nothing per call: after a warm-up, a
// hundred thousand of each leave the process's resident memory where it was.
#include "registered_module.h"

#include <morvane.h>

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

constexpr int kCalls = 100000;
constexpr int kWarmUp = 5000;
// Far below what one leaked byte per call would add up to over the run.
constexpr long kAllowedGrowth = 1024 * 1024;

long resident_bytes()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

bool activate_once()
{
    IMorvane *tracker = nullptr;
    if (CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                         reinterpret_cast<void **>(&tracker)) != S_OK)
        return false;
    return tracker->Release() == 0;
}

bool read_and_write_by_name(IMorvane *tracker, LONG value)
{
    VARIANT written;
    VariantInit(&written);
    written.vt = VT_I4;
    written.lVal = value;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS write{&written, &put, 1, 1};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT read;
    VariantInit(&read);
    return tracker->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &write, nullptr, nullptr, nullptr) == S_OK &&
           tracker->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &read, nullptr, nullptr) == S_OK &&
           read.vt == VT_I4 && read.lVal == value;
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

    auto run = [tracker](int calls) {
        for (int i = 0; i < calls; ++i) {
            if (!activate_once() || !read_and_write_by_name(tracker, 1 + i % 640))
                return false;
        }
        return true;
    };
    ASSERT_TRUE(run(kWarmUp));
    const long before = resident_bytes();
    ASSERT_TRUE(run(kCalls));
    EXPECT_LT(resident_bytes() - before, kAllowedGrowth);

    tracker->Release();
    CoUninitialize();
}

} // namespace
