// The module's exports as a client uses them: locks, identity, self-registration, late binding.
#include "counting_objects.h"
#include "registered_module.h"
#include "registry_tree.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <filesystem>
#include <string>
#include <vector>

// Present in a sanitizer's runtime, which keeps its own count of held memory.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

using namespace morvane::test;

namespace {

IUnknown *query(IUnknown *from, REFIID riid)
{
    void *found = nullptr;
    return SUCCEEDED(from->QueryInterface(riid, &found)) ? static_cast<IUnknown *>(found) : nullptr;
}

class Lifetime : public ::testing::Test {
protected:
    IClassFactory *factory()
    {
        void *found = nullptr;
        EXPECT_EQ(module.get_class_object(CLSID_CoMorvane, IID_IClassFactory, &found), S_OK);
        return static_cast<IClassFactory *>(found);
    }

    LoadedModule module{MORVANE_MODULE_PATH};
};

// One class object held as one lock; LockServer is neither balanced nor bounded.
TEST_F(Lifetime, ClassObjectAndServerLocks)
{
    EXPECT_EQ(module.can_unload_now(), S_OK);
    IClassFactory *first = factory(), *second = factory();
    EXPECT_EQ(first, second);
    first->Release();
    EXPECT_EQ(module.can_unload_now(), S_FALSE);
    second->Release();
    // Each call, and whether the module may then unload: a count of -1 is not 0.
    const std::pair<BOOL, HRESULT> locks[] = {{TRUE, S_FALSE}, {TRUE, S_FALSE}, {FALSE, S_FALSE},
                                              {FALSE, S_OK},   {FALSE, S_FALSE}, {TRUE, S_OK}};
    for (const auto &step : locks) {
        EXPECT_EQ(second->LockServer(step.first), S_OK);
        EXPECT_EQ(module.can_unload_now(), step.second) << "step " << &step - locks;
    }

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

    auto *tracker = static_cast<IMorvane *>(query(inner, IID_IMorvane));
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

const std::string class_key = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

void create(const std::string &path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool type_library_registered()
{
    ITypeLib *library = nullptr;
    if (FAILED(LoadRegTypeLib(LIBID_MORVANELib, 1, 0, 0x0409, &library)))
        return false;
    library->Release();
    return true;
}

// HKEY_CLASSES_ROOT as text: after unregistering, only the shared parent keys stay.
std::string classes_root() { return tree_text(registry_tree(HKEY_CLASSES_ROOT)); }

// A path with an apostrophe is registered as it is; a repeated registration replaces the class key.
TEST(Registration, RegistersRepeatsAndRemovesExactlyItsEntries)
{
    ScratchRegistry registry;
    create("CLSID\\{11111111-2222-3333-4444-555555555555}");
    const std::filesystem::path path = registry.folder() / "it's here" / "Morvane.so";
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::copy_file(MORVANE_MODULE_PATH, path);
    LoadedModule module(path.string());
    for (int round = 0; round < 2; ++round) {
        create(class_key + "\\Stale");
        ASSERT_EQ(module.register_server(), S_OK);
        EXPECT_EQ(tree_text(registry_tree(HKEY_CLASSES_ROOT, class_key)),
                  " @='CoMorvane Class'\nInprocServer32 @='" + path.string() + "' @ThreadingModel='Both'\n"
                  "ProgID @='Morvane.CoMorvane.1'\nProgrammable\nTypeLib @='{CABD0863-DC3C-4E64-A27D-D5B832E8947B}'\n"
                  "VersionIndependentProgID @='Morvane.CoMorvane'\n");
        EXPECT_EQ(tree_text(registry_tree(HKEY_CLASSES_ROOT, "Morvane.CoMorvane")) + "|" +
                      tree_text(registry_tree(HKEY_CLASSES_ROOT, "Morvane.CoMorvane.1")),
                  " @='CoMorvane Class'\nCLSID @='{0200236D-46C7-4C75-A2A1-8FEFAF32B081}'\n"
                  "CurVer @='Morvane.CoMorvane.1'\n| @='CoMorvane Class'\n"
                  "CLSID @='{0200236D-46C7-4C75-A2A1-8FEFAF32B081}'\n");
        EXPECT_TRUE(type_library_registered());
    }
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(module.unregister_server(), S_OK) << "removing twice is not an error";
        EXPECT_EQ(classes_root(), "CLSID\nCLSID\\{11111111-2222-3333-4444-555555555555}\nInterface\nTypeLib\n");
    }
}

// A failing script's result is returned and no type library registered; without a type library
// the entries stay and the failure is returned; then the one beside serves.
TEST(Registration, WithoutItsOwnTypeLibraryTheFileBesideItServes)
{
    ScratchRegistry registry;
    EXPECT_EQ(LoadedModule(FAILING_SCRIPT_MODULE).register_server(), DISP_E_EXCEPTION);
    EXPECT_FALSE(type_library_registered());
    const std::filesystem::path module_path = registry.folder() / "tracker.component.so";
    std::filesystem::copy_file(SCRIPT_ONLY_MODULE, module_path);
    LoadedModule module(module_path.string());
    EXPECT_TRUE(FAILED(module.register_server()));
    EXPECT_FALSE(registry_tree(HKEY_CLASSES_ROOT, "Morvane.CoMorvane.1\\CLSID").empty());
    EXPECT_FALSE(type_library_registered());
    std::filesystem::copy_file(TYPE_LIBRARY_FILE, registry.folder() / "tracker.component.tlb");
    ASSERT_EQ(module.register_server(), S_OK);
    EXPECT_TRUE(type_library_registered());
    EXPECT_EQ(module.unregister_server(), S_OK);
    EXPECT_EQ(classes_root(), "CLSID\nInterface\nTypeLib\n");
}

// The IDs a look-up gave, or its failure code alone.
std::vector<DISPID> look_up(IDispatch *dispatch, std::vector<const OLECHAR *> names)
{
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR *>(names.data()),
                                               UINT(names.size()), 0x0409, ids.data());
    return SUCCEEDED(hr) ? ids : std::vector<DISPID>{hr};
}

// Names resolve through the type information (its matching rules are the type library test's).
TEST(Dispatch, NamesResolveThroughTheTypeInformation)
{
    RegisteredModule registered{MORVANE_MODULE_PATH};
    ASSERT_EQ(registered.registration(), S_OK);
    IMorvane *tracker = registered.module().create_tracker();
    ASSERT_NE(tracker, nullptr);
    const std::pair<std::vector<const OLECHAR *>, std::vector<DISPID>> rows[] = {
        {{u"Track_Corners", u"features", u"IMGA"}, {4, 2, 0}}, {{u"track_corners", u"lines"}, {DISP_E_UNKNOWNNAME}}};
    for (const auto &[request, expected] : rows)
        EXPECT_EQ(look_up(tracker, request), expected) << testing::PrintToString(request[0]);
    EXPECT_EQ(tracker->GetIDsOfNames(IID_NULL, nullptr, 1, 0x0409, nullptr), E_POINTER);
    ITypeInfo *info = nullptr;
    ASSERT_EQ(tracker->GetTypeInfo(7, 0x0409, &info), S_OK) << "one type information for every index";
    info->Release();
    EXPECT_EQ(tracker->GetTypeInfo(0, 0x0409, nullptr), E_POINTER);
    tracker->Release();
}

std::size_t allocated_bytes()
{
    return __sanitizer_get_current_allocated_bytes ? __sanitizer_get_current_allocated_bytes() : mallinfo2().uordblks;
}

// Every call retries the load and fails alike without holding more memory; the table still works.
TEST(DispatchUnregistered, FailsWhileTheTableStillWorks)
{
    ScratchRegistry registry;
    LoadedModule module(MORVANE_MODULE_PATH);
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    ITypeInfo *info = reinterpret_cast<ITypeInfo *>(1);
    EXPECT_EQ(tracker->GetTypeInfo(0, 0x0409, &info), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(info, nullptr);
    ASSERT_EQ(look_up(tracker, {u"lines"}), std::vector<DISPID>{TYPE_E_LIBNOTREGISTERED});
    const std::size_t before = allocated_bytes();
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(look_up(tracker, {u"lines"}), std::vector<DISPID>{TYPE_E_LIBNOTREGISTERED});
    // 20000 kept entries of even 16 bytes would hold 320 kB.
    EXPECT_LT(allocated_bytes(), before + 64 * 1024);
    EXPECT_EQ(tracker->create_morvane(), S_OK);
    EXPECT_EQ(tracker->Release(), 0u);
}

} // namespace
