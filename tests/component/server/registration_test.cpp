// Self-registration through the module's exports: entries, type library, repetition, failures.
#include "registered_module.h"
#include "registry_tree.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace morvane::test;

namespace {

const std::string class_key = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

bool exists(const std::string &path)
{
    HKEY key = nullptr;
    const bool found = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

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

void expect_unregistered()
{
    for (const std::string &key : {std::string("Morvane.CoMorvane.1"), std::string("Morvane.CoMorvane"), class_key})
        EXPECT_FALSE(exists(key)) << key;
    EXPECT_TRUE(exists("CLSID")) << "the classes' key is never removed";
    EXPECT_FALSE(type_library_registered());
}

class Registration : public ::testing::Test {
protected:
    ScratchRegistry registry;
};

// A path with an apostrophe is registered as it is; a repeated registration replaces the class key.
TEST_F(Registration, RegistersRepeatsAndRemovesExactlyItsEntries)
{
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
        EXPECT_FALSE(exists(class_key + "\\Stale"));
        EXPECT_TRUE(type_library_registered());
    }
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(module.unregister_server(), S_OK) << "removing twice is not an error";
        expect_unregistered();
        EXPECT_TRUE(exists("CLSID\\{11111111-2222-3333-4444-555555555555}"));
    }
}

// Without a type library the entries stay and the failure is returned; then the one beside serves.
TEST_F(Registration, WithoutItsOwnTypeLibraryTheFileBesideItServes)
{
    const std::filesystem::path module_path = registry.folder() / "tracker.component.so";
    std::filesystem::copy_file(SCRIPT_ONLY_MODULE, module_path);
    LoadedModule module(module_path.string());
    EXPECT_TRUE(FAILED(module.register_server()));
    EXPECT_TRUE(exists("Morvane.CoMorvane.1\\CLSID"));
    EXPECT_FALSE(type_library_registered());
    std::filesystem::copy_file(TYPE_LIBRARY_FILE, registry.folder() / "tracker.component.tlb");
    ASSERT_EQ(module.register_server(), S_OK);
    EXPECT_TRUE(type_library_registered());
    EXPECT_EQ(module.unregister_server(), S_OK);
    expect_unregistered();
}

// The roll-back removes keys whichever run wrote them; the type library stays unregistered.
TEST_F(Registration, AFailingScriptIsRolledBackAndRegistersNoTypeLibrary)
{
    ASSERT_EQ(LoadedModule(MORVANE_MODULE_PATH).register_server(), S_OK);
    ASSERT_EQ(UnRegisterTypeLib(LIBID_MORVANELib, 1, 0, 0x0409, SYS_WIN64), S_OK);
    EXPECT_EQ(LoadedModule(FAILING_SCRIPT_MODULE).register_server(), DISP_E_EXCEPTION);
    EXPECT_FALSE(exists("Morvane.CoMorvane.1"));
    EXPECT_FALSE(type_library_registered());
}

} // namespace
