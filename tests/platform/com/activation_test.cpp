// Activation of in-process servers through the registry: creation by class
// identifier, each reason activation can fail, one load per process, and unloading
// only when the server agrees. The registry is a scratch file of this process.
#include "scratch_folder.h"
#include "test_server.h"

#include <windows.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// Classes of the failure table: the last byte tells them apart.
constexpr CLSID failing_class(BYTE last)
{
    return {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, last}};
}
#define CLASS_KEY_PREFIX "CLSID\\{11111111-2222-3333-4444-55555555550"

const test_support::ScratchFolder scratch;

void set_default_value(const std::string &key_name, const std::string *value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key_name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << key_name;
    if (value) {
        EXPECT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value->c_str()),
                                 static_cast<DWORD>(value->size() + 1)),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

class Registrations : public ::testing::Environment {
public:
    // The scratch registry is chosen before the runtime first touches the registry.
    void SetUp() override
    {
        setenv("MORVANE_REGISTRY", scratch.file("registry").c_str(), 1);
        const std::string servers[] = {TEST_SERVER, scratch.file("absent.so"),
                                       scratch.write("notes.so", {'n', 'o', 't', 'e', 's'}).string(),
                                       SERVER_WITHOUT_EXPORT};
        set_default_value("CLSID\\" TEST_THING_CLASS_KEY "\\InprocServer32", &servers[0]);
        for (int i = 0; i < 4; ++i)
            set_default_value(CLASS_KEY_PREFIX + std::to_string(i + 1) + "}\\InprocServer32", &servers[i]);
        set_default_value(CLASS_KEY_PREFIX "5}", nullptr);
        set_default_value(CLASS_KEY_PREFIX "6}\\InprocServer32", nullptr);
    }
};
const auto *registrations = ::testing::AddGlobalTestEnvironment(new Registrations);

bool is_loaded(const char *path)
{
    void *handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

struct NeverCalled final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return ADD_FAILURE(), E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ADD_FAILURE(), 1; }
    ULONG STDMETHODCALLTYPE Release() override { return ADD_FAILURE(), 1; }
};

class Activation : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    void TearDown() override { CoUninitialize(); }

    static ITestThing *create_thing()
    {
        void *pv = nullptr;
        EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, kTestThingInterface, &pv),
                  S_OK);
        return static_cast<ITestThing *>(pv);
    }
};

TEST_F(Activation, CreatesObjectsAndHandsOutTheServersClassObject)
{
    ITestThing *thing = create_thing();
    ASSERT_NE(thing, nullptr);
    EXPECT_EQ(thing->Value(), 42);
    thing->Release();
    void *first = nullptr, *second = nullptr, *made = nullptr;
    ASSERT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &first), S_OK);
    ASSERT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_ALL, nullptr, IID_IUnknown, &second), S_OK);
    EXPECT_EQ(first, second);
    ASSERT_EQ(static_cast<IClassFactory *>(first)->CreateInstance(nullptr, kTestThingInterface, &made), S_OK);
    EXPECT_EQ(static_cast<ITestThing *>(made)->Value(), 42);
    static_cast<ITestThing *>(made)->Release();
    static_cast<IUnknown *>(first)->Release();
    static_cast<IUnknown *>(second)->Release();
}

TEST_F(Activation, ReportsWhyAClassCannotBeActivated)
{
    struct Case {
        BYTE last;
        HRESULT expected;
        DWORD loader_reason; // the last error the loader leaves, 0 where it is not asked
        const char *what;
    };
    const Case cases[] = {
        {7, REGDB_E_CLASSNOTREG, 0, "no class key"},
        {5, REGDB_E_CLASSNOTREG, 0, "no InprocServer32 key"},
        {6, REGDB_E_CLASSNOTREG, 0, "no server path"},
        {2, CO_E_DLLNOTFOUND, ERROR_MOD_NOT_FOUND, "the file is missing"},
        {3, CO_E_DLLNOTFOUND, ERROR_BAD_FORMAT, "the file is no library"},
        {4, CO_E_ERRORINDLL, ERROR_PROC_NOT_FOUND, "no DllGetClassObject"},
        {1, CLASS_E_CLASSNOTAVAILABLE, 0, "the server does not know the class"},
    };
    for (const Case &c : cases) {
        void *pv = &pv;
        SetLastError(0);
        EXPECT_EQ(CoCreateInstance(failing_class(c.last), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &pv), c.expected)
            << c.what;
        EXPECT_EQ(pv, nullptr) << c.what;
        if (c.loader_reason) {
            EXPECT_EQ(GetLastError(), c.loader_reason) << c.what;
        }
        pv = &pv;
        EXPECT_EQ(CoGetClassObject(failing_class(c.last), CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &pv),
                  c.expected)
            << c.what;
        EXPECT_EQ(pv, nullptr) << c.what;
    }
    EXPECT_FALSE(is_loaded(SERVER_WITHOUT_EXPORT)) << "a library that is no server is not kept";
}

TEST_F(Activation, PassesOnTheServersRefusalsAndRefusesOtherContextsAndNullOutLocations)
{
    NeverCalled outer_stand_in; // the server refuses aggregation before using it
    const struct {
        IUnknown *outer;
        DWORD context;
        REFIID iid;
        HRESULT expected;
    } cases[] = {
        {&outer_stand_in, CLSCTX_INPROC_SERVER, IID_IUnknown, CLASS_E_NOAGGREGATION},
        {nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, E_NOINTERFACE},
        {nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, REGDB_E_CLASSNOTREG},
        {nullptr, CLSCTX_REMOTE_SERVER | CLSCTX_INPROC_HANDLER, IID_IUnknown, REGDB_E_CLASSNOTREG},
        {nullptr, 0, IID_IUnknown, E_INVALIDARG},
    };
    for (const auto &c : cases) {
        void *pv = &pv;
        EXPECT_EQ(CoCreateInstance(kTestThingClass, c.outer, c.context, c.iid, &pv), c.expected);
        EXPECT_EQ(pv, nullptr);
        if (c.outer == nullptr) {
            pv = &pv;
            EXPECT_EQ(CoGetClassObject(kTestThingClass, c.context, nullptr, c.iid, &pv), c.expected);
            EXPECT_EQ(pv, nullptr);
        }
    }
    EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
              E_POINTER);
    EXPECT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown, nullptr),
              E_INVALIDARG);
}

TEST_F(Activation, NeedsAnInitialisedThread)
{
    std::thread([] {
        void *pv = &pv;
        EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &pv),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(pv, nullptr);
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &pv), S_OK);
        static_cast<IUnknown *>(pv)->Release();
        CoUninitialize();
        EXPECT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown, &pv),
                  CO_E_NOTINITIALIZED);
    }).join();
}

TEST_F(Activation, FreesALibraryOnlyWhenItCanUnload)
{
    ITestThing *thing = create_thing();
    ASSERT_NE(thing, nullptr);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(is_loaded(TEST_SERVER)) << "a live object keeps its server";

    void *factory = nullptr;
    ASSERT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &factory),
              S_OK);
    static_cast<IClassFactory *>(factory)->LockServer(TRUE);
    static_cast<IClassFactory *>(factory)->Release();
    thing->Release();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(is_loaded(TEST_SERVER)) << "a server lock keeps it";

    // Lock and unlock need the class object, which keeps the server loaded meanwhile.
    ASSERT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &factory),
              S_OK);
    static_cast<IClassFactory *>(factory)->LockServer(FALSE);
    static_cast<IClassFactory *>(factory)->Release();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(is_loaded(TEST_SERVER)) << "activation held exactly one load of it";

    thing = create_thing();
    ASSERT_NE(thing, nullptr) << "a freed server is loaded again when needed";
    EXPECT_EQ(thing->Value(), 42);
    thing->Release();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(is_loaded(TEST_SERVER));
}

TEST_F(Activation, LastUninitializeOfTheProcessFreesUnusedLibraries)
{
    create_thing()->Release();
    ASSERT_TRUE(is_loaded(TEST_SERVER));
    std::thread([] {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    }).join();
    EXPECT_TRUE(is_loaded(TEST_SERVER)) << "this thread is still initialised";

    CoUninitialize();
    EXPECT_FALSE(is_loaded(TEST_SERVER));
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); // for TearDown
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
            void *pv = nullptr;
            if (CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, kTestThingInterface, &pv) == S_OK &&
                static_cast<ITestThing *>(pv)->Value() == 42)
                ++created;
            if (pv)
                static_cast<ITestThing *>(pv)->Release();
            CoUninitialize();
        });
    go = true;
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(created.load(), 8);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(is_loaded(TEST_SERVER)) << "one unload undoes every activation";
}

// Activation keeps where a class's server lives; a change of the class's entries
// made by this process is seen by the very next activation.
TEST_F(Activation, FollowsChangesOfTheServerEntry)
{
    const std::string class_key = "CLSID\\" TEST_THING_CLASS_KEY;
    struct Step {
        const char *what;
        void (*change)(const std::string &class_key);
        HRESULT expected;
    };
    const Step steps[] = {
        {"registered", [](const std::string &) {}, S_OK},
        {"moved to a missing file",
         [](const std::string &key) {
             const std::string absent = scratch.file("absent.so");
             set_default_value(key + "\\InprocServer32", &absent);
         },
         CO_E_DLLNOTFOUND},
        {"removed",
         [](const std::string &key) {
             EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str()), ERROR_SUCCESS);
         },
         REGDB_E_CLASSNOTREG},
        {"registered again",
         [](const std::string &key) {
             const std::string server = TEST_SERVER;
             set_default_value(key + "\\InprocServer32", &server);
         },
         S_OK},
    };
    for (const Step &step : steps) {
        step.change(class_key);
        void *pv = &pv;
        EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &pv),
                  step.expected)
            << step.what;
        if (pv)
            static_cast<IUnknown *>(pv)->Release();
    }
}

} // namespace
