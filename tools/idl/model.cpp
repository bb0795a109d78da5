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
    case kInvokeGet: return "get_" + name;
    case kInvokePut: return "put_" + name;
    case kInvokePutRef: return "putref_" + name;
    default: return name;
    }
}

} // namespace idl
