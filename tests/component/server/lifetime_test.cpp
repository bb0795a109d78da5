// The module's lock count, the class object and object identity, through the loaded library.
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
    IClassFactory *factory()
    {
        void *found = nullptr;
        EXPECT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, &found), S_OK);
        return static_cast<IClassFactory *>(found);
    }

    morvane::test::LoadedModule module{MORVANE_MODULE_PATH};
};

// One class object held as one lock; LockServer is neither balanced nor bounded.
TEST_F(Lifetime, ClassObjectAndServerLocks)
{
    EXPECT_EQ(module.can_unload_now(), S_OK);
    IClassFactory *first = factory(), *second = factory();
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

    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(module.get_class_object(IID_IMorvane, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void *>(1);
    EXPECT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

// Every interface, the marshaler's too, leads to one identity and keeps the module loaded.
TEST_F(Lifetime, StandaloneObjectHasOneIdentity)
{
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    EXPECT_EQ(tracker->create_morvane(), S_OK);
    IUnknown *held[] = {query(tracker, IID_IUnknown), query(tracker, IID_IDispatch),
                        query(tracker, IID_ISupportErrorInfo), query(tracker, IID_IMarshal),
                        query(tracker, IID__IMorvane)};
    EXPECT_EQ(static_cast<void *>(held[1]), static_cast<void *>(tracker));
    for (IUnknown *other : held) {
        ASSERT_NE(other, nullptr);
        IUnknown *identity = query(other, IID_IUnknown);
        EXPECT_EQ(static_cast<void *>(identity), static_cast<void *>(tracker));
        identity->Release();
    }
    EXPECT_EQ(query(tracker, IID_IClassFactory), nullptr);
    EXPECT_EQ(tracker->QueryInterface(IID_IMorvane, nullptr), E_POINTER);
    tracker->Release();
    for (int i = 0; i < 4; ++i)
        held[i]->Release();
    EXPECT_EQ(module.can_unload_now(), S_FALSE) << "the direct interface still holds the object";
    EXPECT_EQ(held[4]->Release(), 0u);
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

TEST_F(Lifetime, AggregationDelegatesToTheOuterObject)
{
    IClassFactory *made = factory();
    CountingUnknown outer;
    IUnknown *inner = nullptr;
    void *refused = reinterpret_cast<void *>(1);
    EXPECT_EQ(made->CreateInstance(&outer, IID_IMorvane, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    ASSERT_EQ(made->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void **>(&inner)), S_OK);
    made->Release();
    EXPECT_NE(static_cast<void *>(inner), static_cast<void *>(&outer));

    IMorvane *tracker = query<IMorvane>(inner, IID_IMorvane);
    ASSERT_NE(tracker, nullptr);
    EXPECT_EQ(outer.references, 2u);
    EXPECT_EQ(static_cast<void *>(query(tracker, IID_IUnknown)), static_cast<void *>(&outer));
    EXPECT_EQ(outer.references, 3u);
    LONG lines = 0;
    EXPECT_EQ(tracker->get_lines(&lines), S_OK);
    EXPECT_EQ(lines, 144);
    tracker->Release();
    tracker->Release();
    EXPECT_EQ(outer.references, 1u);
    EXPECT_EQ(module.can_unload_now(), S_FALSE);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(module.can_unload_now(), S_OK);
}

} // namespace
