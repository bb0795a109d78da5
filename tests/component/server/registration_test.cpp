// Self-registration through the module's exports: the script's entries, the type
// library's registration, repetition, removal, and a path with an apostrophe.
#include "loaded_module.h"
#include "scratch_registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr const char *class_key = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";
constexpr const char *class_name = "CoMorvane Class";
constexpr const char *clsid_text = "{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

std::string value(const char *path, const char *name = nullptr)
{
    return scratch_registry::string_value(HKEY_CLASSES_ROOT, path, name).value_or("<absent>");
}

bool exists(const char *path)
{
    return scratch_registry::key_exists(HKEY_CLASSES_ROOT, path);
}

bool type_library_registered()
{
    ITypeLib *library = nullptr;
    if (FAILED(LoadRegTypeLib(LIBID_MORVANELib, 1, 0, 0x0409, &library)))
        return false;
    library->Release();
    return true;
}

void expect_registered(const std::string &module_path)
{
    EXPECT_EQ(value("Morvane.CoMorvane.1"), class_name);
    EXPECT_EQ(value("Morvane.CoMorvane.1\\CLSID"), clsid_text);
    EXPECT_EQ(value("Morvane.CoMorvane"), class_name);
    EXPECT_EQ(value("Morvane.CoMorvane\\CLSID"), clsid_text);
    EXPECT_EQ(value("Morvane.CoMorvane\\CurVer"), "Morvane.CoMorvane.1");
    const std::string key = class_key;
    EXPECT_EQ(value(key.c_str()), class_name);
    EXPECT_EQ(value((key + "\\ProgID").c_str()), "Morvane.CoMorvane.1");
    EXPECT_EQ(value((key + "\\VersionIndependentProgID").c_str()), "Morvane.CoMorvane");
    EXPECT_TRUE(exists((key + "\\Programmable").c_str()));
    EXPECT_EQ(value((key + "\\InprocServer32").c_str()), module_path);
    EXPECT_EQ(value((key + "\\InprocServer32").c_str(), "ThreadingModel"), "Both");
    EXPECT_EQ(value((key + "\\TypeLib").c_str()), "{CABD0863-DC3C-4E64-A27D-D5B832E8947B}");
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
    scratch_registry registry;
};

TEST_F(Registration, RegistersRepeatsAndRemovesExactlyItsEntries)
{
    scratch_registry::create_key(HKEY_CLASSES_ROOT, "CLSID\\{11111111-2222-3333-4444-555555555555}");
    loaded_module module;
    const std::string path = std::filesystem::canonical(MORVANE_MODULE_PATH).string();

    ASSERT_EQ(module.register_server(), S_OK);
    expect_registered(path);

    // A repeated registration replaces the class key wholesale.
    scratch_registry::create_key(HKEY_CLASSES_ROOT, (std::string(class_key) + "\\Stale").c_str());
    ASSERT_EQ(module.register_server(), S_OK);
    expect_registered(path);
    EXPECT_FALSE(exists((std::string(class_key) + "\\Stale").c_str()));

    EXPECT_EQ(module.unregister_server(), S_OK);
    expect_unregistered();
    EXPECT_TRUE(exists("CLSID\\{11111111-2222-3333-4444-555555555555}"));

    EXPECT_EQ(module.unregister_server(), S_OK) << "removing twice is not an error";
    expect_unregistered();
}

TEST_F(Registration, UnregisteringANeverRegisteredComponentChangesNothing)
{
    scratch_registry::create_key(HKEY_CLASSES_ROOT, "Unrelated\\Key");
    loaded_module module;
    EXPECT_EQ(module.unregister_server(), S_OK);
    EXPECT_TRUE(exists("Unrelated\\Key"));
    EXPECT_FALSE(exists("CLSID")) << "nothing is created by a removal";
}

TEST_F(Registration, APathWithAnApostropheIsRegisteredAsItIs)
{
    const std::filesystem::path folder = registry.folder() / "it's here";
    std::filesystem::create_directories(folder);
    const std::filesystem::path copy = folder / "Morvane.so";
    std::filesystem::copy_file(MORVANE_MODULE_PATH, copy);
    {
        loaded_module module(copy.c_str());
        ASSERT_EQ(module.register_server(), S_OK);
        EXPECT_EQ(value((std::string(class_key) + "\\InprocServer32").c_str()), copy.string());
        EXPECT_EQ(module.unregister_server(), S_OK);
    }
    expect_unregistered();
}

TEST_F(Registration, WithoutItsOwnTypeLibraryTheFileBesideItServes)
{
    const std::filesystem::path module_path = registry.folder() / "tracker.component.so";
    std::filesystem::copy_file(SCRIPT_ONLY_MODULE, module_path);
    loaded_module module(module_path.c_str());

    // Neither the module nor a file beside it holds a type library: the script's
    // entries stay and the loading failure is returned.
    const HRESULT missing = module.register_server();
    EXPECT_TRUE(FAILED(missing));
    EXPECT_EQ(value("Morvane.CoMorvane.1"), class_name);
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
        loaded_module module;
        ASSERT_EQ(module.register_server(), S_OK);
    }
    // Forget the type library so that the failing run's effect on it shows.
    ASSERT_EQ(UnRegisterTypeLib(LIBID_MORVANELib, 1, 0, 0x0409, SYS_WIN64), S_OK);

    loaded_module failing(FAILING_SCRIPT_MODULE);
    EXPECT_EQ(failing.register_server(), DISP_E_EXCEPTION);
    // The roll-back removes the block's keys, whichever run wrote them.
    EXPECT_FALSE(exists("Morvane.CoMorvane.1"));
    EXPECT_FALSE(type_library_registered());
}

} // namespace
