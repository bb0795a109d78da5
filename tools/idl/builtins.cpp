#include "builtins.h"

namespace idl {

namespace {
Method builtin(std::string name, std::uint16_t result_vt, std::string result, std::string params)
{
    Method m;
    m.name = std::move(name);
    m.result.vt = result_vt;
    m.result.base_spelling = std::move(result);
    m.builtin_params = std::move(params);
    m.func_flags = kFuncRestricted;
    return m;
}

void number(Interface &iface)
{
    for (std::size_t i = 0; i < iface.methods.size(); ++i) {
        iface.methods[i].slot = iface.first_slot + static_cast<unsigned>(i);
        iface.methods[i].memid = static_cast<std::int32_t>(0x60000000u | iface.depth << 16 | i);
    }
}
} // namespace

void add_builtin_interfaces(Module &module)
{
    Interface unknown;
    unknown.name = "IUnknown";
    unknown.iid = *parse_guid("00000000-0000-0000-C000-000000000046");
    unknown.builtin = true;
    unknown.methods = {
        builtin("QueryInterface", vt::HRESULT, "HRESULT", "REFIID riid, void **ppvObject"),
        builtin("AddRef", vt::UI4, "ULONG", ""),
        builtin("Release", vt::UI4, "ULONG", ""),
    };
    number(unknown);
    module.interfaces.push_back(std::move(unknown));

    Interface dispatch;
    dispatch.name = "IDispatch";
    dispatch.iid = *parse_guid("00020400-0000-0000-C000-000000000046");
    dispatch.builtin = true;
    dispatch.base = kIUnknown;
    dispatch.dispatchable = true;
    dispatch.oleautomation = true;
    dispatch.depth = 1;
    dispatch.first_slot = 3;
    dispatch.methods = {
        builtin("GetTypeInfoCount", vt::HRESULT, "HRESULT", "UINT *pctinfo"),
        builtin("GetTypeInfo", vt::HRESULT, "HRESULT", "UINT iTInfo, LCID lcid, ITypeInfo **ppTInfo"),
        builtin("GetIDsOfNames", vt::HRESULT, "HRESULT",
                "REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID lcid, DISPID *rgDispId"),
        builtin("Invoke", vt::HRESULT, "HRESULT",
                "DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS *pDispParams, "
                "VARIANT *pVarResult, EXCEPINFO *pExcepInfo, UINT *puArgErr"),
    };
    number(dispatch);
    module.interfaces.push_back(std::move(dispatch));
}

bool is_platform_import(std::string_view file)
{
    return file == "oaidl.idl" || file == "ocidl.idl" || file == "objidl.idl" ||
           file == "unknwn.idl" || file == "wtypes.idl";
}

bool is_standard_library(std::string_view file)
{
    return file == "stdole2.tlb" || file == "stdole32.tlb";
}

} // namespace idl
