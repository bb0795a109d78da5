// Critical sections: re-entrancy, exclusion across threads, ownership.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class Section {
public:
    Section() { InitializeCriticalSection(&section_); }
    ~Section() { DeleteCriticalSection(&section_); }
    Section(const Section &) = delete;
    Section &operator=(const Section &) = delete;
    CRITICAL_SECTION *get() { return &section_; }

private:
    CRITICAL_SECTION section_;
};

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

TEST(CriticalSection, TheOwnerMayEnterAgainAndMustLeaveAsOften)
{
    Section section;
    EXPECT_NE(section.get()->LockSemaphore, nullptr);
    EXPECT_EQ(section.get()->RecursionCount, 0);

    EnterCriticalSection(section.get());
    EnterCriticalSection(section.get());
    EXPECT_TRUE(TryEnterCriticalSection(section.get()));
    EXPECT_EQ(section.get()->RecursionCount, 3);
    EXPECT_NE(section.get()->OwningThread, nullptr);
    EXPECT_FALSE(free_for_others(section.get()));

    LeaveCriticalSection(section.get());
    LeaveCriticalSection(section.get());
    EXPECT_FALSE(free_for_others(section.get()));
    LeaveCriticalSection(section.get());
    EXPECT_EQ(section.get()->RecursionCount, 0);
    EXPECT_EQ(section.get()->OwningThread, nullptr);
    EXPECT_TRUE(free_for_others(section.get()));
}

TEST(CriticalSection, OnlyOneThreadIsInsideAtATime)
{
    Section section;
    long counter = 0; // deliberately not atomic
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(section.get());
                EnterCriticalSection(section.get());
                if (inside.fetch_add(1) != 0)
                    overlapped = true;
                ++counter;
                inside.fetch_sub(1);
                LeaveCriticalSection(section.get());
                LeaveCriticalSection(section.get());
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(counter, 4 * 20000);
    EXPECT_FALSE(overlapped.load());
}

TEST(CriticalSection, AThreadThatDoesNotOwnItCannotLeaveIt)
{
    Section section;
    EnterCriticalSection(section.get());
    std::thread([&] { LeaveCriticalSection(section.get()); }).join();
    EXPECT_FALSE(free_for_others(section.get()));
    EXPECT_EQ(section.get()->RecursionCount, 1);
    LeaveCriticalSection(section.get());
    LeaveCriticalSection(section.get()); // one leave too many changes nothing
    EXPECT_TRUE(free_for_others(section.get()));
    EnterCriticalSection(section.get());
    EXPECT_EQ(section.get()->RecursionCount, 1);
    LeaveCriticalSection(section.get());
}

TEST(CriticalSection, DeletingAHeldSectionReleasesIt)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    DeleteCriticalSection(&section);
    EXPECT_EQ(section.LockSemaphore, nullptr);
    EXPECT_FALSE(TryEnterCriticalSection(&section)) << "a deleted section is no lock";

    InitializeCriticalSection(&section);
    EXPECT_TRUE(free_for_others(&section));
    DeleteCriticalSection(&section);
}

} // namespace
