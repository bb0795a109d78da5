// The generated header: identifiers, each interface's table with slot and id comments, call macros.
#include "header_writer.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace idl {

namespace {

std::string guard_for(std::string_view header_name)
{
    std::string guard = "MORVANE_GENERATED_";
    for (char c : header_name)
        guard += std::isalnum(static_cast<unsigned char>(c))
                     ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
                     : '_';
    return guard;
}

// Text for a C comment: "*/" cannot end it early.
std::string comment_text(std::string text)
{
    for (std::size_t pos; (pos = text.find("*/")) != std::string::npos;)
        text.replace(pos, 2, "* /");
    for (char &c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

void write_guid(std::ostream &out, const char *type, const std::string &name, const Guid &guid)
{
    char buffer[160];
    std::snprintf(buffer, sizeof buffer,
                  "MV_DEFINE_GENERATED_GUID(%s, %s, 0x%08X, 0x%04X, 0x%04X, 0x%02X, 0x%02X, 0x%02X, "
                  "0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X);\n",
                  type, name.c_str(), static_cast<unsigned>(guid.data1), guid.data2, guid.data3,
                  guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4],
                  guid.data4[5], guid.data4[6], guid.data4[7]);
    out << buffer;
}

std::string parameter_list(const Method &m)
{
    if (!m.builtin_params.empty() || m.params.empty())
        return m.builtin_params;
    std::string list;
    for (const Param &p : m.params) {
        if (!list.empty())
            list += ", ";
        const std::string type = p.type.spelling();
        list += type;
        if (type.back() != '*')
            list += ' ';
        list += p.name;
    }
    return list;
}

std::string argument_names(const Method &m)
{
    std::string names;
    if (!m.builtin_params.empty()) {
        // The last word of each declared parameter of a platform member.
        std::istringstream in(m.builtin_params);
        std::string part;
        while (std::getline(in, part, ',')) {
            const auto start = part.find_last_of(" *") + 1;
            names += ", " + part.substr(start);
        }
        return names;
    }
    for (const Param &p : m.params)
        names += ", " + p.name;
    return names;
}

void write_member(std::ostream &out, const Method &m)
{
    const std::string params = parameter_list(m);
    out << "    ";
    if (m.result.vt == vt::HRESULT && m.result.pointers == 0)
        out << "STDMETHOD(" << m.member_name() << ")";
    else
        out << "STDMETHOD_(" << m.result.spelling() << ", " << m.member_name() << ")";
    out << (params.empty() ? "(THIS)" : "(THIS_ " + params + ")") << " PURE;\n";
}

// The chain from IUnknown down to the interface itself.
std::vector<const Interface *> lineage(const Module &module, const Interface &iface)
{
    std::vector<const Interface *> chain;
    for (const Interface *i = &iface; i; i = i->base >= 0 ? &module.interfaces[i->base] : nullptr)
        chain.insert(chain.begin(), i);
    return chain;
}

void write_interface(std::ostream &out, const Module &module, const Interface &iface)
{
    const auto chain = lineage(module, iface);
    out << "/* " << iface.name;
    if (!iface.helpstring.empty())
        out << ": " << comment_text(iface.helpstring);
    out << ". " << iface.slot_count() << " slots";
    if (iface.dual)
        out << "; dual: also reachable by name through IDispatch";
    out << ". */\n";
    out << "#undef INTERFACE\n#define INTERFACE " << iface.name << "\n";
    out << "DECLARE_INTERFACE_(" << iface.name << ", " << module.interfaces[iface.base].name
        << ")\n{\n";
    for (const Interface *level : chain) {
        out << "    /* " << level->name << " */\n";
        for (const Method &m : level->methods) {
            if (level == &iface) {
                char id[16];
                std::snprintf(id, sizeof id, "0x%X", static_cast<unsigned>(m.memid));
                out << "    /* slot " << m.slot << ", id "
                    << (m.memid >= 0 && m.memid < 0x10000 ? std::to_string(m.memid) : id);
                if (!m.helpstring.empty())
                    out << ": " << comment_text(m.helpstring);
                out << " */\n";
            }
            write_member(out, m);
        }
    }
    out << "};\n#undef INTERFACE\n\n";

    out << "#if defined(COBJMACROS) && !defined(__cplusplus)\n";
    for (const Interface *level : chain)
        for (const Method &m : level->methods) {
            const std::string args = argument_names(m);
            out << "#define " << iface.name << "_" << m.member_name() << "(This" << args
                << ") (This)->lpVtbl->" << m.member_name() << "(This" << args << ")\n";
        }
    out << "#endif\n\n";
}

} // namespace

std::string write_header(const Module &module, std::string_view header_name,
                         std::string_view source_name)
{
    std::ostringstream out;
    const std::string guard = guard_for(header_name);
    out << "/* " << header_name << ": generated from " << source_name
        << " by the interface compiler. Do not edit. */\n"
        << "#ifndef " << guard << "\n#define " << guard << "\n\n"
        << "#include <oaidl.h>\n\n"
        << "/* Identifiers, usable without a separate definition file: an inline definition\n"
           " * in C++, one copy per translation unit in C. */\n"
        << "#ifndef MV_DEFINE_GENERATED_GUID\n"
           "#ifdef __cplusplus\n"
           "#define MV_DEFINE_GENERATED_GUID(type, name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \\\n"
           "    inline constexpr type name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}\n"
           "#else\n"
           "#define MV_DEFINE_GENERATED_GUID(type, name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \\\n"
           "    static const type name __attribute__((unused)) = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}\n"
           "#endif\n"
           "#endif\n\n";

    for (const Interface &iface : module.interfaces)
        if (!iface.builtin)
            write_guid(out, "IID", "IID_" + iface.name, iface.iid);
    for (const Coclass &c : module.coclasses)
        write_guid(out, "CLSID", "CLSID_" + c.name, c.clsid);
    if (module.library)
        write_guid(out, "GUID", "LIBID_" + module.library->name, module.library->libid);
    out << "\n";

    for (const Interface &iface : module.interfaces)
        if (!iface.builtin)
            out << "MV_FORWARD_INTERFACE(" << iface.name << ");\n";
    out << "\n";
    for (const Interface &iface : module.interfaces)
        if (!iface.builtin)
            write_interface(out, module, iface);

    out << "#endif\n";
    return out.str();
}

} // namespace idl
