// The aggregate's own IUnknown: creation around an inner tracker, its count, and tear-down.
#include "co_morvane_aggregate.h"

#include "module.h"
#include "module_heap.h"

#include <new>

namespace morvane {

HRESULT co_morvane_aggregate::create(IUnknown *outer, REFIID riid, void **object)
{
    void *block = module_alloc(sizeof(co_morvane_aggregate));
    if (!block)
        return E_OUTOFMEMORY;
    auto *aggregate = new (block) co_morvane_aggregate(outer);
    lock_module();
    HRESULT result = aggregate->inner_.construct();
    if (result == S_OK) {
        result = aggregate->QueryInterface(riid, object);
        if (result == S_OK)
            return S_OK;
    }
    aggregate->teardown();
    return result;
}

HRESULT STDMETHODCALLTYPE co_morvane_aggregate::QueryInterface(REFIID riid, void **object)
{
    if (IsEqualGUID(riid, IID_IUnknown)) {
        if (!object)
            return E_POINTER;
        *object = static_cast<IUnknown *>(this);
        AddRef();
        return S_OK;
    }
    return inner_.query_own_interface(riid, object);
}

ULONG STDMETHODCALLTYPE co_morvane_aggregate::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&count_));
}

ULONG STDMETHODCALLTYPE co_morvane_aggregate::Release()
{
    LONG count = InterlockedDecrement(&count_);
    if (count == 0)
        teardown();
    return static_cast<ULONG>(count);
}

void co_morvane_aggregate::teardown()
{
    count_ = 1;
    inner_.final_release();
    unlock_module();
    inner_.release_marshaler();
    this->~co_morvane_aggregate();
    module_free(this);
}

} // namespace morvane
