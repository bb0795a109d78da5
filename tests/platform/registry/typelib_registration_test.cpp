// RegisterTypeLib, LoadRegTypeLib and UnRegisterTypeLib with the component's
// compiled type library.
#include "registry_fixture.h"
#include "registry_tree.h"


namespace {

using TypeLibRegistration = RegistryTest;

// MORVANELib {CABD0863-DC3C-4E64-A27D-D5B832E8947B} 1.0, locale 0x409.
const GUID library_id = {0xCABD0863, 0xDC3C, 0x4E64, {0xA2, 0x7D, 0xD5, 0xB8, 0x32, 0xE8, 0x94, 0x7B}};
const char *const library_text = "{CABD0863-DC3C-4E64-A27D-D5B832E8947B}";
const char *const dual_interface = "Interface\\{B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1}";
const char *const plain_interface = "Interface\\{4D861AE9-9CF0-4A2E-AA67-89CD7063B59A}";

std::u16string wide(const std::string &text) { return {text.begin(), text.end()}; }

morvane::test::RegistryTree snapshot() { return morvane::test::registry_tree(HKEY_CLASSES_ROOT); }

class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::filesystem::path &file)
    {
        result_ = LoadTypeLib(wide(file.string()).c_str(), &library_);
    }
    ~LoadedLibrary()
    {
        if (library_ != nullptr)
            library_->Release();
    }
    HRESULT result() const { return result_; }
    ITypeLib *get() const { return library_; }

private:
    ITypeLib *library_ = nullptr;
    HRESULT result_;
};

class TypeLibRoundTrip : public RegistryTest {
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        library_file_ = folder_ / "lib" / "morvane.tlb";
        std::filesystem::create_directories(library_file_.parent_path());
        std::filesystem::copy_file(MORVANE_TYPELIB, library_file_);
    }

    // Registers the copy with its folder as help directory.
    void register_library()
    {
        LoadedLibrary library(library_file_);
        ASSERT_EQ(library.result(), S_OK);
        const std::u16string path = wide(library_file_.string());
        const std::u16string help = wide(library_file_.parent_path().string() + "/");
        ASSERT_EQ(RegisterTypeLib(library.get(), path.c_str(), help.c_str()), S_OK);
    }

    std::string read_default(const std::string &path, const char *name = nullptr)
    {
        Key key;
        if (open(HKEY_CLASSES_ROOT, path.c_str(), key, KEY_READ) != ERROR_SUCCESS)
            return "<no key>";
        LSTATUS status = ERROR_SUCCESS;
        std::vector<BYTE> data = query(key, name, nullptr, &status);
        if (status != ERROR_SUCCESS)
            return "<no value>";
        return std::string(data.begin(), data.end());
    }

    std::filesystem::path library_file_;
};

TEST_F(TypeLibRoundTrip, RegisteringWritesTheLibraryAndItsAutomationInterfaces)
{
    register_library();
    const std::string version = std::string("TypeLib\\") + library_text + "\\1.0";
    using std::string_literals::operator""s;
    EXPECT_EQ(read_default(version), "Morvane 1.0 Type Library\0"s);
    EXPECT_EQ(read_default(version + "\\409\\win64"), library_file_.string() + '\0');
    EXPECT_EQ(read_default(version + "\\FLAGS"), "0\0"s);
    EXPECT_EQ(read_default(version + "\\HELPDIR"), library_file_.parent_path().string() + "/" + '\0');

    EXPECT_EQ(read_default(dual_interface), "IMorvane\0"s);
    EXPECT_EQ(read_default(std::string(dual_interface) + "\\ProxyStubClsid32"),
              "{00020424-0000-0000-C000-000000000046}\0"s);
    EXPECT_EQ(read_default(std::string(dual_interface) + "\\TypeLib"), library_text + "\0"s);
    EXPECT_EQ(read_default(std::string(dual_interface) + "\\TypeLib", "Version"), "1.0\0"s);
    // An interface that is neither dual nor oleautomation needs a proxy of its own.
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, plain_interface));
}

TEST_F(TypeLibRoundTrip, LoadRegTypeLibFindsOnlyACompatibleRegisteredVersion)
{
    register_library();
    const struct {
        GUID library;
        WORD major, minor;
        LCID lcid;
        HRESULT expected;
    } rows[] = {
        {library_id, 1, 0, 0x409, S_OK},
        {library_id, 1, 0, 0x809, S_OK},
        {library_id, 1, 0, 0, S_OK},
        {library_id, 1, 0, LOCALE_USER_DEFAULT, S_OK},
        {library_id, 1, 1, 0, TYPE_E_LIBNOTREGISTERED},
        {library_id, 2, 0, 0, TYPE_E_LIBNOTREGISTERED},
        {GUID_NULL, 1, 0, 0, TYPE_E_LIBNOTREGISTERED},
    };
    for (const auto &row : rows) {
        ITypeLib *library = reinterpret_cast<ITypeLib *>(1);
        ASSERT_EQ(LoadRegTypeLib(row.library, row.major, row.minor, row.lcid, &library), row.expected)
            << row.major << "." << row.minor << " " << row.lcid;
        if (FAILED(row.expected)) {
            EXPECT_EQ(library, nullptr);
            continue;
        }
        TLIBATTR *attr = nullptr;
        ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
        EXPECT_EQ(attr->guid, library_id);
        EXPECT_EQ(attr->wMajorVerNum, 1);
        library->ReleaseTLibAttr(attr);
        library->Release();
    }
    EXPECT_EQ(LoadRegTypeLib(library_id, 1, 0, 0, nullptr), E_INVALIDARG);
}

TEST_F(TypeLibRoundTrip, TheHighestCompatibleMinorVersionAndTheBestLocaleWin)
{
    register_library();
    // Entries as other registrations could leave them: a newer minor version
    // whose file is missing, and a 32-bit entry for another locale.
    const std::string library = std::string("TypeLib\\") + library_text;
    Key newer(create(HKEY_CLASSES_ROOT, (library + "\\1.a\\0\\win64").c_str()));
    ASSERT_EQ(set_string(newer, nullptr, (folder_ / "absent.tlb").string()), ERROR_SUCCESS);
    ITypeLib *found = nullptr;
    EXPECT_NE(LoadRegTypeLib(library_id, 1, 0, 0, &found), S_OK);
    EXPECT_EQ(found, nullptr);
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, (library + "\\1.a").c_str()), ERROR_SUCCESS);

    Key german(create(HKEY_CLASSES_ROOT, (library + "\\1.0\\7\\win32").c_str()));
    ASSERT_EQ(set_string(german, nullptr, (folder_ / "absent.tlb").string()), ERROR_SUCCESS);
    EXPECT_NE(LoadRegTypeLib(library_id, 1, 0, 0x407, &found), S_OK);
    ASSERT_EQ(LoadRegTypeLib(library_id, 1, 0, 0x409, &found), S_OK);
    found->Release();
}

TEST_F(TypeLibRoundTrip, UnregisteringRemovesExactlyWhatRegisteringWrote)
{
    // Neighbours that must survive: another library, another version of this
    // one, another interface, and a class key that names the library.
    make(HKEY_CLASSES_ROOT, "TypeLib\\{11111111-2222-3333-4444-555555555555}\\1.0\\0\\win64");
    Key other_version(create(HKEY_CLASSES_ROOT,
                             (std::string("TypeLib\\") + library_text + "\\2.0").c_str()));
    ASSERT_EQ(set_string(other_version, nullptr, "Morvane 2.0"), ERROR_SUCCESS);
    make(HKEY_CLASSES_ROOT, "Interface\\{11111111-2222-3333-4444-555555555555}\\TypeLib");
    Key class_key(create(HKEY_CLASSES_ROOT,
                         "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\TypeLib"));
    ASSERT_EQ(set_string(class_key, nullptr, library_text), ERROR_SUCCESS);
    const auto before = snapshot();

    register_library();
    EXPECT_NE(snapshot(), before);
    EXPECT_EQ(UnRegisterTypeLib(library_id, 1, 0, 0x409, SYS_WIN64), S_OK);
    EXPECT_EQ(snapshot(), before);

    // Once the other version goes too, the library key goes with it.
    other_version.reset();
    register_library();
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT,
                             (std::string("TypeLib\\") + library_text + "\\2.0").c_str()),
              ERROR_SUCCESS);
    EXPECT_EQ(UnRegisterTypeLib(library_id, 1, 0, 0x409, SYS_WIN64), S_OK);
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, (std::string("TypeLib\\") + library_text).c_str()));
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, dual_interface));
}

TEST_F(TypeLibRoundTrip, UnregisteringOneLocaleKeepsTheVersionForTheOthers)
{
    register_library();
    const std::string version = std::string("TypeLib\\") + library_text + "\\1.0";
    Key neutral(create(HKEY_CLASSES_ROOT, (version + "\\0\\win64").c_str()));
    ASSERT_EQ(set_string(neutral, nullptr, library_file_.string()), ERROR_SUCCESS);

    EXPECT_EQ(UnRegisterTypeLib(library_id, 1, 0, 0x409, SYS_WIN64), S_OK);
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, (version + "\\409").c_str()));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, (version + "\\FLAGS").c_str()));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, (std::string(dual_interface) + "\\TypeLib").c_str()));
    ITypeLib *library = nullptr;
    ASSERT_EQ(LoadRegTypeLib(library_id, 1, 0, 0x409, &library), S_OK);
    library->Release();
}

TEST_F(TypeLibRoundTrip, UnregisteringWhatIsNotRegisteredChangesNothing)
{
    register_library();
    const auto before = snapshot();
    EXPECT_EQ(UnRegisterTypeLib(library_id, 1, 0, 0x407, SYS_WIN64), TYPE_E_REGISTRYACCESS);
    EXPECT_EQ(UnRegisterTypeLib(library_id, 1, 0, 0x409, SYS_WIN32), TYPE_E_REGISTRYACCESS);
    EXPECT_EQ(UnRegisterTypeLib(library_id, 1, 1, 0x409, SYS_WIN64), TYPE_E_REGISTRYACCESS);
    EXPECT_EQ(UnRegisterTypeLib(GUID_NULL, 1, 0, 0x409, SYS_WIN64), TYPE_E_REGISTRYACCESS);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(TypeLibRegistration, ArgumentsAndAnUnusableRegistryAreReported)
{
    EXPECT_EQ(RegisterTypeLib(nullptr, u"/x.tlb", nullptr), E_INVALIDARG);
    LoadedLibrary library(MORVANE_TYPELIB);
    ASSERT_EQ(library.result(), S_OK);
    EXPECT_EQ(RegisterTypeLib(library.get(), nullptr, nullptr), E_INVALIDARG);

    std::filesystem::create_directory(file_);
    MorvaneRegistryReset();
    EXPECT_EQ(RegisterTypeLib(library.get(), u"/x.tlb", nullptr), TYPE_E_REGISTRYACCESS);
    ITypeLib *found = nullptr;
    EXPECT_EQ(LoadRegTypeLib(library_id, 1, 0, 0, &found), TYPE_E_REGISTRYACCESS);
}

} // namespace
