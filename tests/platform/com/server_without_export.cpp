// A shared library that is no in-process server: it lacks DllGetClassObject.
#include <windows.h>

STDAPI DllCanUnloadNow(void)
{
    return S_OK;
}
