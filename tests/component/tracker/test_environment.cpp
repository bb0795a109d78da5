// Every test of the tracker runs with the module heaps set up, as the
// component's load step sets them up before any object exists, and with a
// scratch registry of its own, so that whether the class is registered is up
// to the tests and not to the machine.
#include "server/module_heap.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class TrackerTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(module_heap_setup());
        std::string pattern = (std::filesystem::temp_directory_path() / "tracker-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        setenv("MORVANE_REGISTRY", (folder_ / "registry.db").c_str(), 1);
        MorvaneRegistryReset();
    }

    void TearDown() override
    {
        MorvaneRegistryReset();
        unsetenv("MORVANE_REGISTRY");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        module_heap_teardown();
    }

private:
    std::filesystem::path folder_;
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
