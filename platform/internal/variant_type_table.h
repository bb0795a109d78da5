// What the project knows about each variant type word: its name, the size of one
// value, how the C calling convention passes it, and where it may be used. The
// runtime (variants, safe arrays, the call bridge, Invoke) and the interface
// compiler all look types up here, so that they cannot disagree.
#pragma once

#include <cstdint>

namespace morvane::vartype {

// How a value of the type travels as a C argument or result; `size` gives its width.
enum class Passing : std::uint8_t {
    none,     // not passed by value (or handled by the caller, as VARIANT is)
    signed_,  // a signed integer of `size` bytes
    unsigned_, // an unsigned integer of `size` bytes
    real,     // a binary floating-point value of `size` bytes
    pointer,  // a pointer
};

// Where the type may appear.
enum Use : std::uint8_t {
    array_element = 1, // safe arrays of it exist, with elements of `size` bytes
    convertible = 2,   // VariantChangeType reads and writes it
    returnable = 4,    // a member may hand it back as a variant of that type
    automation = 8,    // allowed in an automation-compatible interface
};

struct Info {
    std::uint16_t vt;
    const char *name; // the type word's name without its VT_ prefix
    std::uint8_t size; // bytes of one value; 0 when it has none
    Passing passing;
    std::uint8_t uses;
};

inline constexpr std::uint8_t pointer_size = sizeof(void *);

// Sorted by type word.
inline constexpr Info table[] = {
    {0, "EMPTY", 0, Passing::none, convertible},
    {1, "NULL", 0, Passing::none, 0},
    {2, "I2", 2, Passing::signed_, array_element | convertible | returnable | automation},
    {3, "I4", 4, Passing::signed_, array_element | convertible | returnable | automation},
    {4, "R4", 4, Passing::real, array_element | convertible | returnable | automation},
    {5, "R8", 8, Passing::real, array_element | convertible | returnable | automation},
    {6, "CY", 8, Passing::signed_, array_element | returnable | automation},
    {7, "DATE", 8, Passing::real, array_element | returnable | automation},
    {8, "BSTR", pointer_size, Passing::pointer, array_element | convertible | returnable | automation},
    {9, "DISPATCH", pointer_size, Passing::pointer, array_element | returnable | automation},
    {10, "ERROR", 4, Passing::signed_, array_element | returnable | automation},
    {11, "BOOL", 2, Passing::signed_, array_element | convertible | returnable | automation},
    {12, "VARIANT", 24, Passing::none, array_element | automation},
    {13, "UNKNOWN", pointer_size, Passing::pointer, array_element | returnable | automation},
    {14, "DECIMAL", 16, Passing::none, array_element},
    {16, "I1", 1, Passing::signed_, array_element | convertible | returnable},
    {17, "UI1", 1, Passing::unsigned_, array_element | convertible | returnable | automation},
    {18, "UI2", 2, Passing::unsigned_, array_element | convertible | returnable},
    {19, "UI4", 4, Passing::unsigned_, array_element | convertible | returnable},
    {20, "I8", 8, Passing::signed_, array_element | convertible | returnable},
    {21, "UI8", 8, Passing::unsigned_, array_element | convertible | returnable},
    {22, "INT", 4, Passing::signed_, array_element | convertible | returnable | automation},
    {23, "UINT", 4, Passing::unsigned_, array_element | convertible | returnable},
    {24, "VOID", 0, Passing::none, 0},
    {25, "HRESULT", 4, Passing::signed_, 0},
    {26, "PTR", pointer_size, Passing::pointer, 0},
    {27, "SAFEARRAY", pointer_size, Passing::pointer, 0},
    {28, "CARRAY", 0, Passing::none, 0},
    {29, "USERDEFINED", 0, Passing::none, 0},
    {30, "LPSTR", pointer_size, Passing::pointer, 0},
    {31, "LPWSTR", pointer_size, Passing::pointer, 0},
    {36, "RECORD", 0, Passing::none, 0},
    {37, "INT_PTR", 8, Passing::signed_, 0},
    {38, "UINT_PTR", 8, Passing::unsigned_, 0},
};

// The entry of a base type word (no VT_ARRAY or VT_BYREF bits), or null.
constexpr const Info *find(std::uint16_t vt)
{
    for (const Info &info : table) {
        if (info.vt == vt)
            return &info;
    }
    return nullptr;
}

constexpr bool has_use(std::uint16_t vt, Use use)
{
    const Info *info = find(vt);
    return info != nullptr && (info->uses & use) != 0;
}

} // namespace morvane::vartype
