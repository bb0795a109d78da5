// The module's lock count, the class object and object identity, through the
// real exports of the loaded library.
#include "registered_module.h"

#include <gtest/gtest.h>

namespace {

// A client object that aggregates a tracker and counts its own references.
struct outer_object : IUnknown {
    LONG count = 1;
    IUnknown *inner = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (IsEqualGUID(riid, IID_IUnknown)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, object) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++count); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--count); }
};

template <typename T>
T *query(IUnknown *object, REFIID riid)
{
    void *found = nullptr;
    return SUCCEEDED(object->QueryInterface(riid, &found)) ? static_cast<T *>(found) : nullptr;
}

class Lifetime : public ::testing::Test {
protected:
    morvane::test::LoadedModule module{MORVANE_MODULE_PATH};
};

TEST_F(Lifetime, LiveObjectsKeepTheModuleLoaded)
{
    EXPECT_EQ(module.can_unload_now(), S_OK);
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    EXPECT_EQ(module.can_unload_now(), S_FALSE);
    IUnknown *direct = query<IUnknown>(tracker, IID__IMorvane);
    ASSERT_NE(direct, nullptr);
    tracker->Release();
    EXPECT_EQ(module.can_unload_now(), S_FALSE) << "the direct interface still holds the object";
    direct->Release();
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

// The class object is made once and held as one lock; LockServer is neither
// balanced nor bounded; the refusals hand out nothing.
TEST_F(Lifetime, ClassObjectAndServerLocks)
{
    IClassFactory *first = nullptr;
    IClassFactory *second = nullptr;
    ASSERT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, reinterpret_cast<void **>(&first)), S_OK);
    ASSERT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, reinterpret_cast<void **>(&second)), S_OK);
    EXPECT_EQ(first, second) << "the class object is made once per loaded library";
    EXPECT_EQ(module.can_unload_now(), S_FALSE);
    first->Release();
    EXPECT_EQ(module.can_unload_now(), S_FALSE);
    EXPECT_EQ(second->LockServer(TRUE), S_OK);
    EXPECT_EQ(second->LockServer(TRUE), S_OK);
    second->Release();
    EXPECT_EQ(second->LockServer(FALSE), S_OK);
    EXPECT_EQ(module.can_unload_now(), S_FALSE);
    EXPECT_EQ(second->LockServer(FALSE), S_OK);
    EXPECT_EQ(module.can_unload_now(), S_OK);
    EXPECT_EQ(second->LockServer(FALSE), S_OK);
    EXPECT_EQ(module.can_unload_now(), S_FALSE) << "a count of -1 is not 0";
    second->LockServer(TRUE);
    EXPECT_EQ(module.can_unload_now(), S_OK);

    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(module.get_class_object(IID_IMorvane, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void *>(1);
    EXPECT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

TEST_F(Lifetime, StandaloneObjectHasOneIdentity)
{
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    IUnknown *unknown = query<IUnknown>(tracker, IID_IUnknown);
    IDispatch *dispatch = query<IDispatch>(tracker, IID_IDispatch);
    EXPECT_EQ(static_cast<void *>(unknown), static_cast<void *>(tracker));
    EXPECT_EQ(static_cast<void *>(dispatch), static_cast<void *>(tracker));

    auto *errors = query<ISupportErrorInfo>(tracker, IID_ISupportErrorInfo);
    auto *direct = query<_IMorvane>(tracker, IID__IMorvane);
    ASSERT_NE(errors, nullptr);
    ASSERT_NE(direct, nullptr);
    EXPECT_NE(static_cast<void *>(errors), static_cast<void *>(tracker));
    EXPECT_NE(static_cast<void *>(direct), static_cast<void *>(tracker));
    EXPECT_EQ(static_cast<void *>(query<IUnknown>(errors, IID_IUnknown)), static_cast<void *>(tracker));
    EXPECT_EQ(static_cast<void *>(query<IUnknown>(direct, IID_IUnknown)), static_cast<void *>(tracker));
    tracker->Release();
    tracker->Release();

    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IMorvane), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID__IMorvane), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

    // IMarshal is answered by the aggregated free-threaded marshaler, which
    // reports the tracker's identity.
    IUnknown *marshal = query<IUnknown>(tracker, IID_IMarshal);
    ASSERT_NE(marshal, nullptr);
    IUnknown *marshal_identity = query<IUnknown>(marshal, IID_IUnknown);
    EXPECT_EQ(static_cast<void *>(marshal_identity), static_cast<void *>(tracker));
    marshal_identity->Release();
    marshal->Release();

    EXPECT_EQ(query<IUnknown>(tracker, IID_IClassFactory), nullptr);
    EXPECT_EQ(tracker->QueryInterface(IID_IMorvane, nullptr), E_POINTER);

    errors->Release();
    direct->Release();
    dispatch->Release();
    unknown->Release();
    EXPECT_EQ(tracker->Release(), 0u);
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

TEST_F(Lifetime, AggregationDelegatesToTheOuterObject)
{
    IClassFactory *factory = nullptr;
    ASSERT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory,
                                      reinterpret_cast<void **>(&factory)), S_OK);
    outer_object outer;
    void *refused = reinterpret_cast<void *>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IMorvane, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);

    IUnknown *inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void **>(&inner)), S_OK);
    factory->Release();
    ASSERT_NE(inner, nullptr);
    EXPECT_NE(static_cast<void *>(inner), static_cast<void *>(&outer));
    outer.inner = inner;

    IMorvane *tracker = query<IMorvane>(inner, IID_IMorvane);
    ASSERT_NE(tracker, nullptr);
    const LONG before = outer.count;
    tracker->AddRef();
    EXPECT_EQ(outer.count, before + 1);
    tracker->Release();
    EXPECT_EQ(outer.count, before);

    LONG lines = 0;
    EXPECT_EQ(tracker->get_lines(&lines), S_OK);
    EXPECT_EQ(lines, 144);
    tracker->Release(); // the reference the query took, held by the outer object

    EXPECT_EQ(module.can_unload_now(), S_FALSE);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

TEST_F(Lifetime, AnAllocatedObjectReleasesCleanly)
{
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    EXPECT_EQ(tracker->create_morvane(), S_OK);
    EXPECT_EQ(tracker->Release(), 0u);
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

} // namespace
