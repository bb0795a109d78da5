// Every test of the tracker runs with the module heaps set up, as the
// component's load step sets them up before any object exists.
#include "server/module_heap.h"

#include <gtest/gtest.h>

namespace {

class ModuleHeapEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(module_heap_setup()); }
    void TearDown() override { module_heap_teardown(); }
};

const auto *const environment = ::testing::AddGlobalTestEnvironment(new ModuleHeapEnvironment);

} // namespace

// Some tests ask for buffers no machine has; under AddressSanitizer such a
// request must fail as it does without it, by returning null.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
extern "C" __attribute__((visibility("default"))) const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}
#endif
#endif
