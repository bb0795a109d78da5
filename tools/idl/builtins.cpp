// IUnknown and IDispatch as the compiler knows them, and which imports stand for the platform's.
#include "builtins.h"

#include <base_interfaces.h>

namespace idl {

namespace {
namespace base = morvane::base_interfaces;

// The members of a base interface, with the C parameter lists the runtime's headers write.
template <std::size_t N>
void add_members(Interface &iface, const base::Member (&members)[N], const char *const (&params)[N])
{
    for (std::size_t i = 0; i < N; ++i) {
        Method m;
        m.name = members[i].name;
        m.result.vt = members[i].result_vt;
        m.result.base_spelling = members[i].result_vt == vt::HRESULT ? "HRESULT" : "ULONG";
        m.builtin_params = params[i];
        m.func_flags = func_restricted;
        m.slot = iface.first_slot + static_cast<unsigned>(i);
        m.memid = base::member_id(iface.depth, static_cast<unsigned>(i));
        iface.methods.push_back(std::move(m));
    }
}
} // namespace

void add_builtin_interfaces(Module &module)
{
    Interface unknown;
    unknown.name = "IUnknown";
    unknown.iid = *parse_guid("00000000-0000-0000-C000-000000000046");
    unknown.builtin = true;
    add_members(unknown, base::unknown_members, {"REFIID riid, void **ppvObject", "", ""});
    module.interfaces.push_back(std::move(unknown));

    Interface dispatch;
    dispatch.name = "IDispatch";
    dispatch.iid = *parse_guid("00020400-0000-0000-C000-000000000046");
    dispatch.builtin = true;
    dispatch.base = iunknown_index;
    dispatch.dispatchable = true;
    dispatch.oleautomation = true;
    dispatch.depth = 1;
    dispatch.first_slot = 3;
    add_members(dispatch, base::dispatch_members,
                {"UINT *pctinfo", "UINT iTInfo, LCID lcid, ITypeInfo **ppTInfo",
                 "REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID lcid, DISPID *rgDispId",
                 "DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS *pDispParams, "
                 "VARIANT *pVarResult, EXCEPINFO *pExcepInfo, UINT *puArgErr"});
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
