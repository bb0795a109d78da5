// Late-bound access to IMorvane: the module's type information, loaded once from
// the registered type library and shared by every tracker object; names and calls
// go to it.
#include "dispatch.h"

#include "module.h"

#include <morvane.h>

#include <atomic>

namespace morvane {
namespace {

// One per module, shared by every tracker object.
struct type_info_holder {
    const IID *iid = &IID_IMorvane;
    const GUID *libid = &LIBID_MORVANELib;
    WORD major = 1;
    WORD minor = 0;
    std::atomic<ITypeInfo *> type_info{nullptr}; // the ITypeInfo2 view when offered
    // Whether the clean-up is on the termination list: it goes there once per
    // module load, however many loads fail before one succeeds.
    std::atomic<bool> cleanup_registered{false};
};

type_info_holder holder;

ITypeInfo *loaded_type_info()
{
    return holder.type_info.load(std::memory_order_acquire);
}

// Runs at unload from the termination list; safe to run more than once.
void clean_up(void *argument)
{
    auto *h = static_cast<type_info_holder *>(argument);
    if (ITypeInfo *info = h->type_info.exchange(nullptr, std::memory_order_acq_rel))
        info->Release();
    h->cleanup_registered.store(false, std::memory_order_release);
}

void register_cleanup_once()
{
    if (holder.cleanup_registered.exchange(true, std::memory_order_acq_rel))
        return;
    if (FAILED(register_cleanup(clean_up, &holder)))
        holder.cleanup_registered.store(false, std::memory_order_release);
}

HRESULT load_type_info(LCID lcid)
{
    if (loaded_type_info())
        return S_OK;
    HRESULT result = E_FAIL;
    EnterCriticalSection(&type_info_lock());
    if (holder.type_info.load(std::memory_order_relaxed)) { // another thread loaded it meanwhile
        result = S_OK;
    } else {
        ITypeLib *library = nullptr;
        result = LoadRegTypeLib(*holder.libid, holder.major, holder.minor, lcid, &library);
        if (SUCCEEDED(result)) {
            ITypeInfo *info = nullptr;
            result = library->GetTypeInfoOfGuid(*holder.iid, &info);
            if (SUCCEEDED(result)) {
                ITypeInfo *kept = info;
                ITypeInfo2 *info2 = nullptr;
                if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void **>(&info2)))) {
                    kept = info2;
                    info->Release();
                }
                holder.type_info.store(kept, std::memory_order_release);
                result = S_OK;
            }
            library->Release();
        }
    }
    LeaveCriticalSection(&type_info_lock());
    register_cleanup_once();
    return result;
}

} // namespace

HRESULT dispatch_type_info_count(UINT *count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT dispatch_type_info(UINT, LCID lcid, ITypeInfo **info)
{
    if (!info)
        return E_POINTER;
    HRESULT result = S_OK;
    if (!loaded_type_info())
        result = load_type_info(lcid);
    *info = loaded_type_info();
    if (*info) {
        (*info)->AddRef();
        return S_OK;
    }
    return result;
}

HRESULT dispatch_ids_of_names(REFIID riid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids)
{
    HRESULT result = S_OK;
    if (!loaded_type_info()) {
        result = load_type_info(lcid);
        if (!loaded_type_info())
            return result;
    }
    (void)riid;
    if (count > 0 && (!names || !ids))
        return E_POINTER;
    if (count == 0)
        return result;
    return loaded_type_info()->GetIDsOfNames(names, count, ids);
}

HRESULT dispatch_invoke(IDispatch *instance, DISPID id, REFIID, LCID lcid, WORD flags,
                        DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception,
                        UINT *arg_error)
{
    if (!loaded_type_info()) {
        HRESULT loaded = load_type_info(lcid);
        if (!loaded_type_info())
            return loaded;
    }
    return loaded_type_info()->Invoke(instance, id, flags, params, result, exception, arg_error);
}

} // namespace morvane
