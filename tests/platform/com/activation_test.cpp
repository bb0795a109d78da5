// Activation of in-process servers through the registry: creation by class
// identifier, each reason activation can fail, one load per process, and unloading
// only when the server agrees. The registry is a scratch file of this process.
#include "test_server.h"

#include <windows.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr CLSID kStrangerClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x01}};
constexpr CLSID kMissingFileClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x02}};
constexpr CLSID kNotALibraryClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x03}};
constexpr CLSID kNoExportClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x04}};
constexpr CLSID kNoServerKeyClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x05}};
constexpr CLSID kNoPathClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x06}};
constexpr CLSID kUnregisteredClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x07}};
#define CLASS_KEY(last) "CLSID\\{11111111-2222-3333-4444-5555555555" last "}"

// The scratch registry must be chosen before the runtime first touches the registry.
const fs::path scratch = [] {
    std::string pattern = (fs::temp_directory_path() / "activation-XXXXXX").string();
    const char *made = mkdtemp(pattern.data());
    const fs::path dir = made ? fs::path(made) : fs::temp_directory_path();
    setenv("MORVANE_REGISTRY", (dir / "registry").c_str(), 1);
    return dir;
}();

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

void register_server(const std::string &class_key, const std::string &path)
{
    set_default_value(class_key + "\\InprocServer32", &path);
}

class Registrations : public ::testing::Environment {
public:
    void SetUp() override
    {
        const std::string not_a_library = (scratch / "notes.so").string();
        std::ofstream(not_a_library) << "not a shared library\n";
        register_server("CLSID\\" TEST_THING_CLASS_KEY, TEST_SERVER);
        register_server(CLASS_KEY("01"), TEST_SERVER);
        register_server(CLASS_KEY("02"), (scratch / "absent.so").string());
        register_server(CLASS_KEY("03"), not_a_library);
        register_server(CLASS_KEY("04"), SERVER_WITHOUT_EXPORT);
        set_default_value(CLASS_KEY("05"), nullptr);
        set_default_value(CLASS_KEY("06") "\\InprocServer32", nullptr);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
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

template <typename Body>
void on_new_thread(Body body)
{
    std::thread thread(body);
    thread.join();
}

struct NeverCalled final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override
    {
        ADD_FAILURE();
        return E_NOINTERFACE;
    }
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

TEST_F(Activation, CreatesAnObjectOfARegisteredClass)
{
    ITestThing *thing = create_thing();
    ASSERT_NE(thing, nullptr);
    EXPECT_EQ(thing->Value(), 42);
    EXPECT_TRUE(is_loaded(TEST_SERVER));
    thing->Release();

    void *pv = nullptr;
    ASSERT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_ALL, IID_IUnknown, &pv), S_OK);
    static_cast<IUnknown *>(pv)->Release();
}

TEST_F(Activation, HandsOutTheServersClassObject)
{
    void *first = nullptr;
    void *second = nullptr;
    ASSERT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &first),
              S_OK);
    ASSERT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown, &second), S_OK);
    EXPECT_EQ(first, second);
    void *thing = nullptr;
    ASSERT_EQ(static_cast<IClassFactory *>(first)->CreateInstance(nullptr, kTestThingInterface, &thing), S_OK);
    EXPECT_EQ(static_cast<ITestThing *>(thing)->Value(), 42);
    static_cast<ITestThing *>(thing)->Release();
    static_cast<IUnknown *>(first)->Release();
    static_cast<IUnknown *>(second)->Release();
}

TEST_F(Activation, ReportsWhyAClassCannotBeActivated)
{
    struct Case {
        const CLSID *clsid;
        HRESULT expected;
        DWORD loader_reason; // the last error the loader leaves, 0 where it is not asked
        const char *what;
    };
    const Case cases[] = {
        {&kUnregisteredClass, REGDB_E_CLASSNOTREG, 0, "no class key"},
        {&kNoServerKeyClass, REGDB_E_CLASSNOTREG, 0, "no InprocServer32 key"},
        {&kNoPathClass, REGDB_E_CLASSNOTREG, 0, "no server path"},
        {&kMissingFileClass, CO_E_DLLNOTFOUND, ERROR_MOD_NOT_FOUND, "the file is missing"},
        {&kNotALibraryClass, CO_E_DLLNOTFOUND, ERROR_BAD_FORMAT, "the file is no library"},
        {&kNoExportClass, CO_E_ERRORINDLL, ERROR_PROC_NOT_FOUND, "no DllGetClassObject"},
        {&kStrangerClass, CLASS_E_CLASSNOTAVAILABLE, 0, "the server does not know the class"},
    };
    for (const Case &c : cases) {
        void *pv = &pv;
        SetLastError(0);
        EXPECT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &pv), c.expected)
            << c.what;
        EXPECT_EQ(pv, nullptr) << c.what;
        if (c.loader_reason) {
            EXPECT_EQ(GetLastError(), c.loader_reason) << c.what;
        }
        pv = &pv;
        EXPECT_EQ(CoGetClassObject(*c.clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &pv), c.expected)
            << c.what;
        EXPECT_EQ(pv, nullptr) << c.what;
    }
    EXPECT_FALSE(is_loaded(SERVER_WITHOUT_EXPORT)) << "a library that is no server is not kept";
}

TEST_F(Activation, PassesOnTheServersOwnRefusals)
{
    NeverCalled outer_stand_in; // the server refuses aggregation before using it
    void *pv = &pv;
    EXPECT_EQ(CoCreateInstance(kTestThingClass, &outer_stand_in, CLSCTX_INPROC_SERVER, IID_IUnknown, &pv),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(pv, nullptr);
    pv = &pv;
    EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &pv),
              E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    pv = &pv;
    EXPECT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IDispatch, &pv),
              E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
}

TEST_F(Activation, OnlyInProcessServersAreKnown)
{
    void *pv = &pv;
    EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &pv),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_REMOTE_SERVER | CLSCTX_INPROC_HANDLER, nullptr,
                               IID_IUnknown, &pv),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, 0, IID_IUnknown, &pv), E_INVALIDARG);
    EXPECT_EQ(CoGetClassObject(kTestThingClass, 0, nullptr, IID_IUnknown, &pv), E_INVALIDARG);
    EXPECT_EQ(pv, nullptr);
}

TEST_F(Activation, RejectsNullOutLocations)
{
    EXPECT_EQ(CoCreateInstance(kTestThingClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
              E_POINTER);
    EXPECT_EQ(CoGetClassObject(kTestThingClass, CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown, nullptr),
              E_INVALIDARG);
}

TEST_F(Activation, NeedsAnInitialisedThread)
{
    on_new_thread([] {
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
    });
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
    on_new_thread([] {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    });
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
         [](const std::string &key) { register_server(key, (scratch / "absent.so").string()); }, CO_E_DLLNOTFOUND},
        {"removed",
         [](const std::string &key) {
             EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str()), ERROR_SUCCESS);
         },
         REGDB_E_CLASSNOTREG},
        {"registered again", [](const std::string &key) { register_server(key, TEST_SERVER); }, S_OK},
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
