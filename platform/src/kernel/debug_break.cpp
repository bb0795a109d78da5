// Breaks into an attached debugger; without one the process ends on the trap signal.
#include <winbase.h>

#include <csignal>

EXTERN_C void DebugBreak(void)
{
    std::raise(SIGTRAP);
}
