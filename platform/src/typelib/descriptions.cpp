// Builds the TYPEATTR, FUNCDESC and TLIBATTR blocks handed to callers, each in one
// allocation with its type chains, and frees them.
#include "typelib/descriptions.h"

#include <cstring>
#include <new>

namespace morvane::typelib {

TYPEATTR *make_type_attr(const TypeView &view)
{
    auto *attr = new (std::nothrow) TYPEATTR{};
    if (!attr)
        return nullptr;
    const TypeModel &type = view.type();
    attr->guid = type.guid;
    attr->lcid = view.library().lcid;
    attr->memidConstructor = MEMBERID_NIL;
    attr->memidDestructor = MEMBERID_NIL;
    attr->cbSizeInstance = sizeof(void *);
    attr->typekind = view.kind();
    attr->cFuncs = static_cast<WORD>(view.func_count());
    attr->cImplTypes = static_cast<WORD>(view.impl_count());
    attr->cbSizeVft = view.vft_size();
    attr->cbAlignment = alignof(void *);
    attr->wTypeFlags = view.flags();
    attr->wMajorVerNum = type.major;
    attr->wMinorVerNum = type.minor;
    attr->tdescAlias.vt = VT_EMPTY;
    return attr;
}

void free_type_attr(TYPEATTR *attr)
{
    delete attr;
}

namespace {

// Number of TYPEDESC nodes in the type rooted at `node` (its chain of pointers).
std::size_t chain_length(const LibraryModel &library, std::uint32_t node)
{
    std::size_t length = 1;
    while (library.nodes[node].vt == VT_PTR || library.nodes[node].vt == VT_SAFEARRAY) {
        node = library.nodes[node].ref;
        ++length;
    }
    return length;
}

// Fills `out` with the type rooted at `node`, taking further nodes from `spare`.
void fill_type(const LibraryModel &library, std::uint32_t node, TYPEDESC &out, TYPEDESC *&spare)
{
    TYPEDESC *current = &out;
    for (;;) {
        const TypeNode &n = library.nodes[node];
        current->vt = n.vt;
        if (n.vt == VT_PTR || n.vt == VT_SAFEARRAY) {
            current->lptdesc = spare++;
            current = current->lptdesc;
            node = n.ref;
            continue;
        }
        if (n.vt == VT_USERDEFINED)
            current->hreftype = n.ref;
        return;
    }
}

} // namespace

FUNCDESC *make_func_desc(const TypeView &view, std::uint32_t index)
{
    const LibraryModel &library = view.library();
    const FuncModel &func = view.func(index);
    const std::uint32_t count = view.param_count(func);

    // The result's type: declared, or in a dispatch view the retval's pointee.
    const ParamModel *returned = view.dispatch_result(func);
    std::uint32_t result = func.result;
    bool void_result = false;
    if (returned) {
        const TypeNode &node = library.nodes[returned->type];
        result = node.vt == VT_PTR ? node.ref : returned->type;
    } else if (view.is_dispatch() && library.nodes[func.result].vt == VT_HRESULT) {
        void_result = true;
    }

    std::size_t spare_nodes = void_result ? 0 : chain_length(library, result) - 1;
    for (std::uint32_t i = 0; i < count; ++i)
        spare_nodes += chain_length(library, view.param(func, i).type) - 1;

    const std::size_t bytes = sizeof(FUNCDESC) + count * sizeof(ELEMDESC) + spare_nodes * sizeof(TYPEDESC);
    void *block = ::operator new(bytes, std::nothrow);
    if (!block)
        return nullptr;
    std::memset(block, 0, bytes);
    auto *desc = static_cast<FUNCDESC *>(block);
    auto *params = reinterpret_cast<ELEMDESC *>(desc + 1);
    auto *spare = reinterpret_cast<TYPEDESC *>(params + count);

    desc->memid = func.memid;
    desc->lprgelemdescParam = count ? params : nullptr;
    desc->funckind = view.is_dispatch() ? FUNC_DISPATCH : FUNC_PUREVIRTUAL;
    desc->invkind = func.invkind;
    desc->callconv = CC_STDCALL;
    desc->cParams = static_cast<SHORT>(count);
    desc->oVft = static_cast<SHORT>(func.vft_slot * 8);
    desc->wFuncFlags = func.flags;
    if (void_result)
        desc->elemdescFunc.tdesc.vt = VT_VOID;
    else
        fill_type(library, result, desc->elemdescFunc.tdesc, spare);
    for (std::uint32_t i = 0; i < count; ++i) {
        const ParamModel &param = view.param(func, i);
        fill_type(library, param.type, params[i].tdesc, spare);
        params[i].paramdesc.wParamFlags = param.flags;
    }
    return desc;
}

void free_func_desc(FUNCDESC *desc)
{
    ::operator delete(desc);
}

TLIBATTR *make_lib_attr(const LibraryModel &library)
{
    auto *attr = new (std::nothrow) TLIBATTR{};
    if (!attr)
        return nullptr;
    attr->guid = library.guid;
    attr->lcid = library.lcid;
    attr->syskind = library.syskind;
    attr->wMajorVerNum = library.major;
    attr->wMinorVerNum = library.minor;
    attr->wLibFlags = library.flags;
    return attr;
}

void free_lib_attr(TLIBATTR *attr)
{
    delete attr;
}

} // namespace morvane::typelib
