// The members of IUnknown and IDispatch in table order, and the identifier rule
// for members declared without one. The interface compiler and the runtime's
// standard type library both build their descriptions of the base interfaces
// from these lists.
#pragma once

#include <cstdint>

namespace morvane::base_interfaces {

// The identifier of the index-th member of an interface at the given depth of
// inheritance (IUnknown is depth 0), when the member does not declare its own.
constexpr std::int32_t member_id(unsigned depth, unsigned index)
{
    return static_cast<std::int32_t>(0x60000000u | depth << 16 | index);
}

struct Member {
    const char *name;
    std::uint16_t result_vt; // the automation type word of the result
};

inline constexpr std::uint16_t result_hresult = 25; // VT_HRESULT
inline constexpr std::uint16_t result_ulong = 19;   // VT_UI4

inline constexpr Member unknown_members[] = {
    {"QueryInterface", result_hresult},
    {"AddRef", result_ulong},
    {"Release", result_ulong},
};

inline constexpr Member dispatch_members[] = {
    {"GetTypeInfoCount", result_hresult},
    {"GetTypeInfo", result_hresult},
    {"GetIDsOfNames", result_hresult},
    {"Invoke", result_hresult},
};

} // namespace morvane::base_interfaces
