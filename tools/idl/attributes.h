// Checks the attribute list of one declaration against what that declaration allows
// and gives typed access to the values.
#pragma once

#include "ast.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace idl {

class AttributeReader {
public:
    // Throws CompileError for an attribute the declaration does not allow, one given
    // twice, or one whose argument has the wrong form.
    AttributeReader(const ast::Attributes &attrs, std::initializer_list<std::string_view> allowed,
                    std::string_view declaration);

    const ast::Attribute *find(std::string_view name) const;
    bool has(std::string_view name) const { return find(name) != nullptr; }
    std::string text(std::string_view name) const; // empty when absent
    std::optional<std::int64_t> integer(std::string_view name) const;

private:
    const ast::Attributes &attrs_;
};

} // namespace idl
