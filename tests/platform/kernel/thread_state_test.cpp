// Per-thread last error, sleeping and breaking into the debugger.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

TEST(LastError, EachThreadHasItsOwn)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    DWORD seen_at_start = 1;
    DWORD seen_after_failure = 0;
    std::thread([&] {
        seen_at_start = GetLastError();
        HeapAlloc(nullptr, 0, 8); // fails on this thread
        seen_after_failure = GetLastError();
    }).join();
    EXPECT_EQ(seen_at_start, DWORD(ERROR_SUCCESS));
    EXPECT_EQ(seen_after_failure, DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(Sleep, WaitsAtLeastTheGivenTime)
{
    const auto start = std::chrono::steady_clock::now();
    Sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    Sleep(0); // gives up the time slice and returns
}

TEST(DebugBreakDeathTest, RaisesTheTrapSignal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(DebugBreak(), testing::KilledBySignal(SIGTRAP), "");
}

} // namespace
