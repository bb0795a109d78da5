/* The registry: predefined roots, access rights, value types and the key and value calls. */
#ifndef MORVANE_WINREG_H
#define MORVANE_WINREG_H

#include "wintypes.h"
#include "winerror.h"

typedef LONG LSTATUS;
typedef DWORD REGSAM;

/* The predefined roots, sign-extended to pointer width as on 64-bit Windows. */
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define HKEY_PERFORMANCE_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000004))
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)((LONG)0x80000005))
#define HKEY_DYN_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000006))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE 0x20019
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11

MV_BEGIN_C

MVAPI LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                            PHKEY phkResult);
MVAPI LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                              DWORD dwOptions, REGSAM samDesired,
                              const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                              LPDWORD lpdwDisposition);
MVAPI LSTATUS RegCloseKey(HKEY hKey);
MVAPI LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                             const BYTE *lpData, DWORD cbData);
MVAPI LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                               LPBYTE lpData, LPDWORD lpcbData);
MVAPI LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
MVAPI LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
MVAPI LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);
MVAPI LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                            LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                            PFILETIME lpftLastWriteTime);
MVAPI LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                            LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
MVAPI LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                               LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                               LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                               LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                               LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime);

/* Not a Windows call. The registry is one database file per process, read
 * from MORVANE_REGISTRY (or the default place) when the first call connects.
 * This closes the connection and invalidates every open key handle, so that
 * the next call connects again and reads MORVANE_REGISTRY anew: for tests that
 * switch registry files within one process. */
MVAPI void MorvaneRegistryReset(void);

/* Not Windows calls. An update makes every registry call of this process
 * between MorvaneRegistryBeginUpdate and MorvaneRegistryEndUpdate one
 * database write transaction: other processes see the registry as it was
 * before the update or as it is after it, never in between, and a process
 * that dies inside an update leaves the registry as it was. A registration
 * tool opens one around DllRegisterServer and DllUnregisterServer.
 *
 * MorvaneRegistryBeginUpdate waits, up to the registry's busy timeout, for an
 * update of another process to end. It returns ERROR_SUCCESS, or why the
 * registry cannot be written (ERROR_CANTOPEN, ERROR_BADDB, ERROR_ACCESS_DENIED,
 * ERROR_REGISTRY_IO_FAILED, ...). Updates nest; only the outermost ends the
 * transaction.
 *
 * MorvaneRegistryEndUpdate(keep) ends one update. With keep TRUE the outermost
 * commits, unless a call inside the update met a database failure: then it
 * rolls back and returns that failure's code. With keep FALSE (at any level)
 * the whole update is rolled back. ERROR_INVALID_FUNCTION when no update is
 * open. Within an update, a call that fails still undoes only its own
 * changes. */
MVAPI LSTATUS MorvaneRegistryBeginUpdate(void);
MVAPI LSTATUS MorvaneRegistryEndUpdate(BOOL keep);

MV_END_C

#endif
