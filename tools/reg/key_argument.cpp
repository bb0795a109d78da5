// Parses a key argument of the command line into its root key, path and display form.
#include "key_argument.h"

#include <strings.h>

namespace {

struct RootName {
    const char *short_name;
    const char *long_name;
    HKEY root;
};

const RootName root_names[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKU", "HKEY_USERS", HKEY_USERS},
    {"HKPD", "HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {"HKDD", "HKEY_DYN_DATA", HKEY_DYN_DATA},
};

} // namespace

std::optional<KeyArgument> parse_key_argument(const std::string &text)
{
    const std::size_t cut = text.find('\\');
    const std::string root_text = text.substr(0, cut);
    std::string path = cut == std::string::npos ? std::string() : text.substr(cut + 1);
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    for (const RootName &name : root_names) {
        if (strcasecmp(root_text.c_str(), name.short_name) == 0 ||
            strcasecmp(root_text.c_str(), name.long_name) == 0) {
            std::string display = name.long_name;
            if (!path.empty())
                display += "\\" + path;
            return KeyArgument{name.root, path, display};
        }
    }
    return std::nullopt;
}
