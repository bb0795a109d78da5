// The class table: one entry per creatable class, ended by an entry whose class
// identifier is null. Morvane has one class, CoMorvane.
#pragma once

#include <windows.h>

namespace morvane {

using instance_creator = HRESULT (*)(IUnknown *outer, REFIID riid, void **object);
using class_object_creator = HRESULT (*)(instance_creator creator, REFIID riid, void **object);
using registration_routine = HRESULT (*)(bool install);
using description_routine = const char *(*)();
using category_routine = const void *(*)();
using start_stop_routine = void (*)(bool starting);

struct class_entry {
    const CLSID *clsid;
    registration_routine update_registry;
    class_object_creator create_class_object;
    instance_creator create_instance;
    IUnknown *class_object; // one counted reference, owned by the entry, once made
    description_routine description;
    category_routine categories;
    start_stop_routine start_stop;
};

class_entry *class_table();

HRESULT get_class_object(REFCLSID clsid, REFIID riid, void **object);
HRESULT can_unload_now();

} // namespace morvane
