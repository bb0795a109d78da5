// reg query: prints a key's values and subkeys, or, asked to recurse, the whole tree below it,
// noting keys that cannot be read and stopping at keys nested in a cycle.
#include "commands.h"
#include "registration_hint.h"
#include "registry_status.h"
#include "value_text.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include <scoped_key.h>

using morvane::ScopedKey;

namespace {

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// The longest value name and key name the registry allows, with room for the
// terminator, and the deepest nesting of keys.
constexpr DWORD value_name_room = 16384;
constexpr DWORD key_name_room = 256;
constexpr int max_key_depth = 512;

// The index-th value, asking again while it grows between the size query and
// the read. ERROR_MORE_DATA when its name is longer than a registry allows.
LSTATUS read_value(HKEY key, DWORD index, Value &value)
{
    std::vector<char> name(value_name_room);
    for (;;) {
        DWORD name_size = static_cast<DWORD>(name.size());
        DWORD data_size = static_cast<DWORD>(value.data.size());
        const LSTATUS status =
            RegEnumValueA(key, index, name.data(), &name_size, nullptr, &value.type,
                          value.data.empty() ? nullptr : value.data.data(), &data_size);
        // More data than room, or the size query's answer: read again into
        // room for it. Without that, it is the name that does not fit.
        const bool data_grew = data_size > value.data.size();
        if ((status == ERROR_MORE_DATA || status == ERROR_SUCCESS) && data_grew) {
            value.data.resize(data_size);
            continue;
        }
        if (status == ERROR_SUCCESS) {
            value.name.assign(name.data(), name_size);
            value.data.resize(data_size);
        }
        return status;
    }
}

// Walks the keys below one key, telling what it cannot show on the error
// stream and going on with the rest.
class KeyPrinter {
public:
    KeyPrinter(std::ostream &out, std::ostream &err) : out_(out), err_(err) {}

    // ERROR_SUCCESS when everything was shown, else the first failure met.
    LSTATUS print(HKEY key, const std::string &display, bool recurse, int depth);

private:
    void note(const std::string &display, const std::string &what, LSTATUS status)
    {
        out_.flush();
        err_ << "reg: " << display << ": " << what << status_text(status) << '\n';
        if (first_failure_ == ERROR_SUCCESS)
            first_failure_ = status;
    }
    void print_values(HKEY key, const std::string &display);
    std::vector<std::string> subkey_names(HKEY key, const std::string &display);

    std::ostream &out_;
    std::ostream &err_;
    LSTATUS first_failure_ = ERROR_SUCCESS;
};

void KeyPrinter::print_values(HKEY key, const std::string &display)
{
    for (DWORD index = 0;; ++index) {
        Value value;
        const LSTATUS status = read_value(key, index, value);
        if (status == ERROR_NO_MORE_ITEMS)
            return;
        if (status == ERROR_MORE_DATA) {
            note(display, "value " + std::to_string(index) + ": ", status);
            continue;
        }
        if (status != ERROR_SUCCESS) {
            note(display, "", status);
            return;
        }
        out_ << "    " << (value.name.empty() ? "(Default)" : value.name) << "    "
             << type_name(value.type) << "    " << data_text(value.type, value.data) << '\n';
    }
}

std::vector<std::string> KeyPrinter::subkey_names(HKEY key, const std::string &display)
{
    std::vector<std::string> names;
    char name[key_name_room];
    for (DWORD index = 0;; ++index) {
        DWORD size = sizeof name;
        const LSTATUS status =
            RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return names;
        if (status == ERROR_MORE_DATA) {
            note(display, "subkey " + std::to_string(index) + ": ", status);
            continue;
        }
        if (status != ERROR_SUCCESS) {
            note(display, "", status);
            return names;
        }
        names.emplace_back(name, size);
    }
}

LSTATUS KeyPrinter::print(HKEY key, const std::string &display, bool recurse, int depth)
{
    out_ << '\n' << display << '\n';
    print_values(key, display);
    const std::vector<std::string> names = subkey_names(key, display);
    if (!recurse) {
        if (!names.empty())
            out_ << '\n';
        for (const std::string &name : names)
            out_ << display << '\\' << name << '\n';
        return first_failure_;
    }
    // Deeper than a registry can nest: the keys run in a cycle.
    if (!names.empty() && depth >= max_key_depth) {
        note(display, "", ERROR_BADDB);
        return first_failure_;
    }
    for (const std::string &name : names) {
        ScopedKey subkey;
        const LSTATUS status = RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, subkey.receive());
        if (status == ERROR_FILE_NOT_FOUND)
            continue; // deleted since it was listed
        if (status != ERROR_SUCCESS) {
            note(display + '\\' + name, "", status);
            continue;
        }
        print(subkey.get(), display + '\\' + name, true, depth + 1);
    }
    return first_failure_;
}

} // namespace

int run_query(const KeyArgument &key, bool recurse, std::ostream &out, std::ostream &err)
{
    ScopedKey handle;
    LSTATUS status = RegOpenKeyExA(key.root, key.path.c_str(), 0, KEY_READ, handle.receive());
    if (status != ERROR_SUCCESS) {
        err << "reg: " << key.display << ": " << status_text(status) << registry_note(key.root) << '\n';
        return 1;
    }
    const int depth = key.path.empty() ? 0 : 1 + static_cast<int>(std::count(key.path.begin(), key.path.end(), '\\'));
    status = KeyPrinter(out, err).print(handle.get(), key.display, recurse, depth);
    return status == ERROR_SUCCESS ? 0 : 1;
}
