// Type names resolved to their automation type numbers and C spellings.
#include "types.h"

#include "diagnostic.h"

#include <variant_type_table.h>

#include <string_view>

namespace idl {

namespace {
struct KnownType {
    std::string_view name;
    std::uint16_t vt;
    std::string_view spelling;
    bool is_interface; // written with one pointer, which belongs to the type
};

constexpr KnownType known_types[] = {
    {"long", vt::I4, "LONG", false},
    {"LONG", vt::I4, "LONG", false},
    {"signed long", vt::I4, "LONG", false},
    {"int", vt::INT, "INT", false},
    {"INT", vt::INT, "INT", false},
    {"signed int", vt::INT, "INT", false},
    {"short", vt::I2, "SHORT", false},
    {"SHORT", vt::I2, "SHORT", false},
    {"signed short", vt::I2, "SHORT", false},
    {"char", vt::I1, "CHAR", false},
    {"CHAR", vt::I1, "CHAR", false},
    {"signed char", vt::I1, "CHAR", false},
    {"unsigned long", vt::UI4, "ULONG", false},
    {"ULONG", vt::UI4, "ULONG", false},
    {"DWORD", vt::UI4, "DWORD", false},
    {"unsigned int", vt::UINT, "UINT", false},
    {"UINT", vt::UINT, "UINT", false},
    {"unsigned short", vt::UI2, "USHORT", false},
    {"USHORT", vt::UI2, "USHORT", false},
    {"WORD", vt::UI2, "WORD", false},
    {"unsigned char", vt::UI1, "BYTE", false},
    {"BYTE", vt::UI1, "BYTE", false},
    {"byte", vt::UI1, "BYTE", false},
    {"LONGLONG", vt::I8, "LONGLONG", false},
    {"ULONGLONG", vt::UI8, "ULONGLONG", false},
    {"float", vt::R4, "FLOAT", false},
    {"FLOAT", vt::R4, "FLOAT", false},
    {"double", vt::R8, "DOUBLE", false},
    {"DOUBLE", vt::R8, "DOUBLE", false},
    {"DATE", vt::DATE, "DATE", false},
    {"CURRENCY", vt::CY, "CY", false},
    {"CY", vt::CY, "CY", false},
    {"BSTR", vt::BSTR, "BSTR", false},
    {"VARIANT", vt::VARIANT, "VARIANT", false},
    {"VARIANT_BOOL", vt::BOOL, "VARIANT_BOOL", false},
    {"SCODE", vt::ERROR, "SCODE", false},
    {"HRESULT", vt::HRESULT, "HRESULT", false},
    {"void", vt::VOID, "void", false},
    {"IUnknown", vt::UNKNOWN, "IUnknown *", true},
    {"IDispatch", vt::DISPATCH, "IDispatch *", true},
};
} // namespace

Type resolve_type(const ast::TypeSpec &spec)
{
    for (const KnownType &known : known_types) {
        if (known.name != spec.name)
            continue;
        Type type;
        type.vt = known.vt;
        type.base_spelling = std::string(known.spelling);
        type.pointers = spec.pointers;
        if (known.is_interface) {
            if (spec.pointers == 0)
                throw CompileError(spec.where, "interface type '" + spec.name +
                                                   "' must be used through a pointer");
            --type.pointers;
        }
        if (type.pointers > 2)
            throw CompileError(spec.where, "more than two levels of pointers are not supported");
        return type;
    }
    throw CompileError(spec.where, "unknown type '" + spec.name + "'");
}

bool is_automation_type(const Type &type)
{
    return morvane::vartype::has_use(type.vt, morvane::vartype::automation) && type.pointers <= 1;
}

} // namespace idl
