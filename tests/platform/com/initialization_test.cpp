// CoInitializeEx / CoUninitialize: a count per thread, the first call S_OK and the
// later ones S_FALSE, a conflicting concurrency model refused, bad arguments refused.
// Each case runs on a thread of its own so that it starts uninitialised.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

template <typename Body>
void on_new_thread(Body body)
{
    std::thread thread(body);
    thread.join();
}

TEST(Initialization, FirstCallOfAThreadSucceedsAndLaterOnesAreCounted)
{
    on_new_thread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "one call still open";
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "balanced again";
        CoUninitialize();
    });
}

TEST(Initialization, EachThreadHasItsOwnCount)
{
    on_new_thread([] {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        on_new_thread([] {
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "another thread, another model";
            CoUninitialize();
        });
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    });
}

TEST(Initialization, AThreadKeepsTheModelItChoseFirst)
{
    on_new_thread([] {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize(); // balances the first call only: the refused one counted nothing
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
    });
}

TEST(Initialization, RefusesReservedArgumentsAndUnknownFlags)
{
    on_new_thread([] {
        int reserved = 0;
        EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
        EXPECT_EQ(CoInitialize(&reserved), E_INVALIDARG);
        EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "the refused calls counted nothing";
        CoUninitialize();
    });
}

TEST(Initialization, UnbalancedUninitializeIsHarmless)
{
    on_new_thread([] {
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    });
}

} // namespace
