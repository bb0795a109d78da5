// TypeView: flags, table size, parameters and member lookup of one type as callers see
// it, with a dual interface's dispatch and table views.
#include "typelib/type_view.h"

namespace morvane::typelib {

namespace {
char16_t fold(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}
// IDispatch's table: the size of a dispatch interface's own table.
constexpr WORD dispatch_table_size = 7 * 8;
} // namespace

bool same_name(const OLECHAR *name, const std::u16string &library_name)
{
    if (!name)
        return false;
    std::size_t i = 0;
    for (; i < library_name.size(); ++i)
        if (name[i] == 0 || fold(name[i]) != fold(library_name[i]))
            return false;
    return name[i] == 0;
}

WORD TypeView::flags() const
{
    return is_dispatch() ? static_cast<WORD>(type().flags | TYPEFLAG_FDISPATCHABLE) : type().flags;
}

WORD TypeView::vft_size() const
{
    return is_dispatch() ? dispatch_table_size : static_cast<WORD>(type().vft_slots * 8);
}

const ParamModel *TypeView::dispatch_result(const FuncModel &f) const
{
    if (!is_dispatch() || f.param_count == 0)
        return nullptr;
    const ParamModel &last = param(f, f.param_count - 1);
    return (last.flags & PARAMFLAG_FRETVAL) ? &last : nullptr;
}

std::uint32_t TypeView::param_count(const FuncModel &f) const
{
    return f.param_count - (dispatch_result(f) ? 1 : 0);
}

std::uint32_t TypeView::named_param_count(const FuncModel &f) const
{
    const std::uint32_t count = param_count(f);
    const bool writes = f.invkind == INVOKE_PROPERTYPUT || f.invkind == INVOKE_PROPERTYPUTREF;
    return writes && count > 0 ? count - 1 : count;
}

HREFTYPE TypeView::impl_ref(std::uint32_t i) const
{
    const std::uint32_t ref = library_.impls[type().first_impl + i].ref;
    // In a table view, a base that is a dual interface is its table view too.
    if (!(ref & import_ref) && kind() == TKIND_INTERFACE && library_.types[ref].is_dual())
        return twin_ref | ref;
    return ref;
}

long TypeView::find_func(MEMBERID memid, int invkind) const
{
    for (std::uint32_t i = 0; i < func_count(); ++i)
        if (func(i).memid == memid && (invkind == 0 || func(i).invkind == invkind))
            return static_cast<long>(i);
    return -1;
}

long TypeView::find_func(const OLECHAR *name) const
{
    for (std::uint32_t i = 0; i < func_count(); ++i)
        if (same_name(name, library_.strings[func(i).name]))
            return static_cast<long>(i);
    return -1;
}

} // namespace morvane::typelib
