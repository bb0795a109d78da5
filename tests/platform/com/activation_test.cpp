// Activation of in-process servers through a scratch registry: failures, loads and unloads.
#include "../registry/registry_fixture.h"
#include "test_server.h"

#include <dlfcn.h>

#include <atomic>
#include <thread>

namespace {

// Classes of the failure table: the last byte tells them apart.
constexpr CLSID failing_class(BYTE last)
{
    return {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, last}};
}
#define CLASS_KEY_PREFIX "CLSID\\{11111111-2222-3333-4444-55555555550"

const morvane::test::ScratchRegistry registry;

bool is_loaded(const char *path)
{
    void *handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    return handle != nullptr && dlclose(handle) == 0;
}

ITestThing *create_thing()
{
    void *pv = nullptr;
    EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, kTestThingInterface, &pv), S_OK);
    return static_cast<ITestThing *>(pv);
}

// CoCreateInstance or CoGetClassObject; a failure must leave the out location null.
HRESULT activate(bool create, REFCLSID clsid, IUnknown *outer, DWORD context, REFIID iid)
{
    void *pv = &pv;
    const HRESULT hr = create ? CoCreateInstance(clsid, outer, context, iid, &pv)
                              : CoGetClassObject(clsid, context, nullptr, iid, &pv);
    EXPECT_EQ(pv == nullptr, FAILED(hr)) << std::hex << hr;
    if (pv)
        static_cast<IUnknown *>(pv)->Release();
    return hr;
}

class Activation : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::string servers[] = {TEST_SERVER, registry.folder() / "absent.so",
                                       registry.folder() / "notes.so", SERVER_WITHOUT_EXPORT};
        test_support::write_file(servers[2], {'n', 'o', 't', 'e', 's'});
        RegistryTest::set_default("CLSID\\" TEST_THING_CLASS_KEY "\\InprocServer32", TEST_SERVER);
        for (int i = 0; i < 4; ++i)
            RegistryTest::set_default(CLASS_KEY_PREFIX + std::to_string(i + 1) + "}\\InprocServer32", servers[i]);
        RegistryTest::make(HKEY_CLASSES_ROOT, CLASS_KEY_PREFIX "5}");
        RegistryTest::make(HKEY_CLASSES_ROOT, CLASS_KEY_PREFIX "6}\\InprocServer32");
        RegistryTest::set_default(CLASS_KEY_PREFIX "8}\\InprocServer32", "");
    }
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

// Each reason activation can fail, through both calls, with the loader's reason where one is left.
TEST_F(Activation, ReportsWhyAClassCannotBeActivated)
{
    ITestThing *outer = create_thing(); // the server refuses aggregation before using it
    // Class, outer object, context, interface, result, and the last error the loader leaves.
    const std::tuple<CLSID, IUnknown *, DWORD, REFIID, HRESULT, DWORD> cases[] = {
        {failing_class(7), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG, 0}, // no class key
        {failing_class(5), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG, 0}, // no server key
        {failing_class(6), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG, 0}, // no server path
        {failing_class(8), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG, 0}, // an empty one
        {failing_class(2), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, CO_E_DLLNOTFOUND, ERROR_MOD_NOT_FOUND},
        {failing_class(3), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, CO_E_DLLNOTFOUND, ERROR_BAD_FORMAT},
        {failing_class(4), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, CO_E_ERRORINDLL, ERROR_PROC_NOT_FOUND},
        {failing_class(1), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE, 0},
        {kTestThingClass, outer, CLSCTX_INPROC_SERVER, IID_IUnknown, CLASS_E_NOAGGREGATION, 0},
        {kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, E_NOINTERFACE, 0},
        {kTestThingClass, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG, 0},
        {kTestThingClass, nullptr, 0, IID_IUnknown, E_INVALIDARG, 0},
    };
    for (const auto &c : cases) {
        const auto &[clsid, aggregating, context, iid, expected, loader_reason] = c;
        SetLastError(0);
        EXPECT_EQ(activate(true, clsid, aggregating, context, iid), expected) << &c - cases;
        EXPECT_EQ(loader_reason ? GetLastError() : 0, loader_reason) << &c - cases;
        if (!aggregating) {
            EXPECT_EQ(activate(false, clsid, nullptr, context, iid), expected) << &c - cases;
        }
    }
    outer->Release();
    EXPECT_FALSE(is_loaded(SERVER_WITHOUT_EXPORT)) << "a library that is no server is not kept";
    EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown, nullptr), E_INVALIDARG);
}

TEST_F(Activation, FreesALibraryOnlyWhenItCanUnload)
{
    ITestThing *thing = create_thing();
    ASSERT_NE(thing, nullptr);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(is_loaded(TEST_SERVER)) << "a live object keeps its server";

    thing->LockServer(TRUE);
    thing->Release();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(is_loaded(TEST_SERVER)) << "a server lock keeps it";
    thing->LockServer(FALSE); // the server's one object outlives its references
    CoFreeUnusedLibraries();
    EXPECT_FALSE(is_loaded(TEST_SERVER)) << "activation held exactly one load of it";

    thing = create_thing();
    ASSERT_NE(thing, nullptr) << "a freed server is loaded again when needed";
    thing->Release();
}

// Other threads need their own initialisation; only the process's last uninitialisation frees servers.
TEST_F(Activation, OnlyTheLastUninitializeOfTheProcessFreesUnusedLibraries)
{
    create_thing()->Release();
    ASSERT_TRUE(is_loaded(TEST_SERVER));
    std::thread([] {
        EXPECT_EQ(activate(true, kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown), CO_E_NOTINITIALIZED);
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        create_thing()->Release();
        CoUninitialize();
        EXPECT_EQ(activate(false, kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown), CO_E_NOTINITIALIZED);
    }).join();
    EXPECT_TRUE(is_loaded(TEST_SERVER)) << "this thread is still initialised";
}

TEST_F(Activation, ConcurrentFirstActivationsShareOneLoad)
{
    CoFreeUnusedLibraries();
    ASSERT_FALSE(is_loaded(TEST_SERVER));
    std::atomic<bool> go{false};
    std::atomic<int> created{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
            while (!go)
                std::this_thread::yield();
            if (ITestThing *thing = create_thing()) {
                created += thing->Value() == 42;
                thing->Release();
            }
            CoUninitialize();
        });
    go = true;
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(created.load(), 8);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(is_loaded(TEST_SERVER)) << "one unload undoes every activation";
}

} // namespace
