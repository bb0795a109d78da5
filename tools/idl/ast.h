// The interface definition as written: declarations with their attribute lists,
// before any meaning is checked.
#pragma once

#include "diagnostic.h"
#include "guid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace idl::ast {

struct Attribute {
    enum class Kind { Flag, Integer, String, Uuid, Version, Identifier };
    std::string name;
    Kind kind = Kind::Flag;
    std::int64_t integer = 0;
    std::string text; // string or identifier argument
    Guid uuid;
    std::uint16_t major = 0, minor = 0;
    Location where;
};
using Attributes = std::vector<Attribute>;

struct TypeSpec {
    std::string name; // "long", "unsigned char", "VARIANT", ...
    int pointers = 0;
    Location where;
};

struct Param {
    Attributes attrs;
    TypeSpec type;
    std::string name; // may be empty
    Location where;
};

struct Method {
    Attributes attrs;
    TypeSpec result;
    std::string name;
    std::vector<Param> params;
    Location where;
};

struct Interface {
    Attributes attrs;
    std::string name;
    std::optional<std::string> base;
    Location base_where;
    std::vector<Method> methods;
    bool defined = false; // false for a plain "interface X;" reference
    Location where;
};

struct CoclassMember {
    Attributes attrs;
    std::string name;
    Location where;
};

struct Coclass {
    Attributes attrs;
    std::string name;
    std::vector<CoclassMember> members;
    Location where;
};

struct Import {
    std::string file;
    Location where;
};

// One statement of the library block, in source order.
struct LibraryItem {
    enum class Kind { Interface, Coclass };
    Kind kind;
    std::size_t index; // into File::interfaces or File::coclasses
};

struct Library {
    Attributes attrs;
    std::string name;
    std::vector<Import> importlibs;
    std::vector<LibraryItem> items;
    Location where;
};

struct File {
    std::vector<Import> imports;
    std::vector<Interface> interfaces; // definitions and references, in source order
    std::vector<Coclass> coclasses;
    std::optional<Library> library;
};

} // namespace idl::ast
