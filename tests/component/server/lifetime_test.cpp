// The module's lock count, the class object and object identity, through the
// real exports of the loaded library.
#include "counting_objects.h"
#include "registered_module.h"

#include <gtest/gtest.h>

namespace {

template <typename T = IUnknown>
T *query(IUnknown *object, REFIID riid)
{
    void *found = nullptr;
    return SUCCEEDED(object->QueryInterface(riid, &found)) ? static_cast<T *>(found) : nullptr;
}

class Lifetime : public ::testing::Test {
protected:
    morvane::test::LoadedModule module{MORVANE_MODULE_PATH};
};

// The class object is made once and held as one lock; LockServer is neither
// balanced nor bounded; the refusals hand out nothing.
TEST_F(Lifetime, ClassObjectAndServerLocks)
{
    IClassFactory *first = nullptr, *second = nullptr;
    EXPECT_EQ(module.can_unload_now(), S_OK);
    ASSERT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, reinterpret_cast<void **>(&first)), S_OK);
    ASSERT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, reinterpret_cast<void **>(&second)), S_OK);
    EXPECT_EQ(first, second);
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

// Every interface leads back to one identity, the free-threaded marshaler's
// included, and the object keeps the module loaded while any is held.
TEST_F(Lifetime, StandaloneObjectHasOneIdentity)
{
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    EXPECT_EQ(module.can_unload_now(), S_FALSE);
    EXPECT_EQ(tracker->create_morvane(), S_OK);
    IUnknown *unknown = query(tracker, IID_IUnknown), *dispatch = query(tracker, IID_IDispatch);
    EXPECT_EQ(static_cast<void *>(unknown), static_cast<void *>(tracker));
    EXPECT_EQ(static_cast<void *>(dispatch), static_cast<void *>(tracker));
    IUnknown *held[] = {query(tracker, IID_ISupportErrorInfo), query(tracker, IID__IMorvane), query(tracker, IID_IMarshal)};
    for (IUnknown *other : held) {
        ASSERT_NE(other, nullptr);
        EXPECT_NE(static_cast<void *>(other), static_cast<void *>(tracker));
        IUnknown *identity = query(other, IID_IUnknown);
        EXPECT_EQ(static_cast<void *>(identity), static_cast<void *>(tracker));
        identity->Release();
    }
    EXPECT_EQ(query(tracker, IID_IClassFactory), nullptr);
    EXPECT_EQ(tracker->QueryInterface(IID_IMorvane, nullptr), E_POINTER);
    dispatch->Release();
    unknown->Release();
    tracker->Release();
    held[0]->Release();
    held[2]->Release();
    EXPECT_EQ(module.can_unload_now(), S_FALSE) << "the direct interface still holds the object";
    EXPECT_EQ(held[1]->Release(), 0u);
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

TEST_F(Lifetime, AggregationDelegatesToTheOuterObject)
{
    IClassFactory *factory = nullptr;
    ASSERT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, reinterpret_cast<void **>(&factory)), S_OK);
    CountingUnknown outer;
    IUnknown *inner = nullptr;
    void *refused = reinterpret_cast<void *>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IMorvane, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void **>(&inner)), S_OK);
    factory->Release();
    EXPECT_NE(static_cast<void *>(inner), static_cast<void *>(&outer));

    IMorvane *tracker = query<IMorvane>(inner, IID_IMorvane);
    ASSERT_NE(tracker, nullptr);
    const ULONG before = outer.references;
    tracker->AddRef();
    EXPECT_EQ(outer.references, before + 1);
    tracker->Release();
    EXPECT_EQ(outer.references, before);
    EXPECT_EQ(static_cast<void *>(query(tracker, IID_IUnknown)), static_cast<void *>(&outer));
    LONG lines = 0;
    EXPECT_EQ(tracker->get_lines(&lines), S_OK);
    EXPECT_EQ(lines, 144);
    tracker->Release();
    EXPECT_EQ(module.can_unload_now(), S_FALSE);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

} // namespace
