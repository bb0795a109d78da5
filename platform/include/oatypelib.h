/* Type libraries: ITypeLib, ITypeInfo and ITypeInfo2 with the descriptions they hand
 * out. Structures have the Windows x64 layouts (TYPEDESC 16 bytes, ELEMDESC 32,
 * TYPEATTR 96, FUNCDESC 88, TLIBATTR 32); the interfaces keep the Windows table
 * order, every slot declared. */
#pragma once

#include "oaidl.h"

MV_FORWARD_INTERFACE(ITypeInfo2);
MV_FORWARD_INTERFACE(ITypeComp);
typedef ITypeLib *LPTYPELIB;
typedef ITypeInfo *LPTYPEINFO;
typedef ITypeInfo2 *LPTYPEINFO2;

typedef DWORD HREFTYPE;

#define MEMBERID_NIL DISPID_UNKNOWN

typedef enum tagSYSKIND MV_ENUM_INT { SYS_WIN16 = 0, SYS_WIN32 = 1, SYS_MAC = 2, SYS_WIN64 = 3 } SYSKIND;

typedef enum tagTYPEKIND MV_ENUM_INT {
    TKIND_ENUM = 0,
    TKIND_RECORD = 1,
    TKIND_MODULE = 2,
    TKIND_INTERFACE = 3,
    TKIND_DISPATCH = 4,
    TKIND_COCLASS = 5,
    TKIND_ALIAS = 6,
    TKIND_UNION = 7,
    TKIND_MAX = 8
} TYPEKIND;

typedef enum tagFUNCKIND MV_ENUM_INT {
    FUNC_VIRTUAL = 0,
    FUNC_PUREVIRTUAL = 1,
    FUNC_NONVIRTUAL = 2,
    FUNC_STATIC = 3,
    FUNC_DISPATCH = 4
} FUNCKIND;

typedef enum tagINVOKEKIND MV_ENUM_INT {
    INVOKE_FUNC = 1,
    INVOKE_PROPERTYGET = 2,
    INVOKE_PROPERTYPUT = 4,
    INVOKE_PROPERTYPUTREF = 8
} INVOKEKIND;

typedef enum tagCALLCONV MV_ENUM_INT {
    CC_FASTCALL = 0,
    CC_CDECL = 1,
    CC_MSCPASCAL = 2,
    CC_PASCAL = 2,
    CC_MACPASCAL = 3,
    CC_STDCALL = 4,
    CC_FPFASTCALL = 5,
    CC_SYSCALL = 6,
    CC_MPWCDECL = 7,
    CC_MPWPASCAL = 8,
    CC_MAX = 9
} CALLCONV;

typedef enum tagVARKIND MV_ENUM_INT { VAR_PERINSTANCE = 0, VAR_STATIC = 1, VAR_CONST = 2, VAR_DISPATCH = 3 } VARKIND;

typedef enum tagDESCKIND MV_ENUM_INT {
    DESCKIND_NONE = 0,
    DESCKIND_FUNCDESC = 1,
    DESCKIND_VARDESC = 2,
    DESCKIND_TYPECOMP = 3,
    DESCKIND_IMPLICITAPPOBJ = 4,
    DESCKIND_MAX = 5
} DESCKIND;

typedef enum tagTYPEFLAGS MV_ENUM_INT {
    TYPEFLAG_FAPPOBJECT = 0x1,
    TYPEFLAG_FCANCREATE = 0x2,
    TYPEFLAG_FLICENSED = 0x4,
    TYPEFLAG_FPREDECLID = 0x8,
    TYPEFLAG_FHIDDEN = 0x10,
    TYPEFLAG_FCONTROL = 0x20,
    TYPEFLAG_FDUAL = 0x40,
    TYPEFLAG_FNONEXTENSIBLE = 0x80,
    TYPEFLAG_FOLEAUTOMATION = 0x100,
    TYPEFLAG_FRESTRICTED = 0x200,
    TYPEFLAG_FAGGREGATABLE = 0x400,
    TYPEFLAG_FREPLACEABLE = 0x800,
    TYPEFLAG_FDISPATCHABLE = 0x1000,
    TYPEFLAG_FREVERSEBIND = 0x2000,
    TYPEFLAG_FPROXY = 0x4000
} TYPEFLAGS;

typedef enum tagFUNCFLAGS MV_ENUM_INT {
    FUNCFLAG_FRESTRICTED = 0x1,
    FUNCFLAG_FSOURCE = 0x2,
    FUNCFLAG_FBINDABLE = 0x4,
    FUNCFLAG_FREQUESTEDIT = 0x8,
    FUNCFLAG_FDISPLAYBIND = 0x10,
    FUNCFLAG_FDEFAULTBIND = 0x20,
    FUNCFLAG_FHIDDEN = 0x40,
    FUNCFLAG_FUSESGETLASTERROR = 0x80,
    FUNCFLAG_FDEFAULTCOLLELEM = 0x100,
    FUNCFLAG_FUIDEFAULT = 0x200,
    FUNCFLAG_FNONBROWSABLE = 0x400,
    FUNCFLAG_FREPLACEABLE = 0x800,
    FUNCFLAG_FIMMEDIATEBIND = 0x1000
} FUNCFLAGS;

typedef enum tagLIBFLAGS MV_ENUM_INT {
    LIBFLAG_FRESTRICTED = 0x1,
    LIBFLAG_FCONTROL = 0x2,
    LIBFLAG_FHIDDEN = 0x4,
    LIBFLAG_FHASDISKIMAGE = 0x8
} LIBFLAGS;

#define PARAMFLAG_NONE 0x00
#define PARAMFLAG_FIN 0x01
#define PARAMFLAG_FOUT 0x02
#define PARAMFLAG_FLCID 0x04
#define PARAMFLAG_FRETVAL 0x08
#define PARAMFLAG_FOPT 0x10
#define PARAMFLAG_FHASDEFAULT 0x20
#define PARAMFLAG_FHASCUSTDATA 0x40

#define IDLFLAG_NONE PARAMFLAG_NONE
#define IDLFLAG_FIN PARAMFLAG_FIN
#define IDLFLAG_FOUT PARAMFLAG_FOUT
#define IDLFLAG_FLCID PARAMFLAG_FLCID
#define IDLFLAG_FRETVAL PARAMFLAG_FRETVAL

#define IMPLTYPEFLAG_FDEFAULT 0x1
#define IMPLTYPEFLAG_FSOURCE 0x2
#define IMPLTYPEFLAG_FRESTRICTED 0x4
#define IMPLTYPEFLAG_FDEFAULTVTABLE 0x8

typedef struct tagTYPEDESC TYPEDESC;
typedef struct tagARRAYDESC ARRAYDESC;

/* The type of an element: vt, with the pointed-to type for VT_PTR and VT_SAFEARRAY,
 * the array description for VT_CARRAY, the referenced type for VT_USERDEFINED. */
struct tagTYPEDESC {
    __extension__ union {
        struct tagTYPEDESC *lptdesc;
        struct tagARRAYDESC *lpadesc;
        HREFTYPE hreftype;
    };
    VARTYPE vt;
};

struct tagARRAYDESC {
    TYPEDESC tdescElem;
    USHORT cDims;
    SAFEARRAYBOUND rgbounds[1];
};

typedef struct tagIDLDESC {
    ULONG_PTR dwReserved;
    USHORT wIDLFlags;
} IDLDESC, *LPIDLDESC;

typedef struct tagPARAMDESCEX {
    ULONG cBytes;
    VARIANTARG varDefaultValue;
} PARAMDESCEX, *LPPARAMDESCEX;

typedef struct tagPARAMDESC {
    LPPARAMDESCEX pparamdescex;
    USHORT wParamFlags;
} PARAMDESC, *LPPARAMDESC;

typedef struct tagELEMDESC {
    TYPEDESC tdesc;
    __extension__ union {
        IDLDESC idldesc;
        PARAMDESC paramdesc;
    };
} ELEMDESC, *LPELEMDESC;

typedef struct tagTYPEATTR {
    GUID guid;
    LCID lcid;
    DWORD dwReserved;
    MEMBERID memidConstructor;
    MEMBERID memidDestructor;
    LPOLESTR lpstrSchema;
    ULONG cbSizeInstance;
    TYPEKIND typekind;
    WORD cFuncs;
    WORD cVars;
    WORD cImplTypes;
    WORD cbSizeVft;
    WORD cbAlignment;
    WORD wTypeFlags;
    WORD wMajorVerNum;
    WORD wMinorVerNum;
    TYPEDESC tdescAlias;
    IDLDESC idldescType;
} TYPEATTR, *LPTYPEATTR;

typedef struct tagFUNCDESC {
    MEMBERID memid;
    SCODE *lprgscode;
    ELEMDESC *lprgelemdescParam;
    FUNCKIND funckind;
    INVOKEKIND invkind;
    CALLCONV callconv;
    SHORT cParams;
    SHORT cParamsOpt;
    SHORT oVft;
    SHORT cScodes;
    ELEMDESC elemdescFunc;
    WORD wFuncFlags;
} FUNCDESC, *LPFUNCDESC;

typedef struct tagVARDESC {
    MEMBERID memid;
    LPOLESTR lpstrSchema;
    __extension__ union {
        ULONG oInst;
        VARIANT *lpvarValue;
    };
    ELEMDESC elemdescVar;
    WORD wVarFlags;
    VARKIND varkind;
} VARDESC, *LPVARDESC;

typedef struct tagTLIBATTR {
    GUID guid;
    LCID lcid;
    SYSKIND syskind;
    WORD wMajorVerNum;
    WORD wMinorVerNum;
    WORD wLibFlags;
} TLIBATTR, *LPTLIBATTR;

typedef struct tagCUSTDATAITEM {
    GUID guid;
    VARIANTARG varValue;
} CUSTDATAITEM, *LPCUSTDATAITEM;

typedef struct tagCUSTDATA {
    DWORD cCustData;
    LPCUSTDATAITEM prgCustData;
} CUSTDATA, *LPCUSTDATA;

#undef INTERFACE
#define INTERFACE ITypeInfo
DECLARE_INTERFACE_(ITypeInfo, IUnknown)
{
    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void **ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)(THIS) PURE;
    STDMETHOD_(ULONG, Release)(THIS) PURE;
    STDMETHOD(GetTypeAttr)(THIS_ TYPEATTR **ppTypeAttr) PURE;
    STDMETHOD(GetTypeComp)(THIS_ ITypeComp **ppTComp) PURE;
    STDMETHOD(GetFuncDesc)(THIS_ UINT index, FUNCDESC **ppFuncDesc) PURE;
    STDMETHOD(GetVarDesc)(THIS_ UINT index, VARDESC **ppVarDesc) PURE;
    STDMETHOD(GetNames)(THIS_ MEMBERID memid, BSTR *rgBstrNames, UINT cMaxNames, UINT *pcNames) PURE;
    STDMETHOD(GetRefTypeOfImplType)(THIS_ UINT index, HREFTYPE *pRefType) PURE;
    STDMETHOD(GetImplTypeFlags)(THIS_ UINT index, INT *pImplTypeFlags) PURE;
    STDMETHOD(GetIDsOfNames)(THIS_ LPOLESTR *rgszNames, UINT cNames, MEMBERID *pMemId) PURE;
    STDMETHOD(Invoke)(THIS_ PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS *pDispParams,
                      VARIANT *pVarResult, EXCEPINFO *pExcepInfo, UINT *puArgErr) PURE;
    STDMETHOD(GetDocumentation)(THIS_ MEMBERID memid, BSTR *pBstrName, BSTR *pBstrDocString,
                                DWORD *pdwHelpContext, BSTR *pBstrHelpFile) PURE;
    STDMETHOD(GetDllEntry)(THIS_ MEMBERID memid, INVOKEKIND invKind, BSTR *pBstrDllName,
                           BSTR *pBstrName, WORD *pwOrdinal) PURE;
    STDMETHOD(GetRefTypeInfo)(THIS_ HREFTYPE hRefType, ITypeInfo **ppTInfo) PURE;
    STDMETHOD(AddressOfMember)(THIS_ MEMBERID memid, INVOKEKIND invKind, PVOID *ppv) PURE;
    STDMETHOD(CreateInstance)(THIS_ IUnknown *pUnkOuter, REFIID riid, PVOID *ppvObj) PURE;
    STDMETHOD(GetMops)(THIS_ MEMBERID memid, BSTR *pBstrMops) PURE;
    STDMETHOD(GetContainingTypeLib)(THIS_ ITypeLib **ppTLib, UINT *pIndex) PURE;
    STDMETHOD_(void, ReleaseTypeAttr)(THIS_ TYPEATTR *pTypeAttr) PURE;
    STDMETHOD_(void, ReleaseFuncDesc)(THIS_ FUNCDESC *pFuncDesc) PURE;
    STDMETHOD_(void, ReleaseVarDesc)(THIS_ VARDESC *pVarDesc) PURE;
};

#undef INTERFACE
#define INTERFACE ITypeInfo2
DECLARE_INTERFACE_(ITypeInfo2, ITypeInfo)
{
    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void **ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)(THIS) PURE;
    STDMETHOD_(ULONG, Release)(THIS) PURE;
    STDMETHOD(GetTypeAttr)(THIS_ TYPEATTR **ppTypeAttr) PURE;
    STDMETHOD(GetTypeComp)(THIS_ ITypeComp **ppTComp) PURE;
    STDMETHOD(GetFuncDesc)(THIS_ UINT index, FUNCDESC **ppFuncDesc) PURE;
    STDMETHOD(GetVarDesc)(THIS_ UINT index, VARDESC **ppVarDesc) PURE;
    STDMETHOD(GetNames)(THIS_ MEMBERID memid, BSTR *rgBstrNames, UINT cMaxNames, UINT *pcNames) PURE;
    STDMETHOD(GetRefTypeOfImplType)(THIS_ UINT index, HREFTYPE *pRefType) PURE;
    STDMETHOD(GetImplTypeFlags)(THIS_ UINT index, INT *pImplTypeFlags) PURE;
    STDMETHOD(GetIDsOfNames)(THIS_ LPOLESTR *rgszNames, UINT cNames, MEMBERID *pMemId) PURE;
    STDMETHOD(Invoke)(THIS_ PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS *pDispParams,
                      VARIANT *pVarResult, EXCEPINFO *pExcepInfo, UINT *puArgErr) PURE;
    STDMETHOD(GetDocumentation)(THIS_ MEMBERID memid, BSTR *pBstrName, BSTR *pBstrDocString,
                                DWORD *pdwHelpContext, BSTR *pBstrHelpFile) PURE;
    STDMETHOD(GetDllEntry)(THIS_ MEMBERID memid, INVOKEKIND invKind, BSTR *pBstrDllName,
                           BSTR *pBstrName, WORD *pwOrdinal) PURE;
    STDMETHOD(GetRefTypeInfo)(THIS_ HREFTYPE hRefType, ITypeInfo **ppTInfo) PURE;
    STDMETHOD(AddressOfMember)(THIS_ MEMBERID memid, INVOKEKIND invKind, PVOID *ppv) PURE;
    STDMETHOD(CreateInstance)(THIS_ IUnknown *pUnkOuter, REFIID riid, PVOID *ppvObj) PURE;
    STDMETHOD(GetMops)(THIS_ MEMBERID memid, BSTR *pBstrMops) PURE;
    STDMETHOD(GetContainingTypeLib)(THIS_ ITypeLib **ppTLib, UINT *pIndex) PURE;
    STDMETHOD_(void, ReleaseTypeAttr)(THIS_ TYPEATTR *pTypeAttr) PURE;
    STDMETHOD_(void, ReleaseFuncDesc)(THIS_ FUNCDESC *pFuncDesc) PURE;
    STDMETHOD_(void, ReleaseVarDesc)(THIS_ VARDESC *pVarDesc) PURE;
    STDMETHOD(GetTypeKind)(THIS_ TYPEKIND *pTypeKind) PURE;
    STDMETHOD(GetTypeFlags)(THIS_ ULONG *pTypeFlags) PURE;
    STDMETHOD(GetFuncIndexOfMemId)(THIS_ MEMBERID memid, INVOKEKIND invKind, UINT *pFuncIndex) PURE;
    STDMETHOD(GetVarIndexOfMemId)(THIS_ MEMBERID memid, UINT *pVarIndex) PURE;
    STDMETHOD(GetCustData)(THIS_ REFGUID guid, VARIANT *pVarVal) PURE;
    STDMETHOD(GetFuncCustData)(THIS_ UINT index, REFGUID guid, VARIANT *pVarVal) PURE;
    STDMETHOD(GetParamCustData)(THIS_ UINT indexFunc, UINT indexParam, REFGUID guid, VARIANT *pVarVal) PURE;
    STDMETHOD(GetVarCustData)(THIS_ UINT index, REFGUID guid, VARIANT *pVarVal) PURE;
    STDMETHOD(GetImplTypeCustData)(THIS_ UINT index, REFGUID guid, VARIANT *pVarVal) PURE;
    STDMETHOD(GetDocumentation2)(THIS_ MEMBERID memid, LCID lcid, BSTR *pbstrHelpString,
                                 DWORD *pdwHelpStringContext, BSTR *pbstrHelpStringDll) PURE;
    STDMETHOD(GetAllCustData)(THIS_ CUSTDATA *pCustData) PURE;
    STDMETHOD(GetAllFuncCustData)(THIS_ UINT index, CUSTDATA *pCustData) PURE;
    STDMETHOD(GetAllParamCustData)(THIS_ UINT indexFunc, UINT indexParam, CUSTDATA *pCustData) PURE;
    STDMETHOD(GetAllVarCustData)(THIS_ UINT index, CUSTDATA *pCustData) PURE;
    STDMETHOD(GetAllImplTypeCustData)(THIS_ UINT index, CUSTDATA *pCustData) PURE;
};

#undef INTERFACE
#define INTERFACE ITypeLib
DECLARE_INTERFACE_(ITypeLib, IUnknown)
{
    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void **ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)(THIS) PURE;
    STDMETHOD_(ULONG, Release)(THIS) PURE;
    STDMETHOD_(UINT, GetTypeInfoCount)(THIS) PURE;
    STDMETHOD(GetTypeInfo)(THIS_ UINT index, ITypeInfo **ppTInfo) PURE;
    STDMETHOD(GetTypeInfoType)(THIS_ UINT index, TYPEKIND *pTKind) PURE;
    STDMETHOD(GetTypeInfoOfGuid)(THIS_ REFGUID guid, ITypeInfo **ppTinfo) PURE;
    STDMETHOD(GetLibAttr)(THIS_ TLIBATTR **ppTLibAttr) PURE;
    STDMETHOD(GetTypeComp)(THIS_ ITypeComp **ppTComp) PURE;
    STDMETHOD(GetDocumentation)(THIS_ INT index, BSTR *pBstrName, BSTR *pBstrDocString,
                                DWORD *pdwHelpContext, BSTR *pBstrHelpFile) PURE;
    STDMETHOD(IsName)(THIS_ LPOLESTR szNameBuf, ULONG lHashVal, BOOL *pfName) PURE;
    STDMETHOD(FindName)(THIS_ LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo **ppTInfo,
                        MEMBERID *rgMemId, USHORT *pcFound) PURE;
    STDMETHOD_(void, ReleaseTLibAttr)(THIS_ TLIBATTR *pTLibAttr) PURE;
};
#undef INTERFACE
