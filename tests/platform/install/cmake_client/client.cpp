// Built through find_package(Morvane): registers the installed component from the
// path the package names, creates a tracker through the component system and reads
// a setting.
#include <windows.h>
#include <morvane.h>

#include <cstdio>
#include <cstring>

int main()
{
    HMODULE module = LoadLibraryA(MORVANE_COMPONENT_FILE);
    FARPROC found = module ? GetProcAddress(module, "DllRegisterServer") : nullptr;
    HRESULT (*register_server)() = nullptr;
    std::memcpy(&register_server, &found, sizeof register_server);
    HRESULT hr = register_server ? register_server() : E_FAIL;
    IMorvane *tracker = nullptr;
    LONG features = 0;
    if (SUCCEEDED(hr) && SUCCEEDED(hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        hr = CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                              reinterpret_cast<void **>(&tracker));
    if (SUCCEEDED(hr)) {
        hr = tracker->get_max_features(&features);
        tracker->Release();
    }
    if (FAILED(hr) || features != 400) {
        std::fprintf(stderr, "cmake client: 0x%08X, max_features %ld\n", unsigned(hr), long(features));
        return 1;
    }
    std::puts("cmake client ok");
    return 0;
}
