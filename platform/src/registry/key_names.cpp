// Key and value names: case folding for comparison, length limits, and the division of
// a backslash-separated path into levels.
#include "registry/key_names.h"

#include <cstring>

namespace morvane::registry {

std::string fold_name(std::string_view name)
{
    std::string folded;
    append_folded(folded, name);
    return folded;
}

void append_folded(std::string &text, std::string_view name)
{
    const std::size_t start = text.size();
    text.append(name);
    for (auto c = text.begin() + static_cast<std::ptrdiff_t>(start); c != text.end(); ++c)
        if (*c >= 'a' && *c <= 'z')
            *c = static_cast<char>(*c - 'a' + 'A');
}

LSTATUS split_key_path(const char *path, std::vector<std::string_view> &levels)
{
    levels.clear();
    if (path == nullptr || *path == '\0')
        return ERROR_SUCCESS;
    std::string_view rest(path);
    if (rest.front() == '\\')
        return ERROR_BAD_PATHNAME;
    if (rest.back() == '\\')
        rest.remove_suffix(1);
    while (true) {
        const std::size_t cut = rest.find('\\');
        const std::string_view level = rest.substr(0, cut);
        if (level.empty())
            return ERROR_BAD_PATHNAME;
        if (level.size() > max_key_name)
            return ERROR_INVALID_PARAMETER;
        levels.push_back(level);
        if (cut == std::string_view::npos)
            return ERROR_SUCCESS;
        rest.remove_prefix(cut + 1);
    }
}

LSTATUS value_name(const char *name, std::string_view &out)
{
    out = name == nullptr ? std::string_view() : std::string_view(name, std::strlen(name));
    return out.size() > max_value_name ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

} // namespace morvane::registry
