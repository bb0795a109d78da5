// Built through find_package(Morvane): registers the installed component from the
// path the package names, creates a tracker by ProgID through the component system,
// reads a setting, and unregisters the component again.
#include <windows.h>
#include <morvane.h>

#include <cstdio>
#include <cstring>

namespace {

HRESULT call_entry(HMODULE module, const char *name)
{
    FARPROC found = GetProcAddress(module, name);
    HRESULT (*entry)() = nullptr;
    std::memcpy(&entry, &found, sizeof entry);
    return entry ? entry() : E_FAIL;
}

} // namespace

int main()
{
    HMODULE module = LoadLibraryA(MORVANE_COMPONENT_FILE);
    HRESULT hr = module ? call_entry(module, "DllRegisterServer") : E_FAIL;
    LONG features = 0;
    if (SUCCEEDED(hr) && SUCCEEDED(hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        CLSID clsid{};
        IMorvane *tracker = nullptr;
        hr = CLSIDFromProgID(u"Morvane.CoMorvane", &clsid);
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                                  reinterpret_cast<void **>(&tracker));
        if (SUCCEEDED(hr)) {
            hr = tracker->get_max_features(&features);
            tracker->Release();
        }
        CoUninitialize();
    }
    const HRESULT removed = module ? call_entry(module, "DllUnregisterServer") : E_FAIL;
    if (module)
        FreeLibrary(module);
    if (FAILED(hr) || FAILED(removed) || features != 400) {
        std::fprintf(stderr, "cmake client: %s: 0x%08X, unregistration 0x%08X, max_features %ld\n",
                     MORVANE_COMPONENT_FILE, static_cast<unsigned>(hr), static_cast<unsigned>(removed), static_cast<long>(features));
        return 1;
    }
    std::puts("cmake client ok");
    return 0;
}
