/* The registry: predefined roots, access rights, value types and the key and value calls. */
#pragma once

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

/* The value types RegGetValueA accepts (any of those given). */
#define RRF_RT_REG_NONE 0x00000001
#define RRF_RT_REG_SZ 0x00000002
#define RRF_RT_REG_EXPAND_SZ 0x00000004
#define RRF_RT_REG_BINARY 0x00000008
#define RRF_RT_REG_DWORD 0x00000010
#define RRF_RT_REG_MULTI_SZ 0x00000020
#define RRF_RT_REG_QWORD 0x00000040
#define RRF_RT_ANY 0x0000ffff
#define RRF_NOEXPAND 0x10000000

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
/* A value of the key at lpSubKey below hkey in one call, of a type among those
 * dwFlags accepts (else ERROR_UNSUPPORTED_TYPE): the data as stored, as
 * RegQueryValueExA gives it. REG_EXPAND_SZ is never expanded, as with
 * RRF_NOEXPAND; other flags are ERROR_INVALID_PARAMETER. */
MVAPI LSTATUS RegGetValueA(HKEY hkey, LPCSTR lpSubKey, LPCSTR lpValue, DWORD dwFlags, LPDWORD pdwType,
                           PVOID pvData, LPDWORD pcbData);
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

/* Not Windows calls: the registry's two files and its scopes.
 *
 * The registry is two SQLite database files. The user's holds
 * HKEY_CURRENT_USER and the other per-user roots; it is MORVANE_REGISTRY when
 * set, else $XDG_DATA_HOME/morvane/registry.db, else
 * ~/.local/share/morvane/registry.db. The machine's holds HKEY_LOCAL_MACHINE;
 * it is MORVANE_MACHINE_REGISTRY when set, else the path fixed when the
 * platform was configured (<localstatedir>/lib/morvane/registry.db, so
 * /var/lib/morvane/registry.db for an installation under /usr).
 * HKEY_CLASSES_ROOT is HKEY_CURRENT_USER\Software\Classes over
 * HKEY_LOCAL_MACHINE\Software\Classes: a key exists where either holds it,
 * a value is the user's where the user's key holds it, enumeration lists each
 * name once; writes through it go to the user's classes, and deleting a key
 * or value that only the machine's classes hold is refused with
 * ERROR_ACCESS_DENIED. A missing file reads as empty; only a write makes it.
 * Every call sees every change committed before it, by any process or
 * program, and follows a file replaced or deleted at its path.
 *
 * MorvaneRegistrySetScope(MORVANE_REGISTRY_MACHINE) makes HKEY_CLASSES_ROOT
 * the machine's classes alone, for reading and writing (a registration for
 * every user); MORVANE_REGISTRY_USER restores the merged view. Handles opened
 * before keep the view they were opened in. ERROR_INVALID_PARAMETER for
 * another value, ERROR_INVALID_FUNCTION while an update is open.
 *
 * MorvaneRegistryFilePath writes the path of a scope's file into buffer
 * (size bytes) and returns its length without the terminator when it fits
 * whole; otherwise the size needed, terminator included (so a result of size
 * or more means it did not fit). An empty path: no home folder is known. */
#define MORVANE_REGISTRY_USER 0
#define MORVANE_REGISTRY_MACHINE 1
MVAPI LSTATUS MorvaneRegistrySetScope(DWORD scope);
MVAPI DWORD MorvaneRegistryFilePath(DWORD scope, LPSTR buffer, DWORD size);

/* Not a Windows call. Closes both registry files, invalidates every open key
 * handle and returns to the user scope, so that the next call reads
 * MORVANE_REGISTRY and MORVANE_MACHINE_REGISTRY anew: for tests that switch
 * registry files within one process. */
MVAPI void MorvaneRegistryReset(void);

/* Not Windows calls. An update makes every registry call of this process
 * on the file that holds the classes it writes (the machine's in the machine
 * scope, else the user's; made when missing) between
 * MorvaneRegistryBeginUpdate and MorvaneRegistryEndUpdate one database write
 * transaction: other processes see the registry as it was
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
