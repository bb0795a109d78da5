// IMorvane's type information, loaded once per module under the type-information lock,
// the member-name cache, and GetIDsOfNames and Invoke through them.
#include "dispatch.h"

#include "module.h"
#include "module_heap.h"

#include <morvane.h>
#include <morvane_assert.h>

#include <string>

namespace morvane {
namespace {

struct name_entry {
    BSTR name;    // as the type library spells it; null when it could not be read
    LONG length;  // in UTF-16 code units
    DISPID id;
};

// One per module, shared by every tracker object.
struct type_info_holder {
    const IID *iid = &IID_IMorvane;
    const GUID *libid = &LIBID_MORVANELib;
    WORD major = 1;
    WORD minor = 0;
    ITypeInfo *type_info = nullptr; // the ITypeInfo2 view when offered
    name_entry *name_cache = nullptr;
    LONG entry_count = 0;
    // Whether the clean-up is on the termination list: it goes there once per
    // module load, however many loads fail before one succeeds.
    bool cleanup_registered = false;
};

type_info_holder holder;

ITypeInfo *loaded_type_info()
{
    return __atomic_load_n(&holder.type_info, __ATOMIC_ACQUIRE);
}

void build_name_cache(ITypeInfo *info)
{
    TYPEATTR *attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)))
        return;
    LONG count = attr->cFuncs;
    if (count > 0) {
        void *block = module_alloc_n(static_cast<ULONG>(count), sizeof(name_entry));
        if (block) {
            auto *entries = static_cast<name_entry *>(block);
            for (LONG i = 0; i < count; ++i)
                entries[i] = name_entry{nullptr, 0, 0};
            for (LONG i = 0; i < count; ++i) {
                FUNCDESC *func = nullptr;
                if (FAILED(info->GetFuncDesc(static_cast<UINT>(i), &func)))
                    continue;
                BSTR name = nullptr;
                if (SUCCEEDED(info->GetDocumentation(func->memid, &name, nullptr, nullptr,
                                                     nullptr)) && name) {
                    entries[i].name = name;
                    entries[i].length = static_cast<LONG>(SysStringLen(name));
                    entries[i].id = func->memid;
                }
                info->ReleaseFuncDesc(func);
            }
            holder.name_cache = entries;
            holder.entry_count = count;
        }
    }
    info->ReleaseTypeAttr(attr);
}

// Runs at unload from the termination list; safe to run more than once.
void clean_up(void *argument)
{
    auto *h = static_cast<type_info_holder *>(argument);
    if (ITypeInfo *info = h->type_info) {
        h->type_info = nullptr;
        info->Release();
    }
    if (h->name_cache) {
        for (LONG i = h->entry_count - 1; i >= 0; --i)
            SysFreeString(h->name_cache[i].name);
        module_free(h->name_cache);
        h->name_cache = nullptr;
        h->entry_count = 0;
    }
    __atomic_store_n(&h->cleanup_registered, false, __ATOMIC_RELEASE);
}

void register_cleanup_once()
{
    if (__atomic_exchange_n(&holder.cleanup_registered, true, __ATOMIC_ACQ_REL))
        return;
    if (FAILED(register_cleanup(clean_up, &holder)))
        __atomic_store_n(&holder.cleanup_registered, false, __ATOMIC_RELEASE);
}

// The cached dispatch ID of a member name spelled exactly as the type library
// spells it, or nothing.
bool cached_member_id(LPCOLESTR name, DISPID *id)
{
    const LONG length = name ? lstrlenW(name) : 0;
    for (LONG entry = holder.entry_count - 1; entry >= 0; --entry) {
        const name_entry &cached = holder.name_cache[entry];
        if (cached.name && cached.length == length &&
            std::char_traits<OLECHAR>::compare(cached.name, name, static_cast<size_t>(length)) == 0) {
            *id = cached.id;
            return true;
        }
    }
    return false;
}

HRESULT load_type_info(LCID lcid)
{
    if (loaded_type_info())
        return S_OK;
    HRESULT result = E_FAIL;
    EnterCriticalSection(&type_info_lock());
    if (holder.type_info) {
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
                build_name_cache(kept);
                __atomic_store_n(&holder.type_info, kept, __ATOMIC_RELEASE);
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
    // A name cache exists only beside loaded type information, with its entry count.
    MORVANE_ASSERT((holder.name_cache == nullptr) == (holder.entry_count == 0));
    (void)riid;
    if (count > 0 && (!names || !ids))
        return E_POINTER;
    if (count == 0)
        return result;
    // The cache holds member names, which only the first position names; a
    // request with parameter names goes whole to the type information, which
    // resolves them against that member alone.
    if (count == 1 && cached_member_id(names[0], ids))
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
