// A script run's passes: the text read once into a tree, then installed or removed.
#include "server/script_parser.h"

#include "server/script_passes.h"
#include "server/script_reader.h"
#include "server/script_text.h"

#include <boundary.h>

namespace morvane {

HRESULT ScriptParser::run_script(LPSTR text, bool install)
{
    TaskBlock owned(text);
    ScriptTree tree;
    if (const HRESULT hr = morvane::guarded(morvane::hresult_failures, [&] {
            tree = read_script(text);
            return S_OK;
        });
        FAILED(hr))
        return hr;
    for (const ScriptRoot &root : tree.roots) {
        if (!install) {
            if (const HRESULT hr = remove_block(tree, root.key, root.block); FAILED(hr))
                return hr;
            continue;
        }
        std::size_t stopped_at = 0;
        if (const HRESULT hr = install_block(tree, root.key, root.block, stopped_at); FAILED(hr)) {
            // The roll-back's own result is dropped: the installation's failure is the answer.
            remove_block(tree, root.key, root.block, stopped_at);
            return hr;
        }
    }
    return tree.refused_at ? DISP_E_EXCEPTION : S_OK;
}

} // namespace morvane
