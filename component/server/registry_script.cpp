// The variable table and the loading of a script resource.
#include "server/registry_script.h"

#include "server/module_heap.h"
#include "server/script_parser.h"
#include "server/script_text.h"

#include <windows.h>

#include <cstring>

namespace morvane {

namespace {

constexpr DWORD initial_variable_capacity = 10;

// A system error code as a result code: 0 stays S_OK, anything else 0x8007xxxx.
HRESULT from_system_error(DWORD error)
{
    return error == 0 ? S_OK : static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

// Does the UTF-16 name equal the ANSI name, compared as ANSI text without case?
bool same_name(LPCOLESTR stored, LPCSTR wanted)
{
    char local[256];
    if (WideCharToMultiByte(CP_ACP, 0, stored, -1, local, sizeof local, nullptr, nullptr) > 0)
        return lstrcmpiA(local, wanted) == 0;
    // Longer than the local buffer: convert into a block of the right size.
    TaskBlock ansi(ansi_copy(stored));
    return ansi.get() != nullptr && lstrcmpiA(ansi.text(), wanted) == 0;
}

}  // namespace

RegistryScript::~RegistryScript()
{
    clear_variables();
    module_free(variables_);
}

HRESULT RegistryScript::set_variable(LPCOLESTR name, LPCOLESTR value)
{
    if (name == nullptr || value == nullptr)
        return E_INVALIDARG;
    TaskBlock name_copy(wide_copy(name));
    TaskBlock value_copy(wide_copy(value));
    if (name_copy.get() == nullptr || value_copy.get() == nullptr)
        return E_OUTOFMEMORY;
    if (count_ == capacity_) {
        const DWORD grown = capacity_ == 0 ? initial_variable_capacity : capacity_ * 2;
        auto *list = static_cast<ScriptVariable **>(module_realloc(variables_, grown * sizeof(ScriptVariable *)));
        if (list == nullptr)
            return E_OUTOFMEMORY;
        variables_ = list;
        capacity_ = grown;
    }
    auto *pair = static_cast<ScriptVariable *>(module_alloc(sizeof(ScriptVariable)));
    if (pair == nullptr)
        return E_OUTOFMEMORY;
    pair->name = static_cast<LPOLESTR>(name_copy.release());
    pair->value = static_cast<LPOLESTR>(value_copy.release());
    variables_[count_++] = pair;
    return S_OK;
}

LPCOLESTR RegistryScript::find_variable(LPCSTR name) const
{
    if (name == nullptr)
        return nullptr;
    for (DWORD i = 0; i < count_; ++i)
        if (same_name(variables_[i]->name, name))
            return variables_[i]->value;
    return nullptr;
}

void RegistryScript::clear_variables()
{
    for (DWORD i = 0; i < count_; ++i) {
        CoTaskMemFree(variables_[i]->name);
        CoTaskMemFree(variables_[i]->value);
        module_free(variables_[i]);
    }
    count_ = 0;
}

HRESULT RegistryScript::apply_resource(LPCOLESTR module_path, WORD resource_number,
                                       LPCOLESTR resource_type, bool install)
{
    if (module_path == nullptr || resource_type == nullptr)
        return E_INVALIDARG;
    TaskBlock type(ansi_copy(resource_type));
    TaskBlock path(ansi_copy(module_path));
    if (type.get() == nullptr || path.get() == nullptr)
        return E_OUTOFMEMORY;

    HMODULE module = LoadLibraryExA(path.text(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return from_system_error(GetLastError());
    HRSRC found = FindResourceA(module, MAKEINTRESOURCE(resource_number), type.text());
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    if (loaded == nullptr) {
        const HRESULT failure = from_system_error(GetLastError());
        FreeLibrary(module);
        return failure;
    }

    // The text ends at its first zero byte or with the resource. It is copied with a
    // terminator so that every step through it stops at the end.
    const auto *data = static_cast<const char *>(LockResource(loaded));
    const DWORD size = SizeofResource(module, found);
    DWORD length = 0;
    while (length < size && data[length] != '\0')
        ++length;
    HRESULT result = E_OUTOFMEMORY;
    if (TaskBlock text(CoTaskMemAlloc(length + 1)); text.get() != nullptr) {
        std::memcpy(text.get(), data, length);
        static_cast<char *>(text.get())[length] = '\0';
        ScriptParser parser(*this);
        LPSTR expanded = nullptr;
        result = parser.expand_variables(text.text(), &expanded);
        if (SUCCEEDED(result))
            result = parser.run_script(expanded, install);
    }
    FreeLibrary(module);
    return result;
}

} // namespace morvane
