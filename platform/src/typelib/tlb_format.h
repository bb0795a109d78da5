// The binary type-library format (see FORMAT.md beside this file): numbers, record
// sizes and field offsets shared by the interface compiler that writes it and the
// runtime that reads it. Plain C++ with no platform dependency.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane::typelib::format {

inline constexpr std::uint8_t file_magic[4] = {'M', 'V', 'T', 'L'};
inline constexpr std::uint16_t major_version = 1;
inline constexpr std::uint16_t minor_version = 0;

// A string index that refers to no string.
inline constexpr std::uint32_t no_string = 0xFFFFFFFFu;
// A type reference with this bit set names an import; without it, a type of the library.
inline constexpr std::uint32_t import_bit = 0x80000000u;

// The tables, in the order of the header's directory.
enum Table : std::uint32_t {
    library_table = 0,
    string_table,
    string_data,
    type_table,
    func_table,
    param_table,
    typedesc_table,
    impl_table,
    import_table,
    known_table_count
};

// Record size of each table, in table order; string data is counted in bytes.
inline constexpr std::uint32_t record_sizes[known_table_count] = {44, 8, 1, 56, 36, 12, 8, 8, 44};

// Header: magic, major, minor, file size, table count, then per table {offset, count}.
inline constexpr std::size_t header_fixed_size = 16;
inline constexpr std::size_t directory_entry_size = 8;
inline constexpr std::size_t header_size = header_fixed_size + known_table_count * directory_entry_size;

namespace header {
inline constexpr std::size_t magic = 0, major = 4, minor = 6, file_size = 8, table_count = 12,
                             directory = 16;
}
namespace library {
inline constexpr std::size_t guid = 0, lcid = 16, syskind = 20, major = 22, minor = 24, flags = 26,
                             name = 28, doc = 32, help_context = 36, help_file = 40;
}
namespace string_ref {
inline constexpr std::size_t offset = 0, length = 4;
}
namespace type {
inline constexpr std::size_t guid = 0, name = 16, doc = 20, help_context = 24, kind = 28,
                             flags = 30, major = 32, minor = 34, first_func = 36, func_count = 40,
                             first_impl = 44, impl_count = 48, vft_slots = 52;
}
namespace func {
inline constexpr std::size_t memid = 0, name = 4, doc = 8, help_context = 12, invkind = 16,
                             flags = 18, vft_slot = 20, reserved = 22, return_type = 24,
                             first_param = 28, param_count = 32;
}
namespace param {
inline constexpr std::size_t name = 0, type = 4, flags = 8, reserved = 10;
}
namespace typedesc {
inline constexpr std::size_t vt = 0, reserved = 2, ref = 4;
}
namespace impl {
inline constexpr std::size_t ref = 0, flags = 4, reserved = 6;
}
namespace import {
inline constexpr std::size_t lib_guid = 0, lib_major = 16, lib_minor = 18, lib_name = 20,
                             type_guid = 24, type_name = 40;
}

// Type kinds, flags and variant types as the automation headers number them, so that
// the compiler needs no platform header.
inline constexpr std::uint16_t kind_interface = 3, kind_dispatch = 4, kind_coclass = 5;
inline constexpr std::uint16_t type_flag_can_create = 0x2, type_flag_hidden = 0x10,
                               type_flag_dual = 0x40, type_flag_non_extensible = 0x80,
                               type_flag_ole_automation = 0x100, type_flag_restricted = 0x200,
                               type_flag_dispatchable = 0x1000;
inline constexpr std::uint16_t vt_ptr = 26, vt_safearray = 27, vt_user_defined = 29;

// The imported standard library that holds IUnknown and IDispatch.
inline constexpr std::uint8_t stdole_lib_id[16] = {0x30, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline constexpr std::uint16_t stdole_major = 2, stdole_minor = 0;

} // namespace morvane::typelib::format
