// The model of the standard library (stdole2) with IUnknown and IDispatch, built in
// code, and the one permanent library object over it.
#include "typelib/standard_library.h"

#include "typelib/type_library.h"

#include <base_interfaces.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <new>
#include <utility>

namespace morvane::typelib {

namespace {

namespace base = morvane::base_interfaces;

// Builds the model of the standard library member by member.
class Builder {
public:
    std::uint32_t text(const char16_t *s)
    {
        model_.strings.emplace_back(s);
        return static_cast<std::uint32_t>(model_.strings.size() - 1);
    }

    std::uint32_t node(VARTYPE vt, std::uint32_t ref = 0)
    {
        model_.nodes.push_back({vt, ref});
        return static_cast<std::uint32_t>(model_.nodes.size() - 1);
    }
    std::uint32_t pointer_to(VARTYPE vt) { return node(VT_PTR, node(vt)); }
    std::uint32_t pointer_to_pointer_to(VARTYPE vt) { return node(VT_PTR, pointer_to(vt)); }

    void add_interface(const GUID &guid, const char16_t *name, WORD flags, unsigned first_slot,
                   std::uint32_t base_ref, bool has_base)
    {
        TypeModel type;
        type.guid = guid;
        type.name = text(name);
        type.kind = TKIND_INTERFACE;
        type.flags = flags;
        type.first_func = static_cast<std::uint32_t>(model_.funcs.size());
        type.first_impl = static_cast<std::uint32_t>(model_.impls.size());
        type.vft_slots = static_cast<WORD>(first_slot);
        if (has_base) {
            model_.impls.push_back({base_ref, 0});
            type.impl_count = 1;
        }
        depth_ = first_slot == 0 ? 0 : 1;
        model_.types.push_back(type);
    }

    // The next member of the last interface, as the shared list of base members names it.
    void member(const base::Member &listed,
                std::initializer_list<std::pair<const char16_t *, std::uint32_t>> params)
    {
        TypeModel &type = model_.types.back();
        FuncModel func;
        func.memid = base::member_id(depth_, type.func_count);
        func.name = text(std::u16string(listed.name, listed.name + std::strlen(listed.name)).c_str());
        func.invkind = INVOKE_FUNC;
        func.flags = FUNCFLAG_FRESTRICTED;
        func.vft_slot = type.vft_slots;
        func.result = node(listed.result_vt);
        func.first_param = static_cast<std::uint32_t>(model_.params.size());
        for (const auto &[param_name, type_node] : params)
            model_.params.push_back({text(param_name), type_node, PARAMFLAG_FIN});
        func.param_count = static_cast<std::uint32_t>(params.size());
        model_.funcs.push_back(func);
        ++type.func_count;
        ++type.vft_slots;
    }

    // Marks the last parameter of the last member as an out parameter.
    void last_is_out()
    {
        model_.params.back().flags = PARAMFLAG_FOUT;
    }

    LibraryModel take() { return std::move(model_); }
    LibraryModel &model() { return model_; }

private:
    LibraryModel model_;
    unsigned depth_ = 0;
};

LibraryModel build()
{
    Builder b;
    LibraryModel &m = b.model();
    m.guid = standard_library_id();
    m.major = 2;
    m.minor = 0;
    m.syskind = SYS_WIN64;
    m.name = b.text(u"stdole");
    m.doc = b.text(u"OLE Automation");

    b.add_interface(IID_IUnknown, u"IUnknown", TYPEFLAG_FHIDDEN, 0, 0, false);
    b.member(base::unknown_members[0],
             {{u"riid", b.pointer_to(VT_VOID)}, {u"ppvObj", b.pointer_to_pointer_to(VT_VOID)}});
    b.last_is_out();
    b.member(base::unknown_members[1], {});
    b.member(base::unknown_members[2], {});

    b.add_interface(IID_IDispatch, u"IDispatch", TYPEFLAG_FDISPATCHABLE, 3, 0, true);
    b.member(base::dispatch_members[0], {{u"pctinfo", b.pointer_to(VT_UINT)}});
    b.last_is_out();
    b.member(base::dispatch_members[1],
             {{u"itinfo", b.node(VT_UINT)}, {u"lcid", b.node(VT_UI4)},
              {u"pptinfo", b.pointer_to_pointer_to(VT_VOID)}});
    b.last_is_out();
    b.member(base::dispatch_members[2],
             {{u"riid", b.pointer_to(VT_VOID)}, {u"rgszNames", b.pointer_to_pointer_to(VT_I1)},
              {u"cNames", b.node(VT_UINT)}, {u"lcid", b.node(VT_UI4)},
              {u"rgdispid", b.pointer_to(VT_I4)}});
    b.last_is_out();
    b.member(base::dispatch_members[3],
             {{u"dispidMember", b.node(VT_I4)}, {u"riid", b.pointer_to(VT_VOID)},
              {u"lcid", b.node(VT_UI4)}, {u"wFlags", b.node(VT_UI2)},
              {u"pdispparams", b.pointer_to(VT_VOID)}, {u"pvarResult", b.pointer_to(VT_VARIANT)},
              {u"pexcepinfo", b.pointer_to(VT_VOID)}, {u"puArgErr", b.pointer_to(VT_UINT)}});
    return b.take();
}

} // namespace

const GUID &standard_library_id()
{
    static const GUID id = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    return id;
}

const LibraryModel &standard_library_model()
{
    static const LibraryModel model = build();
    return model;
}

ITypeLib *standard_library()
{
    // Created on first use and kept for the life of the process: imported
    // descriptions handed out from any library stay valid.
    try {
        static TypeLibrary *const library = TypeLibrary::create_permanent(standard_library_model());
        return library;
    } catch (const std::bad_alloc &) {
        return nullptr; // tried again on the next call
    }
}

} // namespace morvane::typelib
