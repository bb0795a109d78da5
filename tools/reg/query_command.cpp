#include "commands.h"
#include "value_text.h"

#include <ostream>
#include <string>
#include <vector>

namespace {

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// The index-th value, asking again while it grows between the size query and
// the read.
LSTATUS read_value(HKEY key, DWORD index, Value &value)
{
    std::vector<char> name(16384);
    LSTATUS status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) {
        DWORD name_size = static_cast<DWORD>(name.size());
        DWORD data_size = static_cast<DWORD>(value.data.size());
        status = RegEnumValueA(key, index, name.data(), &name_size, nullptr, &value.type,
                               value.data.empty() ? nullptr : value.data.data(), &data_size);
        if (status == ERROR_SUCCESS && data_size > value.data.size()) {
            // That was the size query: read again into room for the data.
            status = ERROR_MORE_DATA;
        }
        if (status == ERROR_MORE_DATA) {
            value.data.resize(data_size);
            continue;
        }
        if (status == ERROR_SUCCESS) {
            value.name.assign(name.data(), name_size);
            value.data.resize(data_size);
        }
    }
    return status;
}

LSTATUS subkey_names(HKEY key, std::vector<std::string> &names)
{
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        const LSTATUS status =
            RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS)
            return status;
        names.emplace_back(name, size);
    }
}

LSTATUS print_key(HKEY key, const std::string &display, bool recurse, std::ostream &out)
{
    out << '\n' << display << '\n';
    for (DWORD index = 0;; ++index) {
        Value value;
        const LSTATUS status = read_value(key, index, value);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return status;
        out << "    " << (value.name.empty() ? "(Default)" : value.name) << "    "
            << type_name(value.type) << "    " << data_text(value.type, value.data) << '\n';
    }
    std::vector<std::string> names;
    if (LSTATUS status = subkey_names(key, names); status != ERROR_SUCCESS)
        return status;
    if (!recurse) {
        if (!names.empty())
            out << '\n';
        for (const std::string &name : names)
            out << display << '\\' << name << '\n';
        return ERROR_SUCCESS;
    }
    for (const std::string &name : names) {
        HKEY subkey = nullptr;
        LSTATUS status = RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &subkey);
        if (status == ERROR_FILE_NOT_FOUND)
            continue; // deleted since it was listed
        if (status == ERROR_SUCCESS) {
            status = print_key(subkey, display + '\\' + name, true, out);
            RegCloseKey(subkey);
        }
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

} // namespace

int run_query(const KeyArgument &key, bool recurse, std::ostream &out, std::ostream &err)
{
    HKEY handle = nullptr;
    LSTATUS status = RegOpenKeyExA(key.root, key.path.c_str(), 0, KEY_READ, &handle);
    if (status == ERROR_SUCCESS) {
        status = print_key(handle, key.display, recurse, out);
        RegCloseKey(handle);
    }
    if (status != ERROR_SUCCESS) {
        out.flush();
        err << "reg: " << key.display << ": " << status_text(status) << '\n';
        return 1;
    }
    return 0;
}
