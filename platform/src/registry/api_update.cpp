// Registry updates that span several calls of this process.
#include "registry/registry_session.h"

using namespace morvane::registry;

extern "C" {

LSTATUS MorvaneRegistryBeginUpdate(void)
{
    return registry_call([]() -> LSTATUS {
        Session session;
        return session.db().begin_scope();
    });
}

LSTATUS MorvaneRegistryEndUpdate(BOOL keep)
{
    return registry_call([keep]() -> LSTATUS {
        Session session;
        return session.db().end_scope(keep != FALSE);
    });
}

} // extern "C"
