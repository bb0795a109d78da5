// The process's registry state behind one lock: the two files, the handle
// table and the scope of the classes root.
#include "registry/registry_session.h"

#include <pthread.h>

namespace morvane::registry {
namespace {

void hold_for_fork();
void release_after_fork();
void release_in_child();

struct ProcessRegistry {
    std::mutex lock;
    Database user{Scope::user};
    Database machine{Scope::machine};
    HandleTable handles;
    bool machine_classes = false;

    // A fork waits for a registry call in progress, so that the child gets
    // the lock free and the handle table whole (the connections it then
    // abandons).
    ProcessRegistry() { pthread_atfork(hold_for_fork, release_after_fork, release_in_child); }
};

ProcessRegistry &process_registry()
{
    static ProcessRegistry registry;
    return registry;
}

void hold_for_fork() { process_registry().lock.lock(); }
void release_after_fork() { process_registry().lock.unlock(); }

void release_in_child()
{
    process_registry().user.mark_inherited();
    process_registry().machine.mark_inherited();
    release_after_fork();
}

} // namespace

Session::Session() : lock_(process_registry().lock) {}

Database &Session::db(Scope scope)
{
    return scope == Scope::machine ? process_registry().machine : process_registry().user;
}

Database &Session::follow(Scope scope, bool writing)
{
    Database &database = db(scope);
    if (LSTATUS status = database.follow_path(writing); status != ERROR_SUCCESS)
        fail(status);
    return database;
}

HandleTable &Session::handles() { return process_registry().handles; }

bool Session::machine_classes() const { return process_registry().machine_classes; }

void Session::set_machine_classes(bool machine) { process_registry().machine_classes = machine; }

OpenKey Session::key(HKEY handle, REGSAM needed)
{
    OpenKey open;
    if (const auto row = predefined_root(handle)) {
        open.root = true;
        if (*row == 1) {
            open.classes = true;
            open.machine_only = machine_classes();
        } else {
            open.scope = *row == 3 ? Scope::machine : Scope::user;
            open.key = *row;
        }
        return open;
    }
    const OpenKey *found = handles().find(handle);
    if (found == nullptr)
        fail(ERROR_INVALID_HANDLE);
    if ((found->access & needed) != needed)
        fail(ERROR_ACCESS_DENIED);
    return *found;
}

void Session::reset()
{
    ProcessRegistry &registry = process_registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.user.forget_path();
    registry.machine.forget_path();
    registry.handles.clear();
    registry.machine_classes = false;
}

} // namespace morvane::registry
