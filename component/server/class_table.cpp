// The class table (CoMorvane, then the null entry) and what it answers: class objects
// and whether the module may be unloaded.
#include "class_table.h"

#include "class_factory.h"
#include "co_morvane.h"
#include "module.h"
#include "registration.h"

#include <morvane.h>

namespace morvane {
namespace {

const char *no_description()
{
    return nullptr;
}

const void *no_categories()
{
    return nullptr;
}

void no_start_stop(bool) {}

class_entry classes[] = {
    {&CLSID_CoMorvane, update_class_registration, create_class_factory, create_co_morvane, nullptr,
     no_description, no_categories, no_start_stop},
    {&CLSID_NULL, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

} // namespace

class_entry *class_table()
{
    return classes;
}

HRESULT get_class_object(REFCLSID clsid, REFIID riid, void **object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!module_usable())
        return E_OUTOFMEMORY;
    HRESULT result = S_OK;
    for (class_entry *entry = classes; !IsEqualGUID(*entry->clsid, GUID_NULL); ++entry) {
        if (!entry->create_class_object || !IsEqualGUID(*entry->clsid, clsid))
            continue;
        // The slot is tested again under the lock so that the class object is made once.
        if (!__atomic_load_n(&entry->class_object, __ATOMIC_ACQUIRE)) {
            EnterCriticalSection(&class_table_lock());
            if (!entry->class_object) {
                void *made = nullptr;
                result = entry->create_class_object(entry->create_instance, IID_IUnknown, &made);
                __atomic_store_n(&entry->class_object, static_cast<IUnknown *>(made),
                                 __ATOMIC_RELEASE);
            }
            LeaveCriticalSection(&class_table_lock());
        }
        if (IUnknown *cached = __atomic_load_n(&entry->class_object, __ATOMIC_ACQUIRE))
            result = cached->QueryInterface(riid, object);
        break;
    }
    if (!*object && result == S_OK)
        result = CLASS_E_CLASSNOTAVAILABLE;
    return result;
}

HRESULT can_unload_now()
{
    return module_lock_count() == 0 ? S_OK : S_FALSE;
}

} // namespace morvane
