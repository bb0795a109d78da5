// Critical sections: re-entrancy, ownership and exclusion across threads.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// Whether another thread could take the section right now (it leaves it again at once).
static bool free_for_others(CRITICAL_SECTION *section)
{
    bool entered = false;
    std::thread([&] {
        if ((entered = TryEnterCriticalSection(section) != FALSE))
            LeaveCriticalSection(section);
    }).join();
    return entered;
}

TEST(CriticalSection, OnlyTheOwnerEntersAgainOrLeavesAndOneThreadIsInsideAtATime)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    std::thread([&] { LeaveCriticalSection(&section); }).join(); // not the owner: changes nothing
    LeaveCriticalSection(&section);
    EXPECT_FALSE(free_for_others(&section));
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section); // one leave too many changes nothing
    EXPECT_TRUE(free_for_others(&section));

    std::atomic<bool> inside{false}, overlapped{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&section);
                overlapped = overlapped || inside.exchange(true);
                inside = false;
                LeaveCriticalSection(&section);
            }
        });
    for (auto &thread : threads)
        thread.join();
    EXPECT_FALSE(overlapped.load());
    EnterCriticalSection(&section);
    EXPECT_EQ(section.RecursionCount, 1);
    DeleteCriticalSection(&section); // deleting a held section releases it
    EXPECT_FALSE(TryEnterCriticalSection(&section)) << "a deleted section is no lock";
}
