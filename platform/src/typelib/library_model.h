// A type library as the runtime holds it once read: immutable, shared by the library
// object and all its type descriptions. Strings and type nodes are stored once and
// referred to by index, so that a file cannot make the model larger than itself by
// referring to the same data many times.
#pragma once

#include <oatypelib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace morvane::typelib {

inline constexpr std::uint32_t no_index = 0xFFFFFFFFu;

// One node of a type: a pointer or safe array refers to an earlier node; a
// user-defined type holds a type reference (see TypeRef).
struct TypeNode {
    VARTYPE vt = VT_EMPTY;
    std::uint32_t ref = 0;
};

// A type reference: a type of the library, or with import_ref set, an import. The
// runtime also hands out twin_ref | index for the table view of a dual interface.
inline constexpr std::uint32_t import_ref = 0x80000000u;
inline constexpr std::uint32_t twin_ref = 0x40000000u;

struct ParamModel {
    std::uint32_t name = no_index;
    std::uint32_t type = 0;
    USHORT flags = 0;
};

struct FuncModel {
    MEMBERID memid = 0;
    std::uint32_t name = no_index;
    std::uint32_t doc = no_index;
    DWORD help_context = 0;
    INVOKEKIND invkind = INVOKE_FUNC;
    WORD flags = 0;
    WORD vft_slot = 0;
    std::uint32_t result = 0;
    std::uint32_t first_param = 0;
    std::uint32_t param_count = 0;
};

struct ImplModel {
    std::uint32_t ref = 0;
    INT flags = 0;
};

struct TypeModel {
    GUID guid{};
    std::uint32_t name = no_index;
    std::uint32_t doc = no_index;
    DWORD help_context = 0;
    TYPEKIND kind = TKIND_INTERFACE;
    WORD flags = 0;
    WORD major = 0, minor = 0;
    WORD vft_slots = 0;
    std::uint32_t first_func = 0, func_count = 0;
    std::uint32_t first_impl = 0, impl_count = 0;

    bool is_dual() const { return kind == TKIND_INTERFACE && (flags & TYPEFLAG_FDUAL); }
};

struct ImportModel {
    GUID library{};
    WORD major = 0, minor = 0;
    std::uint32_t library_name = no_index;
    GUID type{};
    std::uint32_t type_name = no_index;
};

struct LibraryModel {
    GUID guid{};
    LCID lcid = 0;
    SYSKIND syskind = SYS_WIN64;
    WORD major = 0, minor = 0, flags = 0;
    std::uint32_t name = no_index;
    std::uint32_t doc = no_index;
    DWORD help_context = 0;
    std::uint32_t help_file = no_index;

    std::vector<std::u16string> strings;
    std::vector<TypeNode> nodes;
    std::vector<TypeModel> types;
    std::vector<FuncModel> funcs;
    std::vector<ParamModel> params;
    std::vector<ImplModel> impls;
    std::vector<ImportModel> imports;

    const std::u16string *string(std::uint32_t index) const
    {
        return index < strings.size() ? &strings[index] : nullptr;
    }
};

} // namespace morvane::typelib
