// The installing pass: keys opened or created and values written, in the order of the text.
#include "server/script_passes.h"

#include "server/script_registry.h"
#include "server/script_tables.h"

namespace morvane {

namespace {

class Installer {
public:
    explicit Installer(const ScriptTree &tree) : tree_(tree) {}

    HRESULT block(HKEY parent, const ScriptBlock &block);

    std::size_t stopped_at = 0;

private:
    HRESULT entry(HKEY parent, const ScriptEntry &entry, ScopedKey &current);
    HRESULT key(HKEY parent, const ScriptEntry &entry, ScopedKey &current);
    HRESULT stop(HRESULT failure, std::size_t position)
    {
        stopped_at = position;
        return failure;
    }
    HRESULT refused() { return stop(DISP_E_EXCEPTION, *tree_.refused_at); }

    const ScriptTree &tree_;
};

HRESULT Installer::block(HKEY parent, const ScriptBlock &block)
{
    // The key of the block's latest key entry, open until the next one replaces it.
    ScopedKey current;
    for (const ScriptEntry &entry : block.entries)
        if (const HRESULT hr = this->entry(parent, entry, current); FAILED(hr))
            return hr;
    return block.truncated ? refused() : S_OK;
}

HRESULT Installer::entry(HKEY parent, const ScriptEntry &entry, ScopedKey &current)
{
    if (entry.force_removed && !is_protected_key_name(entry.force_removed->c_str()))
        delete_key_tree(parent, entry.force_removed->c_str());
    switch (entry.kind) {
    case ScriptEntry::Kind::deletion:
        if (!is_protected_key_name(entry.name.c_str()))
            delete_key_tree(parent, entry.name.c_str());
        break;
    case ScriptEntry::Kind::value:
        if (entry.assignment)
            if (const HRESULT hr = write_value(parent, entry.name.c_str(), *entry.assignment); FAILED(hr))
                return stop(hr, entry.assignment->position);
        break;
    case ScriptEntry::Kind::key:
        if (const HRESULT hr = key(parent, entry, current); FAILED(hr))
            return hr;
        break;
    }
    // A refusal within the entry stops the walk at its block's end, which is truncated too.
    return S_OK;
}

HRESULT Installer::key(HKEY parent, const ScriptEntry &entry, ScopedKey &current)
{
    LPCSTR name = entry.name.c_str();
    HKEY key = nullptr;
    bool created = false;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        key = nullptr;
        if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            key = nullptr;
            if (RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) != ERROR_SUCCESS)
                return stop(DISP_E_EXCEPTION, entry.position);
            created = true;
        }
    }
    if (current.replace(key) != ERROR_SUCCESS && created)
        return stop(DISP_E_EXCEPTION, entry.position);
    if (entry.assignment)
        if (const HRESULT hr = write_value(current.get(), nullptr, *entry.assignment); FAILED(hr))
            return stop(hr, entry.assignment->position);
    return entry.block ? block(current.get(), *entry.block) : S_OK;
}

}  // namespace

HRESULT install_block(const ScriptTree &tree, HKEY root, const ScriptBlock &block, std::size_t &stopped_at)
{
    Installer installer(tree);
    const HRESULT result = installer.block(root, block);
    stopped_at = installer.stopped_at;
    return result;
}

} // namespace morvane
