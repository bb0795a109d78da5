// The table of server libraries loaded by activation. A library is loaded once per
// process under the table's lock, so that concurrent first activations share one
// load; the library's DllGetClassObject is called outside the lock (it may call
// back into the component system), with the entry marked busy so that it cannot be
// unloaded meanwhile.
#include "com/server_libraries.h"


#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

namespace {

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, LPVOID *);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE *)(void);

// Libraries are loaded through the runtime's own loader, which runs their entry
// point and keeps the system's reason for a failure as the thread's last error.
HMODULE open_library(const std::string &path)
{
    return LoadLibraryA(path.c_str());
}

template <typename Function>
Function find_export(HMODULE library, const char *name)
{
    // Through the generic function pointer type, as an exported address has no type.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

void close_library(HMODULE library)
{
    FreeLibrary(library);
}

struct Library {
    std::string path;
    HMODULE handle;
    GetClassObjectFunction get_class_object;
    CanUnloadNowFunction can_unload_now; // null: the library stays loaded
    int busy;                            // class-object requests in progress
};

std::mutex table_lock;
std::vector<Library> &table()
{
    static std::vector<Library> libraries;
    return libraries;
}

Library *find_library(const std::string &path)
{
    auto &libraries = table();
    auto it = std::find_if(libraries.begin(), libraries.end(),
                           [&](const Library &library) { return library.path == path; });
    return it == libraries.end() ? nullptr : &*it;
}

// The entry for path, loading the library when needed; called under table_lock.
// The entry is returned marked busy.
HRESULT acquire_library(const std::string &path, Library *&entry)
{
    entry = find_library(path);
    if (!entry) {
        HMODULE handle = open_library(path);
        if (!handle)
            return CO_E_DLLNOTFOUND;
        auto get_class_object = find_export<GetClassObjectFunction>(handle, "DllGetClassObject");
        if (!get_class_object) {
            close_library(handle);
            return CO_E_ERRORINDLL;
        }
        auto can_unload_now = find_export<CanUnloadNowFunction>(handle, "DllCanUnloadNow");
        try {
            table().push_back(Library{path, handle, get_class_object, can_unload_now, 0});
        } catch (const std::bad_alloc &) {
            close_library(handle);
            return E_OUTOFMEMORY;
        }
        entry = &table().back();
    }
    ++entry->busy;
    return S_OK;
}

} // namespace

namespace morvane::com {

HRESULT server_class_object(const std::string &path, REFCLSID clsid, REFIID riid, void **ppv)
{
    GetClassObjectFunction get_class_object = nullptr;
    {
        std::lock_guard<std::mutex> hold(table_lock);
        Library *entry = nullptr;
        const HRESULT hr = acquire_library(path, entry);
        if (FAILED(hr))
            return hr;
        get_class_object = entry->get_class_object;
    }
    const HRESULT hr = get_class_object(clsid, riid, ppv);
    {
        // Entries may have moved while the lock was not held: look this one up again.
        std::lock_guard<std::mutex> hold(table_lock);
        if (Library *entry = find_library(path))
            --entry->busy;
    }
    return hr;
}

void free_unused_server_libraries()
{
    std::vector<HMODULE> unloading;
    {
        std::lock_guard<std::mutex> hold(table_lock);
        auto &libraries = table();
        try {
            unloading.reserve(libraries.size());
        } catch (const std::bad_alloc &) {
            return; // nothing is unloaded this time
        }
        auto keep = std::stable_partition(libraries.begin(), libraries.end(), [](const Library &library) {
            return library.busy > 0 || !library.can_unload_now || library.can_unload_now() != S_OK;
        });
        for (auto it = keep; it != libraries.end(); ++it)
            unloading.push_back(it->handle);
        libraries.erase(keep, libraries.end());
    }
    // Unloading runs the libraries' own clean-up, which must not find the table locked.
    for (HMODULE handle : unloading)
        close_library(handle);
}

} // namespace morvane::com
