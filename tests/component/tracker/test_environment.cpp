// Every tracker test runs with the module heaps set up, as the component's
// load step sets them up, and with a scratch registry of its own.
#include "scratch_registry.h"
#include "server/module_heap.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class TrackerTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(module_heap_setup());
        registry_ = std::make_unique<morvane::test::ScratchRegistry>();
    }
    void TearDown() override
    {
        registry_.reset();
        module_heap_teardown();
    }

private:
    std::unique_ptr<morvane::test::ScratchRegistry> registry_;
};

const auto *const environment = ::testing::AddGlobalTestEnvironment(new TrackerTestEnvironment);

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
