// The names the writers derive from the checked model: type spellings and accessor member names.
#include "model.h"

namespace idl {

std::string Type::spelling() const
{
    std::string out = base_spelling;
    if (pointers > 0 && out.back() != '*')
        out += ' ';
    out.append(static_cast<std::size_t>(pointers), '*');
    return out;
}

std::string Method::member_name() const
{
    switch (invkind) {
    case invoke_get: return "get_" + name;
    case invoke_put: return "put_" + name;
    case invoke_put_ref: return "putref_" + name;
    default: return name;
    }
}

} // namespace idl
