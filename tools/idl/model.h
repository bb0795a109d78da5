// The checked meaning of an interface definition: interfaces with their table slots
// and member identifiers, classes and the library, ready for the writers.
#pragma once

#include "guid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace idl {

// Automation type numbers used by the compiler.
namespace vt {
inline constexpr std::uint16_t I2 = 2, I4 = 3, R4 = 4, R8 = 5, CY = 6, DATE = 7, BSTR = 8,
                               DISPATCH = 9, ERROR = 10, BOOL = 11, VARIANT = 12, UNKNOWN = 13,
                               I1 = 16, UI1 = 17, UI2 = 18, UI4 = 19, I8 = 20, UI8 = 21, INT = 22,
                               UINT = 23, VOID = 24, HRESULT = 25;
}

enum ParamFlag : std::uint16_t { param_in = 0x1, param_out = 0x2, param_retval = 0x8 };
enum InvokeKind : std::uint16_t { invoke_func = 1, invoke_get = 2, invoke_put = 4, invoke_put_ref = 8 };
enum FuncFlag : std::uint16_t { func_restricted = 0x1, func_hidden = 0x40 };
enum ImplFlag : std::uint16_t { impl_default = 0x1, impl_source = 0x2, impl_restricted = 0x4 };

struct Type {
    std::uint16_t vt = vt::VOID; // the base type
    int pointers = 0;            // pointers above the base (an interface's own '*' is in the base)
    std::string base_spelling;   // "LONG", "IDispatch *"

    // The C spelling, e.g. "LONG *" or "VARIANT".
    std::string spelling() const;
};

struct Param {
    std::string name;
    Type type;
    std::uint16_t flags = param_in;
};

struct Method {
    std::string name;
    InvokeKind invkind = invoke_func;
    Type result;
    std::vector<Param> params;
    std::int32_t memid = 0;
    std::uint16_t func_flags = 0;
    std::string helpstring;
    std::uint32_t help_context = 0;
    unsigned slot = 0;
    // For the platform's own members: the C parameter list as the runtime's headers write it.
    std::string builtin_params;

    // The name in the generated header: get_x, put_x, putref_x or the method's name.
    std::string member_name() const;
};

struct Interface {
    std::string name;
    Guid iid;
    int base = -1; // index into Module::interfaces, -1 for IUnknown
    bool builtin = false;
    bool dual = false;
    bool oleautomation = false;
    bool dispatchable = false; // derives from IDispatch
    std::uint16_t type_flags = 0;
    std::string helpstring;
    std::uint32_t help_context = 0;
    std::vector<Method> methods;
    unsigned first_slot = 0;
    unsigned depth = 0; // 0 for IUnknown

    unsigned slot_count() const { return first_slot + static_cast<unsigned>(methods.size()); }
};

struct CoclassImpl {
    int iface = 0; // index into Module::interfaces
    std::uint16_t flags = 0;
};

struct Coclass {
    std::string name;
    Guid clsid;
    std::uint16_t type_flags = 0;
    std::string helpstring;
    std::uint32_t help_context = 0;
    std::vector<CoclassImpl> impls;
};

struct LibraryEntry {
    enum class Kind { Interface, Coclass };
    Kind kind;
    int index;
};

struct Library {
    std::string name;
    Guid libid;
    std::uint16_t major = 0, minor = 0;
    std::uint32_t lcid = 0;
    std::uint16_t flags = 0;
    std::string helpstring;
    std::uint32_t help_context = 0;
    std::vector<LibraryEntry> entries; // the type library's order
};

struct Module {
    std::vector<Interface> interfaces; // IUnknown and IDispatch first, then the file's
    std::vector<Coclass> coclasses;
    std::optional<Library> library;
};

inline constexpr int iunknown_index = 0;
inline constexpr int idispatch_index = 1;

} // namespace idl
