// Activation and registry reads on a module registered in a scratch registry:
//   - a warm CoCreateInstance + Release of CoMorvane, against CreateInstance +
//     Release on a class object the client holds (what activation adds on top);
//   - RegOpenKeyExA + RegQueryValueExA + RegCloseKey of the class's server path,
//     against RegQueryValueExA alone on a key kept open.
//
//   activation_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include "benchmark_main.h"
#include "registered_module.h"

#include <morvane.h>
#include <scoped_key.h>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr const char *kServerKey = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\InprocServer32";

void ActivationByClassIdentifier(benchmark::State &state)
{
    for (auto _ : state) {
        IMorvane *tracker = nullptr;
        if (CoCreateInstance(CLSID_CoMorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IMorvane,
                             reinterpret_cast<void **>(&tracker)) != S_OK) {
            state.SkipWithError("CoCreateInstance failed");
            break;
        }
        tracker->Release();
    }
}
BENCHMARK(ActivationByClassIdentifier);

void CreationOnHeldClassObject(benchmark::State &state)
{
    IClassFactory *factory = nullptr;
    if (CoGetClassObject(CLSID_CoMorvane, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                         reinterpret_cast<void **>(&factory)) != S_OK) {
        state.SkipWithError("CoGetClassObject failed");
        return;
    }
    for (auto _ : state) {
        IMorvane *tracker = nullptr;
        if (factory->CreateInstance(nullptr, IID_IMorvane, reinterpret_cast<void **>(&tracker)) != S_OK) {
            state.SkipWithError("CreateInstance failed");
            break;
        }
        tracker->Release();
    }
    factory->Release();
}
BENCHMARK(CreationOnHeldClassObject);

void RegistryOpenQueryClose(benchmark::State &state)
{
    for (auto _ : state) {
        morvane::ScopedKey key;
        char path[512];
        DWORD size = sizeof path;
        // The close is part of what is measured: its result is checked here.
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS ||
            RegQueryValueExA(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(path), &size) !=
                ERROR_SUCCESS ||
            key.close() != ERROR_SUCCESS) {
            state.SkipWithError("reading the server path failed");
            break;
        }
        benchmark::DoNotOptimize(path);
    }
}
BENCHMARK(RegistryOpenQueryClose);

void RegistryQueryOnOpenKey(benchmark::State &state)
{
    morvane::ScopedKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS) {
        state.SkipWithError("opening the class key failed");
        return;
    }
    for (auto _ : state) {
        char path[512];
        DWORD size = sizeof path;
        if (RegQueryValueExA(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(path), &size) !=
            ERROR_SUCCESS) {
            state.SkipWithError("reading the server path failed");
            break;
        }
        benchmark::DoNotOptimize(path);
    }
}
BENCHMARK(RegistryQueryOnOpenKey);

} // namespace

int main(int argc, char **argv)
{
    return morvane::bench::run(argc, argv, [] {
        return morvane::bench::with_registered_component(MORVANE_MODULE_PATH, morvane::bench::run_all);
    });
}
