// The class object's members: IClassFactory over an instance creator, and the client
// count that keeps the module loaded.
#include "class_factory.h"

#include "module.h"
#include "module_heap.h"

#include <new>

namespace morvane {
namespace {

class class_factory final : public IClassFactory {
public:
    explicit class_factory(instance_creator creator) : creator_(creator)
    {
        InitializeCriticalSection(&lock_);
    }

    void destroy()
    {
        DeleteCriticalSection(&lock_);
        this->~class_factory();
        module_free(this);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory *>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    // The entry's own reference is count 1; any client holding the object
    // (count 2 or more) keeps exactly one module lock.
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        EnterCriticalSection(&lock_);
        LONG count = InterlockedIncrement(&count_);
        if (count == 2)
            lock_module();
        LeaveCriticalSection(&lock_);
        return static_cast<ULONG>(count);
    }

    ULONG STDMETHODCALLTYPE Release() override
    {
        EnterCriticalSection(&lock_);
        LONG count = InterlockedDecrement(&count_);
        LeaveCriticalSection(&lock_);
        if (count == 0)
            destroy();
        else if (count == 1)
            unlock_module();
        return static_cast<ULONG>(count);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer && !IsEqualGUID(riid, IID_IUnknown))
            return CLASS_E_NOAGGREGATION;
        return creator_(outer, riid, object);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            lock_module();
        else
            unlock_module();
        return S_OK;
    }

private:
    ~class_factory() = default;

    LONG count_ = 0;
    CRITICAL_SECTION lock_{};
    instance_creator creator_;
};

} // namespace

HRESULT create_class_factory(instance_creator creator, REFIID riid, void **object)
{
    void *block = module_alloc(sizeof(class_factory));
    if (!block)
        return E_OUTOFMEMORY;
    auto *factory = new (block) class_factory(creator);
    HRESULT result = factory->QueryInterface(riid, object);
    if (result != S_OK)
        factory->destroy();
    return result;
}

} // namespace morvane
