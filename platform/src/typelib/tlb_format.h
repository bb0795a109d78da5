// The binary type-library format (see FORMAT.md beside this file): numbers, record
// sizes and field offsets shared by the interface compiler that writes it and the
// runtime that reads it. Plain C++ with no platform dependency.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mvtlb {

inline constexpr std::uint8_t kMagic[4] = {'M', 'V', 'T', 'L'};
inline constexpr std::uint16_t kMajorVersion = 1;
inline constexpr std::uint16_t kMinorVersion = 0;

// A string index that refers to no string.
inline constexpr std::uint32_t kNoString = 0xFFFFFFFFu;
// A type reference with this bit set names an import; without it, a type of the library.
inline constexpr std::uint32_t kImportBit = 0x80000000u;

// The tables, in the order of the header's directory.
enum Table : std::uint32_t {
    kLibraryTable = 0,
    kStringTable,
    kStringData,
    kTypeTable,
    kFuncTable,
    kParamTable,
    kTypeDescTable,
    kImplTable,
    kImportTable,
    kTableCount
};

// Record size of each table, in table order; string data is counted in bytes.
inline constexpr std::uint32_t kRecordSize[kTableCount] = {44, 8, 1, 56, 36, 12, 8, 8, 44};

// Header: magic, major, minor, file size, table count, then per table {offset, count}.
inline constexpr std::size_t kHeaderFixedSize = 16;
inline constexpr std::size_t kDirectoryEntrySize = 8;
inline constexpr std::size_t kHeaderSize = kHeaderFixedSize + kTableCount * kDirectoryEntrySize;

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
inline constexpr std::uint16_t kKindInterface = 3, kKindDispatch = 4, kKindCoclass = 5;
inline constexpr std::uint16_t kTypeFlagCanCreate = 0x2, kTypeFlagHidden = 0x10,
                               kTypeFlagDual = 0x40, kTypeFlagNonExtensible = 0x80,
                               kTypeFlagOleAutomation = 0x100, kTypeFlagRestricted = 0x200,
                               kTypeFlagDispatchable = 0x1000;
inline constexpr std::uint16_t kVtPtr = 26, kVtSafeArray = 27, kVtUserDefined = 29;

// The imported standard library that holds IUnknown and IDispatch.
inline constexpr std::uint8_t kStdOleLibId[16] = {0x30, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline constexpr std::uint16_t kStdOleMajor = 2, kStdOleMinor = 0;

} // namespace mvtlb
