// The checks of a parsed definition and what they give it: resolved base interfaces,
// table slots, member identifiers and the library's order.
#include "analyzer.h"

#include <base_interfaces.h>

#include "attributes.h"
#include "builtins.h"
#include "diagnostic.h"
#include "types.h"

#include <map>

namespace idl {

namespace {

std::string at_line(Location where)
{
    return "line " + std::to_string(where.line);
}

class Analyzer {
public:
    explicit Analyzer(const ast::File &file) : file_(file) {}

    Module run()
    {
        add_builtin_interfaces(module_);
        locations_.assign(module_.interfaces.size(), Location{});
        for (const ast::Import &import : file_.imports)
            if (!is_platform_import(import.file))
                throw CompileError(import.where,
                                   "cannot import \"" + import.file +
                                       "\": only the platform's own definitions (oaidl.idl, "
                                       "ocidl.idl, objidl.idl, unknwn.idl, wtypes.idl) are known");
        for (const ast::Interface &iface : file_.interfaces)
            if (iface.defined)
                define_interface(iface);
        if (file_.library)
            library(*file_.library);
        return std::move(module_);
    }

private:
    int find_interface(std::string_view name) const
    {
        for (std::size_t i = 0; i < module_.interfaces.size(); ++i)
            if (module_.interfaces[i].name == name)
                return static_cast<int>(i);
        return -1;
    }

    void claim_identifier(const Guid &guid, const std::string &owner, Location where)
    {
        const auto [it, inserted] = identifiers_.emplace(to_string(guid), owner);
        if (!inserted)
            throw CompileError(where, "identifier " + to_string(guid) + " is already used by '" +
                                          it->second + "'");
    }

    void claim_name(const std::string &name, Location where)
    {
        const auto [it, inserted] = names_.emplace(name, where);
        if (!inserted)
            throw CompileError(where, "'" + name + "' is already declared at " + at_line(it->second));
    }

    void define_interface(const ast::Interface &decl)
    {
        if (const int existing = find_interface(decl.name); existing >= 0) {
            if (module_.interfaces[existing].builtin)
                throw CompileError(decl.where, "interface '" + decl.name +
                                                   "' is already defined by the platform");
            throw CompileError(decl.where, "interface '" + decl.name + "' is already defined at " +
                                               at_line(locations_[existing]));
        }
        claim_name(decl.name, decl.where);
        const AttributeReader attrs(decl.attrs,
                                    {"object", "uuid", "dual", "oleautomation", "helpstring",
                                     "helpcontext", "pointer_default", "hidden", "restricted",
                                     "nonextensible"},
                                    "an interface");
        if (!attrs.has("object"))
            throw CompileError(decl.where, "interface '" + decl.name +
                                               "' needs the 'object' attribute: only object "
                                               "interfaces are supported");
        const ast::Attribute *uuid = attrs.find("uuid");
        if (!uuid)
            throw CompileError(decl.where, "interface '" + decl.name + "' needs a uuid attribute");
        if (!decl.base)
            throw CompileError(decl.where, "interface '" + decl.name +
                                               "' must derive from IUnknown or another interface");
        const int base = find_interface(*decl.base);
        if (base < 0)
            throw CompileError(decl.base_where, "unknown base interface '" + *decl.base + "'");

        Interface iface;
        iface.name = decl.name;
        iface.iid = uuid->uuid;
        claim_identifier(iface.iid, iface.name, uuid->where);
        iface.base = base;
        const Interface &parent = module_.interfaces[base];
        iface.depth = parent.depth + 1;
        iface.first_slot = parent.slot_count();
        iface.dispatchable = parent.dispatchable;
        iface.dual = attrs.has("dual");
        if (iface.dual && !iface.dispatchable)
            throw CompileError(attrs.find("dual")->where,
                               "dual interface '" + decl.name + "' must derive from IDispatch");
        iface.oleautomation = iface.dual || attrs.has("oleautomation");
        iface.helpstring = attrs.text("helpstring");
        iface.help_context = help_context(attrs);
        iface.type_flags = static_cast<std::uint16_t>(
            (iface.dual ? 0x40 : 0) | (iface.oleautomation ? 0x100 : 0) |
            (iface.dispatchable ? 0x1000 : 0) | (attrs.has("hidden") ? 0x10 : 0) |
            (attrs.has("restricted") ? 0x200 : 0) | (attrs.has("nonextensible") ? 0x80 : 0));

        std::vector<Location> method_locations;
        std::vector<bool> explicit_id;
        for (std::size_t i = 0; i < decl.methods.size(); ++i) {
            bool has_id = false;
            iface.methods.push_back(method(decl.methods[i], iface, has_id));
            iface.methods.back().slot = iface.first_slot + static_cast<unsigned>(i);
            method_locations.push_back(decl.methods[i].where);
            explicit_id.push_back(has_id);
        }
        assign_member_ids(iface, explicit_id);
        check_members(iface, method_locations);
        module_.interfaces.push_back(std::move(iface));
        locations_.push_back(decl.where);
    }

    static std::uint32_t help_context(const AttributeReader &attrs)
    {
        const auto value = attrs.integer("helpcontext");
        if (!value)
            return 0;
        if (*value < 0 || *value > 0xFFFFFFFFll)
            throw CompileError(attrs.find("helpcontext")->where, "help context out of range");
        return static_cast<std::uint32_t>(*value);
    }

    Method method(const ast::Method &decl, const Interface &owner, bool &has_id)
    {
        const AttributeReader attrs(decl.attrs,
                                    {"id", "propget", "propput", "propputref", "helpstring",
                                     "helpcontext", "hidden", "restricted"},
                                    "a method");
        Method m;
        m.name = decl.name;
        int kinds = 0;
        for (const auto &[word, kind] : {std::pair{"propget", invoke_get}, std::pair{"propput", invoke_put},
                                         std::pair{"propputref", invoke_put_ref}}) {
            if (const ast::Attribute *attr = attrs.find(word)) {
                if (++kinds > 1)
                    throw CompileError(attr->where, "a method can be only one of propget, "
                                                    "propput and propputref");
                m.invkind = kind;
            }
        }
        m.result = resolve_type(decl.result);
        if (owner.oleautomation && (m.result.vt != vt::HRESULT || m.result.pointers != 0))
            throw CompileError(decl.result.where,
                               "members of automation interface '" + owner.name +
                                   "' must return HRESULT");
        if (const ast::Attribute *id = attrs.find("id")) {
            if (id->integer < -0x80000000ll || id->integer > 0xFFFFFFFFll)
                throw CompileError(id->where, "id out of range");
            m.memid = static_cast<std::int32_t>(static_cast<std::uint32_t>(id->integer));
            has_id = true;
        }
        m.helpstring = attrs.text("helpstring");
        m.help_context = help_context(attrs);
        m.func_flags = static_cast<std::uint16_t>((attrs.has("hidden") ? func_hidden : 0) |
                                                  (attrs.has("restricted") ? func_restricted : 0));

        for (std::size_t i = 0; i < decl.params.size(); ++i) {
            const ast::Param &p = decl.params[i];
            m.params.push_back(param(p, owner, i + 1 == decl.params.size()));
            for (std::size_t j = 0; j < i; ++j)
                if (m.params[j].name == m.params[i].name)
                    throw CompileError(p.where, "parameter '" + p.name + "' is declared twice");
        }
        const bool ends_with_retval = !m.params.empty() && (m.params.back().flags & param_retval);
        if (m.invkind == invoke_get && !ends_with_retval)
            throw CompileError(decl.where, "property read '" + m.name +
                                               "' must end with an [out, retval] parameter");
        if ((m.invkind == invoke_put || m.invkind == invoke_put_ref) &&
            (m.params.empty() || m.params.back().flags != param_in))
            throw CompileError(decl.where, "property write '" + m.name +
                                               "' must end with an [in] parameter for the value");
        return m;
    }

    Param param(const ast::Param &decl, const Interface &owner, bool last)
    {
        const AttributeReader attrs(decl.attrs, {"in", "out", "retval"}, "a parameter");
        Param p;
        p.name = decl.name;
        if (p.name.empty())
            throw CompileError(decl.where, "parameters need a name");
        p.type = resolve_type(decl.type);
        if (p.type.vt == vt::VOID && p.type.pointers == 0)
            throw CompileError(decl.type.where, "parameter '" + p.name + "' cannot be void");
        const bool in = attrs.has("in"), out = attrs.has("out");
        p.flags = static_cast<std::uint16_t>((in || !out ? param_in : 0) | (out ? param_out : 0));
        if (const ast::Attribute *retval = attrs.find("retval")) {
            if (!out || in)
                throw CompileError(retval->where, "'retval' needs 'out' without 'in'");
            if (!last)
                throw CompileError(retval->where, "'retval' must be on the last parameter");
            p.flags |= param_retval;
        }
        if (out && p.type.pointers == 0)
            throw CompileError(decl.type.where, "out parameter '" + p.name + "' must be a pointer");
        if (owner.oleautomation && !is_automation_type(p.type))
            throw CompileError(decl.type.where, "type '" + p.type.spelling() +
                                                    "' of parameter '" + p.name +
                                                    "' is not automation-compatible");
        return p;
    }

    // Members without an id get the id of the other accessor of the same property, or
    // 0x60000000 + (inheritance depth << 16) + their index.
    static void assign_member_ids(Interface &iface, const std::vector<bool> &explicit_id)
    {
        for (std::size_t i = 0; i < iface.methods.size(); ++i) {
            if (explicit_id[i])
                continue;
            Method &m = iface.methods[i];
            bool found = false;
            for (std::size_t j = 0; j < iface.methods.size() && !found; ++j) {
                if (j != i && iface.methods[j].name == m.name && (explicit_id[j] || j < i)) {
                    m.memid = iface.methods[j].memid;
                    found = true;
                }
            }
            if (!found)
                m.memid = morvane::base_interfaces::member_id(iface.depth, static_cast<unsigned>(i));
        }
    }

    void check_members(const Interface &iface, const std::vector<Location> &where) const
    {
        for (std::size_t i = 0; i < iface.methods.size(); ++i) {
            const Method &m = iface.methods[i];
            for (int b = iface.base; b >= 0; b = module_.interfaces[b].base)
                for (const Method &inherited : module_.interfaces[b].methods)
                    if (inherited.member_name() == m.member_name())
                        throw CompileError(where[i], "'" + m.member_name() +
                                                         "' is already a member of base interface " +
                                                         module_.interfaces[b].name);
            for (std::size_t j = 0; j < i; ++j) {
                const Method &other = iface.methods[j];
                if (other.member_name() == m.member_name())
                    throw CompileError(where[i], "'" + m.member_name() + "' is already declared at " +
                                                     at_line(where[j]));
                if (other.name == m.name && other.memid != m.memid)
                    throw CompileError(where[i], "the accessors of property '" + m.name +
                                                     "' have different ids");
                if (other.name != m.name && other.memid == m.memid)
                    throw CompileError(where[i], "id " + std::to_string(m.memid) + " of '" + m.name +
                                                     "' is already used by '" + other.name + "'");
                if (other.name == m.name && (other.invkind == invoke_func || m.invkind == invoke_func))
                    throw CompileError(where[i], "'" + m.name + "' is both a method and a property");
            }
        }
    }

    void library(const ast::Library &decl)
    {
        const AttributeReader attrs(decl.attrs,
                                    {"uuid", "version", "lcid", "helpstring", "helpcontext",
                                     "hidden", "restricted", "control"},
                                    "a library");
        Library lib;
        lib.name = decl.name;
        claim_name(decl.name, decl.where);
        const ast::Attribute *uuid = attrs.find("uuid");
        if (!uuid)
            throw CompileError(decl.where, "library '" + decl.name + "' needs a uuid attribute");
        lib.libid = uuid->uuid;
        claim_identifier(lib.libid, lib.name, uuid->where);
        if (const ast::Attribute *version = attrs.find("version")) {
            lib.major = version->major;
            lib.minor = version->minor;
        }
        if (const ast::Attribute *lcid = attrs.find("lcid")) {
            if (lcid->integer < 0 || lcid->integer > 0xFFFFFFFFll)
                throw CompileError(lcid->where, "locale out of range");
            lib.lcid = static_cast<std::uint32_t>(lcid->integer);
        }
        lib.helpstring = attrs.text("helpstring");
        lib.help_context = help_context(attrs);
        lib.flags = static_cast<std::uint16_t>((attrs.has("restricted") ? 1 : 0) |
                                               (attrs.has("control") ? 2 : 0) |
                                               (attrs.has("hidden") ? 4 : 0));
        for (const ast::Import &import : decl.importlibs)
            if (!is_standard_library(import.file))
                throw CompileError(import.where, "cannot import library \"" + import.file +
                                                     "\": only stdole2.tlb is known");

        for (const ast::LibraryItem &item : decl.items) {
            if (item.kind == ast::LibraryItem::Kind::Coclass) {
                const ast::Coclass &c = file_.coclasses[item.index];
                module_.coclasses.push_back(coclass(c));
                lib.entries.push_back({LibraryEntry::Kind::Coclass,
                                       static_cast<int>(module_.coclasses.size() - 1)});
                for (const CoclassImpl &impl : module_.coclasses.back().impls)
                    add_interface_entry(lib, impl.iface);
                continue;
            }
            const ast::Interface &ref = file_.interfaces[item.index];
            if (!ref.defined)
                AttributeReader(ref.attrs, {}, "an interface reference");
            const int index = find_interface(ref.name);
            if (index < 0)
                throw CompileError(ref.where, "unknown interface '" + ref.name + "'");
            add_interface_entry(lib, index);
        }
        module_.library = std::move(lib);
    }

    // Adds a file's interface to the library once, after its own base interfaces.
    void add_interface_entry(Library &lib, int index)
    {
        const Interface &iface = module_.interfaces[index];
        if (iface.builtin)
            return;
        for (const LibraryEntry &entry : lib.entries)
            if (entry.kind == LibraryEntry::Kind::Interface && entry.index == index)
                return;
        if (iface.base >= 0)
            add_interface_entry(lib, iface.base);
        lib.entries.push_back({LibraryEntry::Kind::Interface, index});
    }

    Coclass coclass(const ast::Coclass &decl)
    {
        const AttributeReader attrs(decl.attrs,
                                    {"uuid", "helpstring", "helpcontext", "noncreatable", "hidden"},
                                    "a coclass");
        claim_name(decl.name, decl.where);
        Coclass c;
        c.name = decl.name;
        const ast::Attribute *uuid = attrs.find("uuid");
        if (!uuid)
            throw CompileError(decl.where, "coclass '" + decl.name + "' needs a uuid attribute");
        c.clsid = uuid->uuid;
        claim_identifier(c.clsid, c.name, uuid->where);
        c.helpstring = attrs.text("helpstring");
        c.help_context = help_context(attrs);
        c.type_flags = static_cast<std::uint16_t>((attrs.has("noncreatable") ? 0 : 0x2) |
                                                  (attrs.has("hidden") ? 0x10 : 0));
        bool has_default[2] = {false, false}; // for incoming and for source interfaces
        for (const ast::CoclassMember &member : decl.members) {
            const AttributeReader member_attrs(member.attrs, {"default", "source", "restricted"},
                                               "an interface of a coclass");
            const int index = find_interface(member.name);
            if (index < 0)
                throw CompileError(member.where, "unknown interface '" + member.name + "'");
            for (const CoclassImpl &impl : c.impls)
                if (impl.iface == index)
                    throw CompileError(member.where, "interface '" + member.name +
                                                         "' is listed twice");
            CoclassImpl impl;
            impl.iface = index;
            const bool source = member_attrs.has("source");
            impl.flags = static_cast<std::uint16_t>((member_attrs.has("default") ? impl_default : 0) |
                                                    (source ? impl_source : 0) |
                                                    (member_attrs.has("restricted") ? impl_restricted : 0));
            if (impl.flags & impl_default) {
                if (has_default[source])
                    throw CompileError(member.where, "coclass '" + decl.name +
                                                         "' has more than one default interface");
                has_default[source] = true;
            }
            c.impls.push_back(impl);
        }
        return c;
    }

    const ast::File &file_;
    Module module_;
    std::vector<Location> locations_; // where each interface of module_ is defined
    std::map<std::string, std::string> identifiers_;
    std::map<std::string, Location> names_;
};

} // namespace

Module analyze(const ast::File &file)
{
    return Analyzer(file).run();
}

} // namespace idl
