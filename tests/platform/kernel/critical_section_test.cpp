// Critical sections: re-entrancy, ownership and exclusion across threads.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Whether another thread could take the section right now (it leaves it again at once).
bool free_for_others(CRITICAL_SECTION *section)
{
    bool entered = false;
    std::thread([&] {
        entered = TryEnterCriticalSection(section) != FALSE;
        if (entered)
            LeaveCriticalSection(section);
    }).join();
    return entered;
}

TEST(CriticalSection, OnlyTheOwnerEntersAgainOrLeaves)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    EXPECT_EQ(section.RecursionCount, 2);
    std::thread([&] { LeaveCriticalSection(&section); }).join(); // not the owner: changes nothing
    LeaveCriticalSection(&section);
    EXPECT_FALSE(free_for_others(&section));
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section); // one leave too many changes nothing
    EXPECT_EQ(section.OwningThread, nullptr);
    EXPECT_TRUE(free_for_others(&section));
    EnterCriticalSection(&section);
    EXPECT_EQ(section.RecursionCount, 1);
    DeleteCriticalSection(&section); // deleting a held section releases it
    EXPECT_FALSE(TryEnterCriticalSection(&section)) << "a deleted section is no lock";
}

TEST(CriticalSection, OnlyOneThreadIsInsideAtATime)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long counter = 0; // deliberately not atomic
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&section);
                overlapped = overlapped || inside.fetch_add(1) != 0;
                ++counter;
                inside.fetch_sub(1);
                LeaveCriticalSection(&section);
            }
        });
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(counter, 4 * 20000);
    EXPECT_FALSE(overlapped.load());
    DeleteCriticalSection(&section);
}

} // namespace
