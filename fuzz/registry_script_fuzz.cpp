// Arbitrary scripts expanded, installed and removed (the first byte orders the passes).
#include "fuzz_support.h"
#include "server/module_heap.h"
#include "server/registry_script.h"
#include "server/script_parser.h"

#include <windows.h>

#include <cstdint>
#include <string>

using namespace morvane;

namespace {

const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                      HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};

void empty_registry()
{
    for (HKEY root : roots) {
        char name[256];
        DWORD length = sizeof name;
        while (RegEnumKeyExA(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            fuzz::require(RegDeleteTreeA(root, name) == ERROR_SUCCESS);
            length = sizeof name;
        }
    }
}

void run_pass(const std::string &text, bool install)
{
    RegistryScript script;
    script.set_variable(u"Module", u"/opt/o''brien/Morvane.so");
    script.set_variable(u"Name", u"\u00e9t\u00e9 \U0001F600");
    ScriptParser parser(script);
    LPSTR expanded = nullptr;
    if (SUCCEEDED(parser.expand_variables(text.c_str(), &expanded)))
        parser.run_script(expanded, install);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::scratch_registry();
    fuzz::require(module_heap_setup());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool remove_first = (data[0] & 1) != 0;
    // The script text ends at its first zero byte, as a resource's text does.
    const auto *text = reinterpret_cast<const char *>(data + 1);
    const std::string script(text, strnlen(text, size - 1));
    run_pass(script, !remove_first);
    run_pass(script, remove_first);
    empty_registry();
    return 0;
}
