// The binary type library of a checked library block, laid out as the platform's reader expects.
#include "typelib_writer.h"

#include "diagnostic.h"
#include "typelib/tlb_format.h"

#include <map>
#include <tuple>

namespace idl {

namespace {

namespace format = morvane::typelib::format;

// One table: fixed-size little-endian records appended in order.
class Table {
public:
    explicit Table(std::uint32_t record_size) : record_size_(record_size) {}

    std::size_t add()
    {
        bytes_.append(record_size_, '\0');
        return count() - 1;
    }
    void u16(std::size_t record, std::size_t field, std::uint32_t value)
    {
        put(record, field, value, 2);
    }
    void u32(std::size_t record, std::size_t field, std::uint32_t value)
    {
        put(record, field, value, 4);
    }
    void guid(std::size_t record, std::size_t field, const Guid &guid)
    {
        raw_guid(record, field, guid.bytes().data());
    }
    // The 16 bytes of an identifier in memory order.
    void raw_guid(std::size_t record, std::size_t field, const std::uint8_t *raw)
    {
        for (std::size_t i = 0; i < 16; ++i)
            bytes_[record * record_size_ + field + i] = static_cast<char>(raw[i]);
    }
    std::size_t count() const { return bytes_.size() / record_size_; }
    const std::string &bytes() const { return bytes_; }

private:
    void put(std::size_t record, std::size_t field, std::uint32_t value, int width)
    {
        for (int i = 0; i < width; ++i)
            bytes_[record * record_size_ + field + static_cast<std::size_t>(i)] =
                static_cast<char>(value >> (8 * i));
    }

    std::uint32_t record_size_;
    std::string bytes_;
};

std::uint16_t narrow16(std::size_t value, const char *what)
{
    if (value > 0xFFFF)
        throw CompileError({}, std::string("too many ") + what + " for the type library format");
    return static_cast<std::uint16_t>(value);
}

class Writer {
public:
    explicit Writer(const Module &module)
        : module_(module), library_(format::record_sizes[format::library_table]),
          strings_(format::record_sizes[format::string_table]),
          types_(format::record_sizes[format::type_table]),
          funcs_(format::record_sizes[format::func_table]),
          params_(format::record_sizes[format::param_table]),
          typedescs_(format::record_sizes[format::typedesc_table]),
          impls_(format::record_sizes[format::impl_table]),
          imports_(format::record_sizes[format::import_table])
    {
    }

    std::string write()
    {
        const Library &lib = *module_.library;
        namespace f = format::library;
        const std::size_t r = library_.add();
        library_.guid(r, f::guid, lib.libid);
        library_.u32(r, f::lcid, lib.lcid);
        library_.u16(r, f::syskind, 3); // SYS_WIN64
        library_.u16(r, f::major, lib.major);
        library_.u16(r, f::minor, lib.minor);
        library_.u16(r, f::flags, lib.flags);
        library_.u32(r, f::name, string(lib.name));
        library_.u32(r, f::doc, optional_string(lib.helpstring));
        library_.u32(r, f::help_context, lib.help_context);
        library_.u32(r, f::help_file, format::no_string);

        for (const LibraryEntry &entry : lib.entries)
            if (entry.kind == LibraryEntry::Kind::Interface)
                local_index_[entry.index] = static_cast<std::uint32_t>(&entry - lib.entries.data());
        for (const LibraryEntry &entry : lib.entries) {
            if (entry.kind == LibraryEntry::Kind::Interface)
                write_interface(module_.interfaces[entry.index]);
            else
                coclass(module_.coclasses[entry.index]);
        }
        return assemble();
    }

private:
    std::uint32_t string(const std::string &text)
    {
        const auto [it, inserted] =
            string_index_.emplace(text, static_cast<std::uint32_t>(strings_.count()));
        if (inserted) {
            const std::size_t r = strings_.add();
            strings_.u32(r, format::string_ref::offset, static_cast<std::uint32_t>(string_data_.size()));
            strings_.u32(r, format::string_ref::length, static_cast<std::uint32_t>(text.size()));
            string_data_ += text;
        }
        return it->second;
    }
    std::uint32_t optional_string(const std::string &text)
    {
        return text.empty() ? format::no_string : string(text);
    }

    std::uint32_t typedesc(std::uint16_t vt, std::uint32_t ref)
    {
        const auto [it, inserted] =
            typedesc_index_.emplace(std::pair{vt, ref}, static_cast<std::uint32_t>(typedescs_.count()));
        if (inserted) {
            const std::size_t r = typedescs_.add();
            typedescs_.u16(r, format::typedesc::vt, vt);
            typedescs_.u32(r, format::typedesc::ref, ref);
        }
        return it->second;
    }
    std::uint32_t typedesc(const Type &type)
    {
        std::uint32_t index = typedesc(type.vt, 0);
        for (int i = 0; i < type.pointers; ++i)
            index = typedesc(format::vt_ptr, index);
        return index;
    }

    // A reference to an interface: its index in the library, or an import of the
    // standard library for the platform's own interfaces.
    std::uint32_t reference(int index)
    {
        const Interface &iface = module_.interfaces[index];
        if (!iface.builtin)
            return local_index_.at(index);
        const auto [it, inserted] =
            import_index_.emplace(index, static_cast<std::uint32_t>(imports_.count()));
        if (inserted) {
            namespace f = format::import;
            const std::size_t r = imports_.add();
            imports_.raw_guid(r, f::lib_guid, format::stdole_lib_id);
            imports_.u16(r, f::lib_major, format::stdole_major);
            imports_.u16(r, f::lib_minor, format::stdole_minor);
            imports_.u32(r, f::lib_name, string("stdole2.tlb"));
            imports_.guid(r, f::type_guid, iface.iid);
            imports_.u32(r, f::type_name, string(iface.name));
        }
        return format::import_bit | it->second;
    }

    std::size_t type_record(const Guid &guid, const std::string &name, const std::string &doc,
                            std::uint32_t help_context, std::uint16_t kind, std::uint16_t flags)
    {
        namespace f = format::type;
        const std::size_t r = types_.add();
        types_.guid(r, f::guid, guid);
        types_.u32(r, f::name, string(name));
        types_.u32(r, f::doc, optional_string(doc));
        types_.u32(r, f::help_context, help_context);
        types_.u16(r, f::kind, kind);
        types_.u16(r, f::flags, flags);
        types_.u32(r, f::first_func, static_cast<std::uint32_t>(funcs_.count()));
        types_.u32(r, f::first_impl, static_cast<std::uint32_t>(impls_.count()));
        return r;
    }

    void impl(std::uint32_t ref, std::uint16_t flags)
    {
        const std::size_t r = impls_.add();
        impls_.u32(r, format::impl::ref, ref);
        impls_.u16(r, format::impl::flags, flags);
    }

    void write_interface(const Interface &iface)
    {
        namespace f = format::type;
        const std::size_t t = type_record(iface.iid, iface.name, iface.helpstring, iface.help_context,
                                          format::kind_interface, iface.type_flags);
        types_.u32(t, f::func_count, narrow16(iface.methods.size(), "members"));
        types_.u32(t, f::impl_count, 1);
        types_.u32(t, f::vft_slots, narrow16(iface.slot_count(), "table slots"));
        impl(reference(iface.base), 0);
        for (const Method &m : iface.methods)
            method(m);
    }

    void method(const Method &m)
    {
        namespace f = format::func;
        const std::size_t r = funcs_.add();
        funcs_.u32(r, f::memid, static_cast<std::uint32_t>(m.memid));
        funcs_.u32(r, f::name, string(m.name));
        funcs_.u32(r, f::doc, optional_string(m.helpstring));
        funcs_.u32(r, f::help_context, m.help_context);
        funcs_.u16(r, f::invkind, m.invkind);
        funcs_.u16(r, f::flags, m.func_flags);
        funcs_.u16(r, f::vft_slot, narrow16(m.slot, "table slots"));
        funcs_.u32(r, f::return_type, typedesc(m.result));
        funcs_.u32(r, f::first_param, static_cast<std::uint32_t>(params_.count()));
        funcs_.u32(r, f::param_count, narrow16(m.params.size(), "parameters"));
        for (const Param &p : m.params) {
            const std::size_t q = params_.add();
            params_.u32(q, format::param::name, string(p.name));
            params_.u32(q, format::param::type, typedesc(p.type));
            params_.u16(q, format::param::flags, p.flags);
        }
    }

    void coclass(const Coclass &c)
    {
        namespace f = format::type;
        const std::size_t t = type_record(c.clsid, c.name, c.helpstring, c.help_context,
                                          format::kind_coclass, c.type_flags);
        types_.u32(t, f::impl_count, narrow16(c.impls.size(), "interfaces"));
        for (const CoclassImpl &i : c.impls)
            impl(reference(i.iface), i.flags);
    }

    std::string assemble() const
    {
        const Table *tables[format::known_table_count] = {&library_, &strings_, nullptr,   &types_,  &funcs_,
                                                   &params_,  &typedescs_, &impls_, &imports_};
        std::string out(format::header_size, '\0');
        auto put32 = [&out](std::size_t at, std::uint32_t value) {
            for (int i = 0; i < 4; ++i)
                out[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
        };
        for (int i = 0; i < 4; ++i)
            out[static_cast<std::size_t>(i)] = static_cast<char>(format::file_magic[i]);
        put32(format::header::major, format::major_version | std::uint32_t{format::minor_version} << 16);
        put32(format::header::table_count, format::known_table_count);
        for (std::uint32_t t = 0; t < format::known_table_count; ++t) {
            const std::string &bytes = tables[t] ? tables[t]->bytes() : string_data_;
            const std::size_t count = tables[t] ? tables[t]->count() : string_data_.size();
            const std::size_t entry = format::header::directory + t * format::directory_entry_size;
            put32(entry, static_cast<std::uint32_t>(out.size()));
            put32(entry + 4, static_cast<std::uint32_t>(count));
            out += bytes;
        }
        put32(format::header::file_size, static_cast<std::uint32_t>(out.size()));
        return out;
    }

    const Module &module_;
    Table library_, strings_, types_, funcs_, params_, typedescs_, impls_, imports_;
    std::string string_data_;
    std::map<std::string, std::uint32_t> string_index_;
    std::map<std::pair<std::uint16_t, std::uint32_t>, std::uint32_t> typedesc_index_;
    std::map<int, std::uint32_t> import_index_;
    std::map<int, std::uint32_t> local_index_;
};

} // namespace

std::string write_typelib(const Module &module)
{
    if (!module.library)
        throw CompileError({}, "a type library needs a library block");
    return Writer(module).write();
}

} // namespace idl
