#include "scratch_registry.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <vector>

scratch_registry::scratch_registry()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "morvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    folder_ = pattern;
    setenv("MORVANE_REGISTRY", (folder_ / "registry.db").c_str(), 1);
    MorvaneRegistryReset();
}

scratch_registry::~scratch_registry()
{
    MorvaneRegistryReset();
    unsetenv("MORVANE_REGISTRY");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

bool scratch_registry::key_exists(HKEY root, const char *path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void scratch_registry::create_key(HKEY root, const char *path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error(std::string("cannot create ") + path);
    RegCloseKey(key);
}

std::optional<std::string> scratch_registry::string_value(HKEY root, const char *path,
                                                         const char *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::string> text;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        std::vector<BYTE> data(size);
        if (RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
            std::string value(data.begin(), data.begin() + size);
            while (!value.empty() && value.back() == '\0')
                value.pop_back();
            text = value;
        }
    }
    RegCloseKey(key);
    return text;
}
