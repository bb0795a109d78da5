// Reads a registry tree back whole, and writes it as text for comparisons and failure
// messages.
#include "registry_tree.h"

#include <scoped_key.h>

#include <cstring>

namespace morvane::test {

namespace {

constexpr int deepest_level = 512;

// keys_left counts keys opened, not paths: a damaged file may list one name twice.
void read_tree(HKEY key, const std::string &path, RegistryTree &tree, std::size_t &keys_left,
               int level = 0)
{
    auto &values = tree[path];
    // Shared by the levels: a level's values are read before it descends.
    static thread_local std::vector<char> name(16384);
    static thread_local std::vector<unsigned char> data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD name_length = DWORD(name.size()), type = 0, data_length = DWORD(data.size());
        if (RegEnumValueA(key, i, name.data(), &name_length, nullptr, &type, data.data(),
                          &data_length) != ERROR_SUCCESS)
            break;
        values[std::string(name.data(), name_length)] =
            RegistryValue{type, std::vector<unsigned char>(data.begin(), data.begin() + data_length)};
    }
    for (DWORD i = 0; keys_left > 0 && level < deepest_level; ++i) {
        char child_name[256];
        DWORD length = sizeof child_name;
        if (RegEnumKeyExA(key, i, child_name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        --keys_left;
        ScopedKey child;
        const std::string child_path = path.empty() ? child_name : path + "\\" + child_name;
        if (RegOpenKeyExA(key, child_name, 0, KEY_READ, child.receive()) != ERROR_SUCCESS) {
            tree[child_path + " (cannot be opened)"];
            continue;
        }
        read_tree(child.get(), child_path, tree, keys_left, level + 1);
    }
}

std::string hex(const std::vector<unsigned char> &data)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : data)
        text += {digits[byte >> 4], digits[byte & 15]};
    return text;
}

std::string value_text(const RegistryValue &value)
{
    if (value.type == REG_SZ && !value.data.empty() && value.data.back() == 0 &&
        std::memchr(value.data.data(), 0, value.data.size() - 1) == nullptr)
        return "'" + std::string(value.data.begin(), value.data.end() - 1) + "'";
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), sizeof number);
        return "#" + std::to_string(number);
    }
    if (value.type == REG_BINARY)
        return "x" + hex(value.data);
    return "t" + std::to_string(value.type) + ":" + hex(value.data);
}

} // namespace

RegistryTree registry_tree(HKEY root, const std::string &path, std::size_t most_keys)
{
    RegistryTree tree;
    ScopedKey key;
    if (RegOpenKeyExA(root, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return tree;
    read_tree(key.get(), "", tree, most_keys);
    return tree;
}

std::string tree_text(const RegistryTree &tree)
{
    std::string text;
    for (const auto &[path, values] : tree) {
        if (path.empty() && values.empty())
            continue;
        text += path;
        for (const auto &[name, value] : values)
            text += " @" + name + "=" + value_text(value);
        text += "\n";
    }
    return text;
}

} // namespace morvane::test
