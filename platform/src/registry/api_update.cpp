// The registry's own calls: updates that span several calls, the scope of
// the classes root, and where the files are.
#include "registry/registry_session.h"

#include <cstring>

using namespace morvane::registry;

namespace {

Scope scope_of(DWORD scope) { return scope == MORVANE_REGISTRY_MACHINE ? Scope::machine : Scope::user; }

} // namespace

extern "C" {

LSTATUS MorvaneRegistryBeginUpdate(void)
{
    return morvane::guarded<RegistryError>(registry_failures, []() -> LSTATUS {
        Session session;
        // An update writes the classes: the machine's when this process chose
        // the machine scope, else the user's. Its file is made when missing.
        const Scope target = session.machine_classes() ? Scope::machine : Scope::user;
        Database &other = session.db(target == Scope::machine ? Scope::user : Scope::machine);
        if (other.update().active())
            return other.begin_update();
        return session.follow(target, true).begin_update();
    });
}

LSTATUS MorvaneRegistryEndUpdate(BOOL keep)
{
    return morvane::guarded<RegistryError>(registry_failures, [keep]() -> LSTATUS {
        Session session;
        for (const Scope scope : {Scope::user, Scope::machine}) {
            if (Database &db = session.db(scope); db.update().active())
                return db.end_update(keep != FALSE);
        }
        return ERROR_INVALID_FUNCTION;
    });
}

LSTATUS MorvaneRegistrySetScope(DWORD scope)
{
    return morvane::guarded<RegistryError>(registry_failures, [scope]() -> LSTATUS {
        if (scope != MORVANE_REGISTRY_USER && scope != MORVANE_REGISTRY_MACHINE)
            return ERROR_INVALID_PARAMETER;
        Session session;
        if (session.db(Scope::user).update().active() || session.db(Scope::machine).update().active())
            return ERROR_INVALID_FUNCTION;
        session.set_machine_classes(scope == MORVANE_REGISTRY_MACHINE);
        return ERROR_SUCCESS;
    });
}

DWORD MorvaneRegistryFilePath(DWORD scope, LPSTR buffer, DWORD size)
{
    try {
        const std::string path = registry_file_path(scope_of(scope));
        if (buffer == nullptr || size == 0)
            return static_cast<DWORD>(path.size() + 1);
        const std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
        std::memcpy(buffer, path.data(), copied);
        buffer[copied] = '\0';
        return path.size() < size ? static_cast<DWORD>(path.size()) : static_cast<DWORD>(path.size() + 1);
    } catch (...) {
        return 0;
    }
}

} // extern "C"
