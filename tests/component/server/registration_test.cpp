// Self-registration through the module's exports: the script's entries, the type
// library's registration, repetition, removal, and a path with an apostrophe.
#include "registered_module.h"
#include "registry_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace morvane::test;

namespace {

constexpr const char *class_key = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

bool exists(const std::string &path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void create(const std::string &path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
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

// The script's entries as a whole are checked with the script itself; here,
// what the module adds: its own path and the type library.
std::string server_entry()
{
    return tree_text(registry_tree(HKEY_CLASSES_ROOT, std::string(class_key) + "\\InprocServer32"));
}

void expect_registered(const std::string &module_path)
{
    EXPECT_EQ(server_entry(), " @='" + module_path + "' @ThreadingModel='Both'\n");
    EXPECT_TRUE(exists("Morvane.CoMorvane\\CurVer"));
    EXPECT_TRUE(type_library_registered());
}

void expect_unregistered()
{
    EXPECT_FALSE(exists("Morvane.CoMorvane.1"));
    EXPECT_FALSE(exists("Morvane.CoMorvane"));
    EXPECT_FALSE(exists(class_key));
    EXPECT_TRUE(exists("CLSID")) << "the classes' key is never removed";
    EXPECT_FALSE(type_library_registered());
}

class Registration : public ::testing::Test {
protected:
    ScratchRegistry registry;
};

// From a copy in a folder whose name holds an apostrophe: the path is
// registered as it is.
TEST_F(Registration, RegistersRepeatsAndRemovesExactlyItsEntries)
{
    create("CLSID\\{11111111-2222-3333-4444-555555555555}");
    const std::filesystem::path folder = registry.folder() / "it's here";
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / "Morvane.so";
    std::filesystem::copy_file(MORVANE_MODULE_PATH, path);
    LoadedModule module(path.string());

    ASSERT_EQ(module.register_server(), S_OK);
    expect_registered(path.string());

    // A repeated registration replaces the class key wholesale.
    create(std::string(class_key) + "\\Stale");
    ASSERT_EQ(module.register_server(), S_OK);
    expect_registered(path.string());
    EXPECT_FALSE(exists(std::string(class_key) + "\\Stale"));

    EXPECT_EQ(module.unregister_server(), S_OK);
    expect_unregistered();
    EXPECT_TRUE(exists("CLSID\\{11111111-2222-3333-4444-555555555555}"));

    EXPECT_EQ(module.unregister_server(), S_OK) << "removing twice is not an error";
    expect_unregistered();
}

TEST_F(Registration, UnregisteringANeverRegisteredComponentChangesNothing)
{
    create("Unrelated\\Key");
    LoadedModule module(MORVANE_MODULE_PATH);
    EXPECT_EQ(module.unregister_server(), S_OK);
    EXPECT_TRUE(exists("Unrelated\\Key"));
    EXPECT_FALSE(exists("CLSID")) << "nothing is created by a removal";
}

TEST_F(Registration, WithoutItsOwnTypeLibraryTheFileBesideItServes)
{
    const std::filesystem::path module_path = registry.folder() / "tracker.component.so";
    std::filesystem::copy_file(SCRIPT_ONLY_MODULE, module_path);
    LoadedModule module(module_path.string());

    // Neither the module nor a file beside it holds a type library: the script's
    // entries stay and the loading failure is returned.
    const HRESULT missing = module.register_server();
    EXPECT_TRUE(FAILED(missing));
    EXPECT_TRUE(exists("Morvane.CoMorvane.1\\CLSID"));
    EXPECT_FALSE(type_library_registered());

    // "tracker.component.tlb": the last "." of the path starts the extension.
    std::filesystem::copy_file(TYPE_LIBRARY_FILE, registry.folder() / "tracker.component.tlb");
    ASSERT_EQ(module.register_server(), S_OK);
    EXPECT_TRUE(type_library_registered());
    EXPECT_EQ(module.unregister_server(), S_OK);
    expect_unregistered();
}

TEST_F(Registration, AFailingScriptIsRolledBackAndRegistersNoTypeLibrary)
{
    {
        LoadedModule module(MORVANE_MODULE_PATH);
        ASSERT_EQ(module.register_server(), S_OK);
    }
    // Forget the type library so that the failing run's effect on it shows.
    ASSERT_EQ(UnRegisterTypeLib(LIBID_MORVANELib, 1, 0, 0x0409, SYS_WIN64), S_OK);

    LoadedModule failing(FAILING_SCRIPT_MODULE);
    EXPECT_EQ(failing.register_server(), DISP_E_EXCEPTION);
    // The roll-back removes the block's keys, whichever run wrote them.
    EXPECT_FALSE(exists("Morvane.CoMorvane.1"));
    EXPECT_FALSE(type_library_registered());
}

} // namespace
