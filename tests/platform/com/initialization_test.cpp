// Initialisation counted per thread with its first model kept; the task allocator's edges.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

// Other threads' counts and models are the activation tests' (a fresh thread is uninitialised there).
TEST(Initialization, CountsPerThreadAndKeepsTheFirstModel)
{
    std::thread([] {
        CoUninitialize(); // unbalanced: harmless
        int reserved = 0;
        EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
        EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
        EXPECT_EQ(CoInitialize(nullptr), S_OK) << "the refused calls counted nothing";
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE), S_FALSE);
        CoUninitialize();
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "one call still open";
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "balanced again, so a new model";
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
    }).join();
}

// Requests beyond what an object may hold fail without touching the old block; size 0 frees it.
TEST(TaskAllocator, EdgeSizes)
{
    EXPECT_EQ(CoTaskMemAlloc(SIZE_MAX / 2 + 1), nullptr);
    void *block = CoTaskMemRealloc(nullptr, 0);
    ASSERT_NE(block, nullptr) << "a request for nothing still gives a block";
    EXPECT_EQ(CoTaskMemRealloc(block, SIZE_MAX), nullptr);
    EXPECT_EQ(CoTaskMemRealloc(block, 0), nullptr);
}

} // namespace
