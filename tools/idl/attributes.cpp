// Attribute lists checked against what each declaration allows, and typed reads of their values.
#include "attributes.h"

#include "diagnostic.h"

#include <algorithm>

namespace idl {

namespace {
using Kind = ast::Attribute::Kind;

struct ArgumentForm {
    std::string_view name;
    Kind kind;
    const char *description;
};

// Attributes that take an argument; every other attribute is a plain flag.
constexpr ArgumentForm argument_forms[] = {
    {"uuid", Kind::Uuid, "an identifier"},
    {"helpstring", Kind::String, "a quoted string"},
    {"helpcontext", Kind::Integer, "a number"},
    {"id", Kind::Integer, "a number"},
    {"lcid", Kind::Integer, "a number"},
    {"version", Kind::Version, "a version such as 1.0"},
    {"pointer_default", Kind::Identifier, "unique, ref or ptr"},
};

const ArgumentForm *form_of(std::string_view name)
{
    for (const ArgumentForm &form : argument_forms)
        if (form.name == name)
            return &form;
    return nullptr;
}
} // namespace

AttributeReader::AttributeReader(const ast::Attributes &attrs,
                                 std::initializer_list<std::string_view> allowed,
                                 std::string_view declaration)
    : attrs_(attrs)
{
    for (std::size_t i = 0; i < attrs.size(); ++i) {
        const ast::Attribute &attr = attrs[i];
        if (std::find(allowed.begin(), allowed.end(), attr.name) == allowed.end())
            throw CompileError(attr.where, "attribute '" + attr.name + "' is not allowed on " +
                                               std::string(declaration));
        for (std::size_t j = 0; j < i; ++j)
            if (attrs[j].name == attr.name)
                throw CompileError(attr.where, "attribute '" + attr.name + "' is given twice");
        const ArgumentForm *form = form_of(attr.name);
        if (!form && attr.kind != Kind::Flag)
            throw CompileError(attr.where, "attribute '" + attr.name + "' takes no argument");
        if (form && attr.kind != form->kind)
            throw CompileError(attr.where, "attribute '" + attr.name + "' needs " + form->description);
        if (attr.name == "pointer_default" && attr.text != "unique" && attr.text != "ref" &&
            attr.text != "ptr")
            throw CompileError(attr.where, "attribute 'pointer_default' needs unique, ref or ptr");
    }
}

const ast::Attribute *AttributeReader::find(std::string_view name) const
{
    for (const ast::Attribute &attr : attrs_)
        if (attr.name == name)
            return &attr;
    return nullptr;
}

std::string AttributeReader::text(std::string_view name) const
{
    const ast::Attribute *attr = find(name);
    return attr ? attr->text : std::string();
}

std::optional<std::int64_t> AttributeReader::integer(std::string_view name) const
{
    const ast::Attribute *attr = find(name);
    if (!attr)
        return std::nullopt;
    return attr->integer;
}

} // namespace idl
