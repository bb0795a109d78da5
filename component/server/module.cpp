// The loaded module's state: attach and detach, the lock count, the module's two locks and
// the termination list run at unload.
#include "module.h"

#include "class_table.h"
#include "module_heap.h"

#include <new>

namespace morvane {
namespace {

struct cleanup_entry {
    cleanup_routine routine;
    void *argument;
    cleanup_entry *next;
};

struct module_state {
    HINSTANCE instance = nullptr;
    HINSTANCE resource_instance = nullptr;
    HINSTANCE type_library_instance = nullptr;
    LONG lock_count = 0;
    CRITICAL_SECTION type_info_lock{};
    CRITICAL_SECTION class_table_lock{};
    cleanup_entry *termination_list = nullptr;
    // False when the load step could not set the module heaps up: nothing the
    // module makes can then be allocated, so nothing is made at all.
    bool usable = false;
};

module_state state;

} // namespace

void module_attach(HINSTANCE instance)
{
    state.instance = instance;
    state.resource_instance = instance;
    state.type_library_instance = instance;
    state.lock_count = 0;
    InitializeCriticalSection(&state.type_info_lock);
    InitializeCriticalSection(&state.class_table_lock);
    state.termination_list = nullptr;
    state.usable = module_heap_setup();
    if (state.usable) {
        for (class_entry *entry = class_table(); !IsEqualGUID(*entry->clsid, GUID_NULL); ++entry) {
            if (entry->start_stop)
                entry->start_stop(true);
        }
    }
    DisableThreadLibraryCalls(instance);
}

void module_detach()
{
    for (class_entry *entry = class_table(); !IsEqualGUID(*entry->clsid, GUID_NULL); ++entry) {
        if (entry->class_object) {
            entry->class_object->Release();
            entry->class_object = nullptr;
        }
        if (entry->start_stop && state.usable)
            entry->start_stop(false);
    }
    // The termination list runs while the lock that guards it still exists.
    while (cleanup_entry *entry = state.termination_list) {
        state.termination_list = entry->next;
        entry->routine(entry->argument);
        module_free(entry);
    }
    DeleteCriticalSection(&state.class_table_lock);
    DeleteCriticalSection(&state.type_info_lock);
    module_heap_teardown();
    state.usable = false;
}

bool module_usable()
{
    return state.usable;
}

void lock_module()
{
    InterlockedIncrement(&state.lock_count);
}

void unlock_module()
{
    InterlockedDecrement(&state.lock_count);
}

LONG module_lock_count()
{
    return __atomic_load_n(&state.lock_count, __ATOMIC_SEQ_CST);
}

HRESULT register_cleanup(cleanup_routine routine, void *argument)
{
    void *block = module_alloc(sizeof(cleanup_entry));
    if (!block)
        return E_OUTOFMEMORY;
    auto *entry = new (block) cleanup_entry{routine, argument, nullptr};
    EnterCriticalSection(&state.type_info_lock);
    entry->next = state.termination_list;
    state.termination_list = entry;
    LeaveCriticalSection(&state.type_info_lock);
    return S_OK;
}

HINSTANCE module_instance()
{
    return state.instance;
}

HINSTANCE module_resource_instance()
{
    return state.resource_instance;
}

HINSTANCE module_type_library_instance()
{
    return state.type_library_instance;
}

CRITICAL_SECTION &type_info_lock()
{
    return state.type_info_lock;
}

CRITICAL_SECTION &class_table_lock()
{
    return state.class_table_lock;
}

} // namespace morvane
