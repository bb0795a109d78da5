// The module under refused allocations and a refused heap set-up: result codes, never exceptions.
#include "registered_module.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

static std::atomic<bool> refuse_heaps{false};
// Allocations of the C++ library still to succeed before one is refused; negative: none is.
static std::atomic<long> allocations_before_failure{-1};
static std::atomic<bool> allocation_refused{false};

#ifdef INJECT_ALLOCATION_FAILURES
void *operator new(std::size_t size)
{
    if (allocations_before_failure.load() >= 0 && allocations_before_failure.fetch_sub(1) == 0)
        allocation_refused = true;
    else if (void *block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}
#endif

// Exported from the test program, so that the module's heap set-up comes here.
extern "C" HANDLE HeapCreate(DWORD options, SIZE_T initial_size, SIZE_T maximum_size)
{
    using create = HANDLE (*)(DWORD, SIZE_T, SIZE_T);
    static const auto real = reinterpret_cast<create>(dlsym(RTLD_NEXT, "HeapCreate"));
    return refuse_heaps ? nullptr : real(options, initial_size, maximum_size);
}

namespace {

// Runs `step` with the n-th allocation refused, n = 0, 1, ..., until a run refuses none.
void refuse_each_allocation_of(const char *what, const std::function<HRESULT()> &step)
{
    for (long n = 0; n < 100000; ++n) {
        allocation_refused = false;
        allocations_before_failure = n;
        HRESULT result = S_OK;
        try {
            result = step();
        } catch (...) {
            ADD_FAILURE() << what << ": an exception left the module with allocation " << n << " refused";
        }
        allocations_before_failure = -1;
        if (!allocation_refused) {
            EXPECT_EQ(result, S_OK) << what << " with no allocation refused";
            return;
        }
    }
    ADD_FAILURE() << what << " never ran without a refused allocation";
}

TEST(BoundaryFailures, RefusedAllocationsBecomeResultCodes)
{
#ifndef INJECT_ALLOCATION_FAILURES
    GTEST_SKIP() << "the sanitizer's allocator cannot be replaced";
#endif
    morvane::test::ScratchRegistry registry;
    morvane::test::LoadedModule module(MORVANE_MODULE_PATH);
    // Each run as one registry update, as regsvr makes it: one commit, not one per key.
    const auto in_update = [](HRESULT (morvane::test::LoadedModule::*entry)() const, const morvane::test::LoadedModule &loaded) {
        if (MorvaneRegistryBeginUpdate() != ERROR_SUCCESS)
            return E_FAIL;
        const HRESULT result = (loaded.*entry)();
        return MorvaneRegistryEndUpdate(SUCCEEDED(result)) == ERROR_SUCCESS ? result : E_FAIL;
    };
    refuse_each_allocation_of("DllRegisterServer", [&] { return in_update(&morvane::test::LoadedModule::register_server, module); });
    refuse_each_allocation_of("DllUnregisterServer", [&] { return in_update(&morvane::test::LoadedModule::unregister_server, module); });
    ASSERT_EQ(module.register_server(), S_OK);
    refuse_each_allocation_of("creating and allocating a tracker", [&] {
        IMorvane *tracker = module.create_tracker();
        if (!tracker)
            return E_OUTOFMEMORY;
        const HRESULT result = tracker->create_morvane();
        tracker->Release();
        return result;
    });
}

TEST(BoundaryFailures, AFailedHeapSetUpMakesEveryCreationFail)
{
    refuse_heaps = true;
    morvane::test::LoadedModule module(MORVANE_MODULE_PATH);
    refuse_heaps = false;
    void *factory = nullptr;
    EXPECT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, &factory), E_OUTOFMEMORY);
    EXPECT_EQ(factory, nullptr);
}

} // namespace
