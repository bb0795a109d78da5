// One run of a registration script: expansion of its variables, then the
// installing or the removing pass over the tree of the expanded text.
#pragma once

#include "server/registry_script.h"

namespace morvane {

class ScriptParser {
public:
    explicit ScriptParser(const RegistryScript &script) : script_(script) {}
    ScriptParser(const ScriptParser &) = delete;
    ScriptParser &operator=(const ScriptParser &) = delete;

    // Replaces every %name% of the text by the variable's value and %% by "%".
    // On success *expanded is a task-allocator block that the caller frees (or
    // hands to run_script). Touches nothing in the registry.
    HRESULT expand_variables(LPCSTR text, LPSTR *expanded);

    // Reads the expanded script and installs or removes it, root block by root
    // block; frees the text. A root block whose installation fails is rolled back
    // (what the installation had reached is removed) and its failure returned;
    // earlier root blocks stay. A text refused (DISP_E_EXCEPTION) is applied up to
    // where it is refused. E_OUTOFMEMORY, with nothing touched, when the script
    // cannot be read for want of memory.
    HRESULT run_script(LPSTR text, bool install);

private:
    const RegistryScript &script_;
};

} // namespace morvane
