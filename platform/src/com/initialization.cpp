// CoInitializeEx, CoInitialize and CoUninitialize: a count per thread and one for
// the whole process. There are no apartments here, but the concurrency model a
// thread first chose is kept so that a conflicting request is refused as it is
// on Windows. When the process-wide count drops back to 0, the server libraries
// that activation loaded and that agree to go are unloaded.
#include "com/initialization.h"
#include "com/server_libraries.h"

#include <windows.h>

#include <atomic>

namespace {

constexpr DWORD known_flags = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE |
                              COINIT_SPEED_OVER_MEMORY;

struct ThreadState {
    ULONG count = 0;
    bool multithreaded = false;
};

thread_local ThreadState this_thread;
std::atomic<long> process_count{0};

} // namespace

namespace morvane::com {

bool initialized_on_this_thread()
{
    return this_thread.count > 0;
}

} // namespace morvane::com

EXTERN_C MVAPI HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
    if (pvReserved || (dwCoInit & ~known_flags))
        return E_INVALIDARG;
    const bool multithreaded = !(dwCoInit & COINIT_APARTMENTTHREADED);
    ThreadState &state = this_thread;
    if (state.count > 0 && state.multithreaded != multithreaded)
        return RPC_E_CHANGED_MODE;
    state.multithreaded = multithreaded;
    ++process_count;
    return state.count++ == 0 ? S_OK : S_FALSE;
}

EXTERN_C MVAPI HRESULT CoInitialize(LPVOID pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

EXTERN_C MVAPI void CoUninitialize(void)
{
    ThreadState &state = this_thread;
    if (state.count == 0) // unbalanced: nothing of this thread's to undo
        return;
    --state.count;
    if (--process_count == 0)
        morvane::com::free_unused_server_libraries();
}
