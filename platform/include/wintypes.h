/* Basic types of the platform interface: the Windows names with their 64-bit
 * Linux sizes (LONG/ULONG/DWORD 32-bit, pointers and handles 64-bit, WCHAR
 * and OLECHAR UTF-16 code units). */
#pragma once

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
#define EXTERN_C extern "C"
#define MV_BEGIN_C extern "C" {
#define MV_END_C }
#else
#define EXTERN_C extern
#define MV_BEGIN_C
#define MV_END_C
#endif

/* Enumerations hold int in C++ as they do in C, so that any value a C caller
 * passes is a valid value of the type rather than undefined behaviour. */
#ifdef __cplusplus
#define MV_ENUM_INT : int
#else
#define MV_ENUM_INT
#endif

/* Marks a function or object as part of the runtime library's surface. */
#define MVAPI __attribute__((visibility("default")))

/* x86-64 has one calling convention; the Windows ones are spelled for source compatibility. */
#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define STDAPI EXTERN_C MVAPI HRESULT STDAPICALLTYPE
#define STDAPI_(type) EXTERN_C MVAPI type STDAPICALLTYPE

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef void VOID, *PVOID, *LPVOID;
typedef const void *LPCVOID;
typedef int BOOL, *PBOOL, *LPBOOL;
typedef unsigned char BYTE, *PBYTE, *LPBYTE, UCHAR, BOOLEAN;
typedef char CHAR, *PCHAR, *LPSTR, *PSTR;
typedef const char *LPCSTR, *PCSTR, *LPCCH, *PCCH;
typedef int16_t SHORT;
typedef uint16_t WORD, USHORT, *PWORD, *LPWORD;
typedef int32_t INT, LONG, *PLONG, *LPLONG;
typedef uint32_t UINT, ULONG, DWORD, *PULONG, *PDWORD, *LPDWORD, *PUINT;
typedef int64_t LONGLONG, INT64;
typedef uint64_t ULONGLONG, UINT64, DWORD64;
typedef float FLOAT;
typedef double DOUBLE;
typedef intptr_t INT_PTR, LONG_PTR;
typedef uintptr_t UINT_PTR, ULONG_PTR, DWORD_PTR, SIZE_T;
typedef intptr_t SSIZE_T;

typedef char16_t WCHAR;
typedef WCHAR *PWCHAR, *LPWSTR, *PWSTR, OLECHAR, *LPOLESTR;
typedef const WCHAR *LPCWSTR, *PCWSTR, *LPCWCH, *LPCOLESTR;
#define OLESTR(s) u##s
#define TEXTW(s) u##s

typedef LONG HRESULT;
typedef LONG SCODE;
typedef DWORD LCID;
typedef WORD LANGID;

typedef void *HANDLE;
typedef HANDLE *PHANDLE, *LPHANDLE;
typedef struct HINSTANCE__ *HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HKEY__ *HKEY;
typedef HKEY *PHKEY;
typedef struct HRSRC__ *HRSRC;
typedef HANDLE HGLOBAL;
typedef INT_PTR (*FARPROC)(void);

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

/* Identifiers: 16 bytes, compared as all 16 bytes. */
typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID, *LPGUID;
typedef GUID IID, CLSID, *LPIID, *LPCLSID;
#ifdef __cplusplus
typedef const GUID &REFGUID;
typedef const IID &REFIID;
typedef const CLSID &REFCLSID;
#else
typedef const GUID *REFGUID;
typedef const IID *REFIID;
typedef const CLSID *REFCLSID;
#endif
typedef const GUID *LPCGUID;

#ifdef __cplusplus
#include <cstring>
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
#else
#include <string.h>
#define IsEqualGUID(a, b) (memcmp((a), (b), sizeof(GUID)) == 0)
#endif
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

/* Automation scalar types. */
typedef LONG DISPID;
typedef DISPID MEMBERID;
typedef unsigned short VARTYPE;
typedef short VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)
typedef double DATE;
typedef OLECHAR *BSTR;
typedef BSTR *LPBSTR;

typedef union tagCY {
    __extension__ struct {
        ULONG Lo;
        LONG Hi;
    };
    LONGLONG int64;
} CY;

typedef struct tagDEC {
    USHORT wReserved;
    __extension__ union {
        __extension__ struct {
            BYTE scale;
            BYTE sign;
        };
        USHORT signscale;
    };
    ULONG Hi32;
    __extension__ union {
        __extension__ struct {
            ULONG Lo32;
            ULONG Mid32;
        };
        ULONGLONG Lo64;
    };
} DECIMAL;

#define MAKEWORD(a, b) ((WORD)(((BYTE)(a)) | ((WORD)((BYTE)(b))) << 8))
#define MAKELONG(a, b) ((LONG)(((WORD)(a)) | ((DWORD)((WORD)(b))) << 16))
#define LOWORD(l) ((WORD)((DWORD_PTR)(l) & 0xffff))
#define HIWORD(l) ((WORD)((DWORD_PTR)(l) >> 16))
#define MAKELCID(lgid, srtid) ((DWORD)((((DWORD)((WORD)(srtid))) << 16) | ((DWORD)((WORD)(lgid)))))
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_NEUTRAL 0x0000
