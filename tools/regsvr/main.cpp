// regsvr [-u] [-s] [--machine] FILE: registers a component file by calling its
// exported DllRegisterServer (DllUnregisterServer with -u), for the current user or,
// with --machine, for every user. -s prints nothing.
#include "registration_hint.h"
#include "registry_status.h"
#include "result_names.h"
#include "standard_options.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int exit_usage = 2;
constexpr int exit_not_loadable = 3;
constexpr int exit_no_export = 4;
constexpr int exit_failed = 5;

// The manual page regsvr.1 says the same at length.
constexpr char usage_text[] =
    "usage: regsvr [-u] [-s] [--machine] FILE\n"
    "       regsvr -h | --help | --version\n"
    "Registers the component module FILE by calling its DllRegisterServer.\n"
    "  -u, /u     unregister: call DllUnregisterServer instead\n"
    "  -s, /s     silent: print nothing\n"
    "  --machine  for every user, in the machine registry (else for the current user)\n"
    "  -h, --help print this usage; --version: the version\n"
    "Exit status: 0 done, 2 wrong usage, 3 FILE not loadable, 4 no such entry point,\n"
    "5 the entry point failed or the registry cannot be written. MORVANE_REGISTRY names\n"
    "the user's registry file, MORVANE_MACHINE_REGISTRY the machine's.\n";

// Why a file could not be loaded, for the codes that have a plainer reason.
const char *load_failure_reason(DWORD error)
{
    switch (error) {
    case ERROR_MOD_NOT_FOUND:
        return ": no such file or not a loadable library";
    case ERROR_BAD_EXE_FORMAT:
        return ": not a regular file";
    case ERROR_BAD_FORMAT:
        return ": not a loadable library";
    default:
        return "";
    }
}

int usage()
{
    std::fputs(usage_text, stderr);
    return exit_usage;
}

} // namespace

int main(int argc, char **argv)
{
    if (const auto answered = morvane::answer_standard_option(argc, argv, "regsvr", usage_text))
        return *answered;
    bool unregister = false;
    bool silent = false;
    bool machine = false;
    const char *file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0 || std::strcmp(argv[i], "/u") == 0)
            unregister = true;
        else if (std::strcmp(argv[i], "--machine") == 0)
            machine = true;
        else if (std::strcmp(argv[i], "-s") == 0 || std::strcmp(argv[i], "/s") == 0)
            silent = true;
        else if (!file && argv[i][0] != '-')
            file = argv[i];
        else
            return usage();
    }
    if (!file)
        return usage();

    const char *entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    HMODULE module = LoadLibraryA(file);
    if (!module) {
        const DWORD error = GetLastError();
        if (!silent)
            std::fprintf(stderr, "regsvr: %s could not be loaded (system error %u%s)\n", file,
                         static_cast<unsigned>(error), load_failure_reason(error));
        return exit_not_loadable;
    }
    FARPROC found = GetProcAddress(module, entry);
    if (!found) {
        if (!silent)
            std::fprintf(stderr, "regsvr: %s was loaded, but it has no entry point %s\n", file, entry);
        FreeLibrary(module);
        return exit_no_export;
    }
    using entry_point = HRESULT (*)();
    entry_point call;
    std::memcpy(&call, &found, sizeof call);

    // The whole call is one registry update: other processes never see it
    // half done, and a failed or interrupted one leaves the registry as it was.
    const DWORD scope = machine ? MORVANE_REGISTRY_MACHINE : MORVANE_REGISTRY_USER;
    const std::string registry = registry_file(scope);
    MorvaneRegistrySetScope(scope);
    if (const LSTATUS opened = MorvaneRegistryBeginUpdate(); opened != ERROR_SUCCESS) {
        if (!silent)
            std::fprintf(stderr, "regsvr: %s in %s was not called: the registry %s cannot be written: %s\n",
                         entry, file, registry.c_str(), status_text(opened).c_str());
        FreeLibrary(module);
        return exit_failed;
    }
    const HRESULT result = call();
    const LSTATUS ended = MorvaneRegistryEndUpdate(SUCCEEDED(result) ? TRUE : FALSE);
    FreeLibrary(module);
    if (FAILED(result)) {
        if (!silent)
            std::fprintf(stderr, "regsvr: %s in %s failed: %s\n", entry, file,
                         regsvr::describe_result(result).c_str());
        return exit_failed;
    }
    if (ended != ERROR_SUCCESS) {
        if (!silent)
            std::fprintf(stderr, "regsvr: %s in %s failed: the registry %s could not be written: %s\n",
                         entry, file, registry.c_str(), status_text(ended).c_str());
        return exit_failed;
    }
    if (!silent)
        std::printf("%s in %s succeeded (registry %s).\n", entry, file, registry.c_str());
    return 0;
}
