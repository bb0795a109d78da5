// The module state of a loaded Morvane library: its handle, the lock count that
// decides whether it may be unloaded, the module's locks and the termination list.
#pragma once

#include <windows.h>

namespace morvane {

// A clean-up entry of the termination list, run at unload, newest first.
using cleanup_routine = void (*)(void *argument);

// The load and unload steps, run by the library's entry point.
void module_attach(HINSTANCE instance);
void module_detach();

// False when the load step failed to set the module heaps up; every creation
// then fails with E_OUTOFMEMORY.
bool module_usable();

// Reasons not to unload: live objects, held class objects, LockServer(TRUE).
void lock_module();
void unlock_module();
LONG module_lock_count();

// Adds a clean-up entry at the head of the termination list.
HRESULT register_cleanup(cleanup_routine routine, void *argument);

// The library's own handle (its file, its registration script, its type library).
HINSTANCE module_instance();
HINSTANCE module_resource_instance();
HINSTANCE module_type_library_instance();

// Guards the lazy type-information load and the termination list.
CRITICAL_SECTION &type_info_lock();
// Guards the lazy creation of class objects.
CRITICAL_SECTION &class_table_lock();

} // namespace morvane
