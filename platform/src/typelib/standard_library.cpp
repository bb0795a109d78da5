#include "typelib/standard_library.h"

#include "typelib/type_library.h"

#include <initializer_list>
#include <new>
#include <utility>

namespace mvtl {

namespace {

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

    void member(const char16_t *name, VARTYPE result,
                std::initializer_list<std::pair<const char16_t *, std::uint32_t>> params)
    {
        TypeModel &type = model_.types.back();
        FuncModel func;
        func.memid = static_cast<MEMBERID>(0x60000000u | depth_ << 16 | type.func_count);
        func.name = text(name);
        func.invkind = INVOKE_FUNC;
        func.flags = FUNCFLAG_FRESTRICTED;
        func.vft_slot = type.vft_slots;
        func.result = node(result);
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
    b.member(u"QueryInterface", VT_HRESULT,
             {{u"riid", b.pointer_to(VT_VOID)}, {u"ppvObj", b.pointer_to_pointer_to(VT_VOID)}});
    b.last_is_out();
    b.member(u"AddRef", VT_UI4, {});
    b.member(u"Release", VT_UI4, {});

    b.add_interface(IID_IDispatch, u"IDispatch", TYPEFLAG_FDISPATCHABLE, 3, 0, true);
    b.member(u"GetTypeInfoCount", VT_HRESULT, {{u"pctinfo", b.pointer_to(VT_UINT)}});
    b.last_is_out();
    b.member(u"GetTypeInfo", VT_HRESULT,
             {{u"itinfo", b.node(VT_UINT)}, {u"lcid", b.node(VT_UI4)},
              {u"pptinfo", b.pointer_to_pointer_to(VT_VOID)}});
    b.last_is_out();
    b.member(u"GetIDsOfNames", VT_HRESULT,
             {{u"riid", b.pointer_to(VT_VOID)}, {u"rgszNames", b.pointer_to_pointer_to(VT_I1)},
              {u"cNames", b.node(VT_UINT)}, {u"lcid", b.node(VT_UI4)},
              {u"rgdispid", b.pointer_to(VT_I4)}});
    b.last_is_out();
    b.member(u"Invoke", VT_HRESULT,
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

} // namespace mvtl
