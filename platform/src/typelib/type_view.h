// How one type of a library looks to callers. A dual interface is seen two ways:
// as listed in the library it is a dispatch interface whose members return their
// [out, retval] parameter; its table view, reached through GetRefTypeOfImplType(-1),
// is the interface with its members as declared.
#pragma once

#include "typelib/library_model.h"

#include <cstdint>

namespace morvane::typelib {

class TypeView {
public:
    TypeView(const LibraryModel &library, std::uint32_t index, bool table_view)
        : library_(library), index_(index), table_view_(table_view)
    {
    }

    const LibraryModel &library() const { return library_; }
    std::uint32_t index() const { return index_; }
    const TypeModel &type() const { return library_.types[index_]; }

    // The dispatch view of a dual interface.
    bool is_dispatch() const { return !table_view_ && type().is_dual(); }
    TYPEKIND kind() const { return is_dispatch() ? TKIND_DISPATCH : type().kind; }
    WORD flags() const;
    WORD vft_size() const;

    std::uint32_t func_count() const { return type().func_count; }
    const FuncModel &func(std::uint32_t i) const { return library_.funcs[type().first_func + i]; }
    const ParamModel &param(const FuncModel &f, std::uint32_t i) const
    {
        return library_.params[f.first_param + i];
    }
    // The [out, retval] parameter that the dispatch view returns, or null.
    const ParamModel *dispatch_result(const FuncModel &f) const;
    // Parameters a caller passes in this view: all, less the returned one.
    std::uint32_t param_count(const FuncModel &f) const;
    // Parameters that have a name for callers: a property write's value has none.
    std::uint32_t named_param_count(const FuncModel &f) const;

    std::uint32_t impl_count() const { return type().impl_count; }
    // The handle of implemented type i, as GetRefTypeOfImplType reports it.
    HREFTYPE impl_ref(std::uint32_t i) const;
    INT impl_flags(std::uint32_t i) const { return library_.impls[type().first_impl + i].flags; }

    // First member with this identifier (and kind, unless 0), or -1.
    long find_func(MEMBERID memid, int invkind = 0) const;
    // First member with this name, without regard to letter case, or -1.
    long find_func(const OLECHAR *name) const;

private:
    const LibraryModel &library_;
    std::uint32_t index_;
    bool table_view_;
};

// Letter-case-insensitive comparison of a caller's zero-terminated name with a
// library name (ASCII letters fold; other characters must match exactly).
bool same_name(const OLECHAR *name, const std::u16string &library_name);

} // namespace morvane::typelib
