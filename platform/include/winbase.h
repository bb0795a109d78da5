/* Kernel services: heaps, system information, critical sections, interlocked
 * counters, threads' last error, ANSI text (UTF-8 is the ANSI code page),
 * module files and their resources. */
#pragma once

#include "wintypes.h"
#include "winerror.h"

#define HEAP_NO_SERIALIZE 0x00000001
#define HEAP_GENERATE_EXCEPTIONS 0x00000004
#define HEAP_ZERO_MEMORY 0x00000008
#define HEAP_REALLOC_IN_PLACE_ONLY 0x00000010

#define INFINITE 0xFFFFFFFF

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_ARM64 12
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xffff
#define PROCESSOR_INTEL_PENTIUM 586
#define PROCESSOR_AMD_X8664 8664

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _SYSTEM_INFO {
    __extension__ union {
        DWORD dwOemId;
        __extension__ struct {
            WORD wProcessorArchitecture;
            WORD wReserved;
        };
    };
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;

/* Re-entrant lock with the Windows x64 layout (40 bytes); the runtime keeps its
 * own lock object behind LockSemaphore. */
typedef struct _RTL_CRITICAL_SECTION {
    void *DebugInfo;
    LONG LockCount;
    LONG RecursionCount;
    HANDLE OwningThread;
    HANDLE LockSemaphore;
    ULONG_PTR SpinCount;
} CRITICAL_SECTION, *LPCRITICAL_SECTION, *PCRITICAL_SECTION;

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080

/* LoadLibraryA calls a module's exported entry point
 *   BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
 * with DLL_PROCESS_ATTACH when it first loads the module (FALSE fails the load with
 * ERROR_DLL_INIT_FAILED) and with DLL_PROCESS_DETACH before the last FreeLibrary
 * unloads it. A module handle is the address of the module's ELF header; a handle
 * from LOAD_LIBRARY_AS_DATAFILE has its low bit set and runs no code of the file.
 * Resources live in the file's ".mvrsrc" section (cmake/MorvaneResources.cmake). */
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define DONT_RESOLVE_DLL_REFERENCES 0x00000001
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define MAX_PATH 260

#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA

MV_BEGIN_C

MVAPI HANDLE HeapCreate(DWORD flOptions, SIZE_T dwInitialSize, SIZE_T dwMaximumSize);
MVAPI BOOL HeapDestroy(HANDLE hHeap);
MVAPI LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
MVAPI LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes);
MVAPI BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);

// Fills a structure whose size field is 148 with the platform's one fixed version,
// whatever kernel the host runs: VER_PLATFORM_WIN32_NT 6.1, build 7601, no service
// pack text. Code that chooses a path by version so takes the same one on every host.
MVAPI BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
MVAPI void GetSystemInfo(LPSYSTEM_INFO lpSystemInfo);

MVAPI void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
MVAPI void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
MVAPI BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
MVAPI void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
MVAPI void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

MVAPI LONG InterlockedIncrement(LONG volatile *Addend);
MVAPI LONG InterlockedDecrement(LONG volatile *Addend);

MVAPI void Sleep(DWORD dwMilliseconds);
MVAPI void DebugBreak(void);
MVAPI DWORD GetLastError(void);
MVAPI void SetLastError(DWORD dwErrCode);

MVAPI int lstrlenA(LPCSTR lpString);
MVAPI int lstrlenW(LPCWSTR lpString);
MVAPI int lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);
MVAPI LPSTR lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength);
MVAPI LPSTR CharNextA(LPCSTR lpsz);
MVAPI BOOL IsDBCSLeadByte(BYTE TestChar);
MVAPI int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                              LPWSTR lpWideCharStr, int cchWideChar);
MVAPI int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                              LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                              LPBOOL lpUsedDefaultChar);

MVAPI HMODULE LoadLibraryA(LPCSTR lpLibFileName);
MVAPI HMODULE LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
MVAPI BOOL FreeLibrary(HMODULE hLibModule);
MVAPI FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
MVAPI DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
MVAPI BOOL DisableThreadLibraryCalls(HMODULE hLibModule);
MVAPI HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
MVAPI HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
MVAPI LPVOID LockResource(HGLOBAL hResData);
MVAPI DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);

MV_END_C
