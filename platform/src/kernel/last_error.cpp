// The calling thread's last system error code.
#include <winbase.h>

namespace {
thread_local DWORD last_error = ERROR_SUCCESS;
}

EXTERN_C DWORD GetLastError(void)
{
    return last_error;
}

EXTERN_C void SetLastError(DWORD dwErrCode)
{
    last_error = dwErrCode;
}
