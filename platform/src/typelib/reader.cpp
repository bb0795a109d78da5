// Reads a type library file into a LibraryModel, checking every offset, count, index,
// string and flag against the file before it is used.
#include "typelib/reader.h"

#include "typelib/tlb_format.h"

#include <boundary.h>

#include <cstring>
#include <new>

namespace morvane::typelib {

namespace {

// Longest chain of pointer and safe-array nodes accepted in one type.
constexpr unsigned max_type_depth = 8;
// The table offset of a member is its slot times 8 and must fit a SHORT.
constexpr std::uint32_t max_slots = 0x7FFF / 8 + 1;

// Thrown inside the reader only; read_typelib turns it into a result code.
// A malformed file: the reading stops with this code.
struct Invalid {
    HRESULT code = TYPE_E_INVDATAREAD;
};

std::uint16_t get16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t get32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
GUID get_guid(const std::uint8_t *p)
{
    GUID guid;
    guid.Data1 = get32(p);
    guid.Data2 = get16(p + 4);
    guid.Data3 = get16(p + 6);
    std::memcpy(guid.Data4, p + 8, 8);
    return guid;
}

void require(bool condition)
{
    if (!condition)
        throw Invalid{};
}

// One table of the file: `count` records of a fixed size, all inside the file.
struct TableView {
    const std::uint8_t *base = nullptr;
    std::uint32_t count = 0;
    std::uint32_t record_size = 0;

    const std::uint8_t *record(std::uint32_t index) const
    {
        return base + static_cast<std::size_t>(index) * record_size;
    }
};

// Strict UTF-8 to UTF-16: no overlong forms, no surrogates, nothing above U+10FFFF.
std::u16string decode_utf8(const std::uint8_t *p, std::size_t length)
{
    std::u16string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length;) {
        const std::uint8_t lead = p[i];
        std::uint32_t code;
        std::size_t extra;
        if (lead < 0x80) {
            code = lead;
            extra = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            code = lead & 0x1Fu;
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            code = lead & 0x0Fu;
            extra = 2;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            code = lead & 0x07u;
            extra = 3;
        } else {
            throw Invalid{};
        }
        require(length - i > extra);
        for (std::size_t k = 1; k <= extra; ++k) {
            require((p[i + k] & 0xC0) == 0x80);
            code = code << 6 | (p[i + k] & 0x3Fu);
        }
        static constexpr std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        require(code >= minimum[extra] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF));
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += extra + 1;
    }
    return out;
}

bool is_plain_type(VARTYPE vt)
{
    switch (vt) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BSTR:
    case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_VARIANT: case VT_UNKNOWN:
    case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT:
    case VT_UINT: case VT_VOID: case VT_HRESULT: case VT_LPSTR: case VT_LPWSTR:
        return true;
    default:
        return false;
    }
}

class Reader {
public:
    Reader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    void read(LibraryModel &model)
    {
        directory();
        strings(model);
        library(model);
        imports(model);
        types(model);
        nodes(model);
        funcs_and_params(model);
        impls(model);
    }

private:
    void directory()
    {
        namespace h = format::header;
        require(size_ >= format::header_fixed_size);
        require(get32(data_ + h::file_size) == size_);
        const std::uint32_t table_count = get32(data_ + h::table_count);
        // Later minor versions may append tables; this reader uses the first ones.
        require(table_count >= format::known_table_count && table_count <= 256);
        require(size_ >= h::directory + std::size_t{table_count} * format::directory_entry_size);
        for (std::uint32_t t = 0; t < format::known_table_count; ++t) {
            const std::uint8_t *entry = data_ + h::directory + t * format::directory_entry_size;
            const std::uint64_t offset = get32(entry), count = get32(entry + 4);
            const std::uint64_t record_size = format::record_sizes[t];
            require(offset <= size_ && count * record_size <= size_ - offset);
            tables_[t] = TableView{data_ + offset, static_cast<std::uint32_t>(count),
                                   static_cast<std::uint32_t>(record_size)};
        }
    }

    void strings(LibraryModel &model)
    {
        const TableView &refs = tables_[format::string_table];
        const TableView &text = tables_[format::string_data];
        // Strings may not share bytes, so decoding costs no more than the file's size.
        std::uint64_t total = 0;
        model.strings.reserve(refs.count);
        for (std::uint32_t i = 0; i < refs.count; ++i) {
            const std::uint8_t *r = refs.record(i);
            const std::uint64_t offset = get32(r + format::string_ref::offset);
            const std::uint64_t length = get32(r + format::string_ref::length);
            require(offset <= text.count && length <= text.count - offset);
            total += length;
            require(total <= text.count);
            model.strings.push_back(decode_utf8(text.base + offset, static_cast<std::size_t>(length)));
        }
    }

    static std::uint32_t optional_string(const LibraryModel &model, std::uint32_t index)
    {
        require(index == format::no_string || index < model.strings.size());
        return index == format::no_string ? no_index : index;
    }
    static std::uint32_t name(const LibraryModel &model, std::uint32_t index)
    {
        require(index < model.strings.size() && !model.strings[index].empty());
        return index;
    }

    void library(LibraryModel &model)
    {
        namespace f = format::library;
        const TableView &table = tables_[format::library_table];
        require(table.count == 1);
        const std::uint8_t *r = table.record(0);
        model.guid = get_guid(r + f::guid);
        model.lcid = get32(r + f::lcid);
        const std::uint16_t syskind = get16(r + f::syskind);
        require(syskind <= SYS_WIN64);
        model.syskind = static_cast<SYSKIND>(syskind);
        model.major = get16(r + f::major);
        model.minor = get16(r + f::minor);
        model.flags = get16(r + f::flags);
        require((model.flags & ~0xFu) == 0);
        model.name = name(model, get32(r + f::name));
        model.doc = optional_string(model, get32(r + f::doc));
        model.help_context = get32(r + f::help_context);
        model.help_file = optional_string(model, get32(r + f::help_file));
    }

    void imports(LibraryModel &model)
    {
        namespace f = format::import;
        const TableView &table = tables_[format::import_table];
        model.imports.reserve(table.count);
        for (std::uint32_t i = 0; i < table.count; ++i) {
            const std::uint8_t *r = table.record(i);
            ImportModel import;
            import.library = get_guid(r + f::lib_guid);
            import.major = get16(r + f::lib_major);
            import.minor = get16(r + f::lib_minor);
            import.library_name = name(model, get32(r + f::lib_name));
            import.type = get_guid(r + f::type_guid);
            import.type_name = name(model, get32(r + f::type_name));
            model.imports.push_back(import);
        }
    }

    // A type reference stored in the file: a type of the library or an import.
    static bool valid_reference(const LibraryModel &model, std::uint32_t ref, std::size_t type_count)
    {
        if (ref & format::import_bit)
            return (ref & ~format::import_bit) < model.imports.size();
        return ref < type_count;
    }

    void types(LibraryModel &model)
    {
        namespace f = format::type;
        const TableView &table = tables_[format::type_table];
        std::uint64_t next_func = 0, next_impl = 0;
        // Type indexes and the runtime's reference flags share one 32-bit handle.
        require(table.count < twin_ref);
        model.types.reserve(table.count);
        for (std::uint32_t i = 0; i < table.count; ++i) {
            const std::uint8_t *r = table.record(i);
            TypeModel type;
            type.guid = get_guid(r + f::guid);
            type.name = name(model, get32(r + f::name));
            type.doc = optional_string(model, get32(r + f::doc));
            type.help_context = get32(r + f::help_context);
            const std::uint16_t kind = get16(r + f::kind);
            require(kind == TKIND_INTERFACE || kind == TKIND_COCLASS);
            type.kind = static_cast<TYPEKIND>(kind);
            type.flags = get16(r + f::flags);
            type.major = get16(r + f::major);
            type.minor = get16(r + f::minor);
            type.first_func = get32(r + f::first_func);
            type.func_count = get32(r + f::func_count);
            type.first_impl = get32(r + f::first_impl);
            type.impl_count = get32(r + f::impl_count);
            const std::uint32_t slots = get32(r + f::vft_slots);
            // Each type owns the next run of members and of implemented types.
            require(type.first_func == next_func && type.first_impl == next_impl);
            require(type.func_count <= 0xFFFF && type.impl_count <= 0xFFFF);
            next_func += type.func_count;
            next_impl += type.impl_count;
            require(slots <= max_slots);
            type.vft_slots = static_cast<WORD>(slots);
            if (type.kind == TKIND_COCLASS)
                require(type.func_count == 0 && slots == 0);
            else
                require(type.impl_count <= 1 && (!type.is_dual() || type.impl_count == 1));
            model.types.push_back(type);
        }
        require(next_func == tables_[format::func_table].count &&
                next_impl == tables_[format::impl_table].count);
    }

    void nodes(LibraryModel &model)
    {
        namespace f = format::typedesc;
        const TableView &table = tables_[format::typedesc_table];
        std::vector<unsigned> depth;
        depth.reserve(table.count);
        model.nodes.reserve(table.count);
        for (std::uint32_t i = 0; i < table.count; ++i) {
            const std::uint8_t *r = table.record(i);
            TypeNode node;
            node.vt = get16(r + f::vt);
            node.ref = get32(r + f::ref);
            require(get16(r + f::reserved) == 0);
            unsigned d = 1;
            if (node.vt == VT_PTR || node.vt == VT_SAFEARRAY) {
                // Only earlier nodes, so a type is never its own part.
                require(node.ref < i);
                d = depth[node.ref] + 1;
                require(d <= max_type_depth);
            } else if (node.vt == VT_USERDEFINED) {
                require(valid_reference(model, node.ref, model.types.size()));
            } else {
                require(is_plain_type(node.vt) && node.ref == 0);
            }
            depth.push_back(d);
            model.nodes.push_back(node);
        }
    }

    void funcs_and_params(LibraryModel &model)
    {
        namespace f = format::func;
        const TableView &funcs = tables_[format::func_table];
        const TableView &params = tables_[format::param_table];
        std::uint64_t next_param = 0;
        model.funcs.reserve(funcs.count);
        for (const TypeModel &type : model.types) {
            for (std::uint32_t k = 0; k < type.func_count; ++k) {
                const std::uint8_t *r = funcs.record(type.first_func + k);
                FuncModel func;
                func.memid = static_cast<MEMBERID>(get32(r + f::memid));
                func.name = name(model, get32(r + f::name));
                func.doc = optional_string(model, get32(r + f::doc));
                func.help_context = get32(r + f::help_context);
                const std::uint16_t invkind = get16(r + f::invkind);
                require(invkind == INVOKE_FUNC || invkind == INVOKE_PROPERTYGET ||
                        invkind == INVOKE_PROPERTYPUT || invkind == INVOKE_PROPERTYPUTREF);
                func.invkind = static_cast<INVOKEKIND>(invkind);
                func.flags = get16(r + f::flags);
                func.vft_slot = get16(r + f::vft_slot);
                require(func.vft_slot < type.vft_slots);
                require(get16(r + f::reserved) == 0);
                func.result = get32(r + f::return_type);
                require(func.result < model.nodes.size());
                func.first_param = get32(r + f::first_param);
                func.param_count = get32(r + f::param_count);
                require(func.first_param == next_param && func.param_count <= 0x7FFF);
                next_param += func.param_count;
                model.funcs.push_back(func);
            }
        }
        require(next_param == params.count);
        model.params.reserve(params.count);
        for (std::uint32_t i = 0; i < params.count; ++i) {
            namespace p = format::param;
            const std::uint8_t *r = params.record(i);
            ParamModel param;
            param.name = optional_string(model, get32(r + p::name));
            param.type = get32(r + p::type);
            require(param.type < model.nodes.size());
            param.flags = get16(r + p::flags);
            // Default values and custom data are not part of this format.
            require((param.flags & ~0x1Fu) == 0 && get16(r + p::reserved) == 0);
            model.params.push_back(param);
        }
    }

    void impls(LibraryModel &model)
    {
        const TableView &table = tables_[format::impl_table];
        model.impls.reserve(table.count);
        for (std::uint32_t i = 0; i < table.count; ++i) {
            const std::uint8_t *r = table.record(i);
            ImplModel impl;
            impl.ref = get32(r + format::impl::ref);
            impl.flags = get16(r + format::impl::flags);
            require((impl.flags & ~0xF) == 0 && get16(r + format::impl::reserved) == 0);
            model.impls.push_back(impl);
        }
        for (std::size_t t = 0; t < model.types.size(); ++t) {
            const TypeModel &type = model.types[t];
            for (std::uint32_t k = 0; k < type.impl_count; ++k) {
                const std::uint32_t ref = model.impls[type.first_impl + k].ref;
                if (ref & format::import_bit) {
                    require((ref & ~format::import_bit) < model.imports.size());
                    continue;
                }
                // Implemented and base types are interfaces; a base precedes the
                // interface that derives from it, so no chain of bases is a cycle.
                require(ref < model.types.size() && model.types[ref].kind == TKIND_INTERFACE);
                require(type.kind == TKIND_COCLASS || ref < t);
            }
        }
    }

    const std::uint8_t *data_;
    std::size_t size_;
    TableView tables_[format::known_table_count];
};

} // namespace

bool has_typelib_magic(const std::uint8_t *data, std::size_t size)
{
    return size >= sizeof format::file_magic &&
           std::memcmp(data, format::file_magic, sizeof format::file_magic) == 0;
}

HRESULT read_typelib(const std::uint8_t *data, std::size_t size, std::unique_ptr<LibraryModel> &model)
{
    model.reset();
    if (!data || !has_typelib_magic(data, size) || size < format::header::file_size)
        return TYPE_E_INVDATAREAD;
    if (get16(data + format::header::major) != format::major_version)
        return TYPE_E_UNSUPFORMAT;
    // A length_error is a container asked to grow past its limit: memory too.
    static constexpr FailureCodes<HRESULT> reading_failures{E_OUTOFMEMORY, E_OUTOFMEMORY};
    return guarded<Invalid>(reading_failures, [&]() -> HRESULT {
        auto result = std::make_unique<LibraryModel>();
        Reader(data, size).read(*result);
        model = std::move(result);
        return S_OK;
    });
}

} // namespace morvane::typelib
