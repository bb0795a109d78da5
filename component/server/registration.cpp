// DllRegisterServer's and DllUnregisterServer's work: the class entries through the module's
// registration script with its path as %MODULE%, and the type library it carries.
#include "registration.h"

#include "class_table.h"
#include "module.h"
#include "registry_script.h"

#include <cstring>
#include <string>

namespace morvane {
namespace {

constexpr WORD registry_script_resource = 101;

// The module's full file name in the ANSI code page. The buffer grows until the
// name fits, so that a long path is never registered cut short.
std::string module_file_name(HINSTANCE module)
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameA(module, path.data(), size);
        if (length < size) {
            path.resize(length);
            return path;
        }
        if (size >= 1u << 16)
            return {};
        path.resize(path.size() * 2);
    }
}

// The text in UTF-16. Bytes that are not valid in the ANSI code page (UTF-8)
// give ERROR_NO_UNICODE_TRANSLATION: the registry holds text, so such a path
// could not be stored so that it names the file again.
HRESULT to_wide(const std::string &text, std::u16string &wide)
{
    wide.clear();
    const int needed = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.c_str(), -1, nullptr, 0);
    if (needed <= 0)
        return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    wide.assign(static_cast<size_t>(needed), u'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.c_str(), -1, wide.data(), needed);
    wide.resize(static_cast<size_t>(needed - 1));
    return S_OK;
}

// The script places the path inside a quoted token, where an apostrophe is written twice.
std::u16string doubled_apostrophes(const std::u16string &path)
{
    std::u16string doubled;
    for (char16_t c : path) {
        doubled += c;
        if (c == u'\'')
            doubled += c;
    }
    return doubled;
}

bool registers_class(const class_entry &entry)
{
    return !entry.description || !entry.description();
}

} // namespace

HRESULT apply_registration_script(WORD resource, bool install)
{
    std::u16string path;
    if (HRESULT converted = to_wide(module_file_name(module_instance()), path); FAILED(converted))
        return converted;
    RegistryScript script;
    script.set_variable(u"Module", doubled_apostrophes(path).c_str());
    HRESULT result = script.apply_resource(path.c_str(), resource, u"REGISTRY", install);
    script.clear_variables();
    return result;
}

HRESULT update_class_registration(bool install)
{
    return apply_registration_script(registry_script_resource, install);
}

HRESULT register_module(bool include_type_library)
{
    for (class_entry *entry = class_table(); !IsEqualGUID(*entry->clsid, GUID_NULL); ++entry) {
        if (!registers_class(*entry))
            continue;
        HRESULT result = entry->update_registry(true);
        if (FAILED(result))
            return result;
    }
    if (include_type_library)
        return register_module_type_library();
    return S_OK;
}

HRESULT unregister_module(bool include_type_library)
{
    for (class_entry *entry = class_table(); !IsEqualGUID(*entry->clsid, GUID_NULL); ++entry) {
        if (registers_class(*entry))
            entry->update_registry(false);
    }
    if (include_type_library)
        unregister_module_type_library();
    return S_OK;
}

HRESULT load_module_type_library(ITypeLib **library, BSTR *path)
{
    *library = nullptr;
    *path = nullptr;
    std::string file = module_file_name(module_type_library_instance());
    std::u16string wide;
    HRESULT result = to_wide(file, wide);
    if (FAILED(result))
        return result;
    result = LoadTypeLib(wide.c_str(), library);
    if (FAILED(result)) {
        // A type library file beside the module: the last "." of the whole path
        // starts the extension, else ".tlb" is appended.
        const char *dot = nullptr;
        const char *p = file.c_str();
        for (; *p; p = CharNextA(p)) {
            if (*p == '.')
                dot = p;
        }
        file.resize(static_cast<size_t>((dot ? dot : p) - file.c_str()));
        file += ".tlb";
        result = to_wide(file, wide);
        if (SUCCEEDED(result))
            result = LoadTypeLib(wide.c_str(), library);
        if (FAILED(result))
            return result;
    }
    *path = SysAllocString(wide.c_str());
    return result;
}

UINT help_directory_length(LPCOLESTR path)
{
    UINT length = 0;
    for (UINT i = 0; path[i]; ++i) {
        if (path[i] == u'\\' || path[i] == u'/' || path[i] == u':')
            length = i + 1;
    }
    return length;
}

HRESULT register_module_type_library()
{
    ITypeLib *library = nullptr;
    BSTR path = nullptr;
    HRESULT result = load_module_type_library(&library, &path);
    if (FAILED(result))
        return result;
    BSTR help_directory = SysAllocStringLen(path, help_directory_length(path));
    result = RegisterTypeLib(library, path, help_directory);
    SysFreeString(help_directory);
    library->Release();
    SysFreeString(path);
    return result;
}

HRESULT unregister_module_type_library()
{
    ITypeLib *library = nullptr;
    BSTR path = nullptr;
    HRESULT loaded = load_module_type_library(&library, &path);
    if (FAILED(loaded))
        return loaded;
    TLIBATTR *attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes))) {
        library->Release();
        SysFreeString(path);
        return loaded;
    }
    // Looked up at run time from the automation library (the runtime answers to its name).
    using unregister_function = HRESULT (*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    if (HMODULE runtime = LoadLibraryA("oleaut32.dll")) {
        if (FARPROC found = GetProcAddress(runtime, "UnRegisterTypeLib")) {
            unregister_function unregister;
            std::memcpy(&unregister, &found, sizeof unregister);
            unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                       attributes->lcid, attributes->syskind);
        }
        FreeLibrary(runtime);
    }
    library->ReleaseTLibAttr(attributes);
    library->Release();
    SysFreeString(path);
    return loaded;
}

} // namespace morvane
