// Suspends the calling thread; 0 gives up the rest of its time slice, INFINITE never returns.
#include <winbase.h>

#include <chrono>
#include <thread>

#include <unistd.h>

EXTERN_C void Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;)
            pause();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
