#include "registry/registry_session.h"

#include <pthread.h>

namespace morvane::registry {
namespace {

void hold_for_fork();
void release_after_fork();
void release_in_child();

// One connection and one handle table per process, behind one lock.
struct ProcessRegistry {
    std::mutex lock;
    Database database;
    HandleTable handles;
    KeptReads kept;

    // A fork waits for a registry call in progress, so that the child gets
    // the lock free and the handle table whole (the connection it then
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
    process_registry().database.mark_inherited();
    release_after_fork();
}

} // namespace

Session::Session(Uses uses)
    : lock_(process_registry().lock), store_(process_registry().database)
{
    if (uses == Uses::database) {
        if (LSTATUS status = db().ensure_open(); status != ERROR_SUCCESS)
            fail(status);
    }
}

Database &Session::db() { return process_registry().database; }

HandleTable &Session::handles() { return process_registry().handles; }

KeptReads &Session::kept() { return process_registry().kept; }

OpenKey Session::key(HKEY handle, REGSAM needed)
{
    auto open = handles().find(handle);
    if (!open)
        fail(ERROR_INVALID_HANDLE);
    if ((open->access & needed) != needed)
        fail(ERROR_ACCESS_DENIED);
    if (!predefined_root(handle) && open->generation != db().generation())
        fail(ERROR_KEY_DELETED);
    return *open;
}

KeyCall::KeyCall(HKEY handle, REGSAM needed, Transaction::Kind kind)
    : open_(session_.key(handle, needed)), transaction_(session_.db(), kind)
{
    session_.store().require(open_.key);
}

void Session::reset()
{
    ProcessRegistry &registry = process_registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.database.close();
    registry.handles.clear();
}

} // namespace morvane::registry
