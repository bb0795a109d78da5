// ProgIDs and type library registration through the entries under HKEY_CLASSES_ROOT.
#include "registry_fixture.h"
#include "registry_tree.h"

#include <morvane.h>
#include <objbase.h>

namespace {

const char *const class_text = "{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";
const GUID &library_id = LIBID_MORVANELib;
const std::string library_key = "TypeLib\\{CABD0863-DC3C-4E64-A27D-D5B832E8947B}";

std::u16string wide(const std::string &text) { return {text.begin(), text.end()}; }
morvane::test::RegistryTree snapshot() { return morvane::test::registry_tree(HKEY_CLASSES_ROOT); }

// The result and the ProgID text (empty on failure, when the result must be null).
std::pair<HRESULT, std::u16string> progid_of(REFCLSID clsid)
{
    LPOLESTR progid = reinterpret_cast<LPOLESTR>(1);
    const HRESULT hr = ProgIDFromCLSID(clsid, &progid);
    std::u16string text(progid != nullptr && SUCCEEDED(hr) ? progid : u"");
    EXPECT_EQ(progid == nullptr, FAILED(hr));
    CoTaskMemFree(SUCCEEDED(hr) ? progid : nullptr);
    return {hr, text};
}

class ClassRoot : public RegistryTest {
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        std::filesystem::create_directories(library_file_.parent_path());
        std::filesystem::copy_file(MORVANE_TYPELIB, library_file_);
        ASSERT_EQ(LoadTypeLib(wide(library_file_.string()).c_str(), &library_), S_OK);
    }
    void TearDown() override { library_ != nullptr ? void(library_->Release()) : void(); }
    HRESULT register_library() { return RegisterTypeLib(library_, wide(library_file_.string()).c_str(), wide(folder_.string() + "/lib/").c_str()); }
    const std::filesystem::path library_file_ = folder_ / "lib" / "morvane.tlb";
    ITypeLib *library_ = nullptr;
};

// Key names in any case, a value without its terminator; a ProgID path reaching another key's
// CLSID entry is no ProgID.
TEST_F(ClassRoot, ProgIdsFollowTheEntriesBothWaysWithoutRegardToCase)
{
    make(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + class_text).c_str());
    EXPECT_EQ(progid_of(CLSID_CoMorvane).first, REGDB_E_CLASSNOTREG) << "a class key without a ProgID entry";
    set_default(std::string("CLSID\\") + class_text + "\\ProgID", "");
    EXPECT_EQ(progid_of(CLSID_CoMorvane).first, REGDB_E_CLASSNOTREG) << "an empty ProgID entry";
    Key key(create(HKEY_CLASSES_ROOT, (std::string("clsid\\") + class_text + "\\progid").c_str()));
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>("Caf\xc3\xa9.X"), 7), 0);
    EXPECT_EQ(progid_of(CLSID_CoMorvane), std::make_pair(S_OK, std::u16string(u"Caf\u00e9.X")));

    set_default("Caf\xc3\xa9.X\\CLSID", class_text);
    set_default("Bad\\CLSID", "not a class identifier");
    set_default("Outer\\Inner\\CLSID", class_text);
    const std::pair<const char16_t *, HRESULT> lookups[] = {
        {u"Caf\u00e9.X", S_OK}, {u"CAF\u00e9.x", S_OK}, {u"Morvane.Absent", REGDB_E_CLASSNOTREG},
        {u"Bad", CO_E_CLASSSTRING}, {u"Outer\\Inner", CO_E_CLASSSTRING}, {u"", CO_E_CLASSSTRING},
    };
    for (const auto &[progid, expected] : lookups) {
        CLSID found = CLSID_CoMorvane;
        EXPECT_EQ(CLSIDFromProgID(progid, &found), expected) << std::string(progid, progid + std::char_traits<char16_t>::length(progid));
        EXPECT_EQ(found, SUCCEEDED(expected) ? CLSID_CoMorvane : CLSID_NULL) << "a failed lookup clears its result";
    }
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE *>("\5\0\0\0"), 4), 0);
    EXPECT_EQ(progid_of(CLSID_CoMorvane).first, REGDB_E_INVALIDVALUE);
}

// Only the dual interface is written: one neither dual nor oleautomation needs no proxy.
TEST_F(ClassRoot, RegisteringATypeLibraryWritesItAndItsAutomationInterfaces)
{
    ASSERT_EQ(register_library(), S_OK);
    std::string text = morvane::test::tree_text(snapshot());
    for (std::size_t at; (at = text.find(folder_.string())) != std::string::npos;)
        text.replace(at, folder_.string().size(), "<folder>");
    EXPECT_EQ(text, "Interface\n"
                    "Interface\\{B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1} @='IMorvane'\n"
                    "Interface\\{B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1}\\ProxyStubClsid @='{00020424-0000-0000-C000-000000000046}'\n"
                    "Interface\\{B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1}\\ProxyStubClsid32 @='{00020424-0000-0000-C000-000000000046}'\n"
                    "Interface\\{B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1}\\TypeLib @='{CABD0863-DC3C-4E64-A27D-D5B832E8947B}' @Version='1.0'\n"
                    "TypeLib\n"
                    "TypeLib\\{CABD0863-DC3C-4E64-A27D-D5B832E8947B}\n"
                    "TypeLib\\{CABD0863-DC3C-4E64-A27D-D5B832E8947B}\\1.0 @='Morvane 1.0 Type Library'\n"
                    "TypeLib\\{CABD0863-DC3C-4E64-A27D-D5B832E8947B}\\1.0\\409\n"
                    "TypeLib\\{CABD0863-DC3C-4E64-A27D-D5B832E8947B}\\1.0\\409\\win64 @='<folder>/lib/morvane.tlb'\n"
                    "TypeLib\\{CABD0863-DC3C-4E64-A27D-D5B832E8947B}\\1.0\\FLAGS @='0'\n"
                    "TypeLib\\{CABD0863-DC3C-4E64-A27D-D5B832E8947B}\\1.0\\HELPDIR @='<folder>/lib/'\n");
}

// A newer minor version wins even without its file, as does a 32-bit entry for the locale.
TEST_F(ClassRoot, LoadRegTypeLibFindsOnlyTheBestCompatibleRegisteredVersion)
{
    ASSERT_EQ(register_library(), S_OK);
    const std::tuple<GUID, WORD, WORD, LCID, HRESULT> rows[] = {
        {library_id, 1, 0, 0x409, S_OK}, {library_id, 1, 0, 0x809, S_OK}, {library_id, 1, 0, 0, S_OK},
        {library_id, 1, 0, LOCALE_USER_DEFAULT, S_OK}, {library_id, 1, 1, 0, TYPE_E_LIBNOTREGISTERED},
        {library_id, 2, 0, 0, TYPE_E_LIBNOTREGISTERED}, {GUID_NULL, 1, 0, 0, TYPE_E_LIBNOTREGISTERED},
    };
    for (const auto &[guid, major, minor, lcid, expected] : rows) {
        ITypeLib *library = reinterpret_cast<ITypeLib *>(1);
        ASSERT_EQ(LoadRegTypeLib(guid, major, minor, lcid, &library), expected) << major << "." << minor << " " << lcid;
        EXPECT_EQ(library == nullptr, FAILED(expected));
        if (library != nullptr)
            library->Release();
    }
    ITypeLib *found = nullptr;
    ASSERT_EQ(set_string(Key(create(HKEY_CLASSES_ROOT, (library_key + "\\1.a\\0\\win64").c_str())), nullptr, "/absent.tlb"), 0);
    EXPECT_NE(LoadRegTypeLib(library_id, 1, 0, 0, &found), S_OK);
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, (library_key + "\\1.a").c_str()), ERROR_SUCCESS);
    ASSERT_EQ(set_string(Key(create(HKEY_CLASSES_ROOT, (library_key + "\\1.0\\7\\win32").c_str())), nullptr, "/absent.tlb"), 0);
    EXPECT_NE(LoadRegTypeLib(library_id, 1, 0, 0x407, &found), S_OK);
    ASSERT_EQ(LoadRegTypeLib(library_id, 1, 0, 0x409, &found), S_OK);
    found->Release();
}

// Neighbours stay (another library, version, interface, a class naming the library); what is not
// registered is refused; another locale's entry keeps the version.
TEST_F(ClassRoot, UnregisteringATypeLibraryRemovesExactlyWhatRegisteringWrote)
{
    make(HKEY_CLASSES_ROOT, "TypeLib\\{11111111-2222-3333-4444-555555555555}\\1.0\\0\\win64");
    make(HKEY_CLASSES_ROOT, (library_key + "\\2.0").c_str());
    make(HKEY_CLASSES_ROOT, "Interface\\{11111111-2222-3333-4444-555555555555}\\TypeLib");
    set_default(std::string("CLSID\\") + class_text + "\\TypeLib", "{CABD0863-DC3C-4E64-A27D-D5B832E8947B}");
    const auto before = snapshot();
    ASSERT_EQ(register_library(), S_OK);
    const auto registered = snapshot();
    for (const auto &[guid, minor, lcid, system] : {std::tuple{library_id, 0, 0x407, SYS_WIN64}, {library_id, 0, 0x409, SYS_WIN32},
                                                    {library_id, 1, 0x409, SYS_WIN64}, {GUID_NULL, 0, 0x409, SYS_WIN64}})
        EXPECT_EQ(UnRegisterTypeLib(guid, 1, WORD(minor), LCID(lcid), system), TYPE_E_REGISTRYACCESS) << minor << " " << lcid;
    EXPECT_EQ(UnRegisterTypeLib(library_id, 1, 0, 0x409, SYSKIND(7)), E_INVALIDARG); // no such platform
    EXPECT_EQ(snapshot(), registered);
    EXPECT_EQ(UnRegisterTypeLib(library_id, 1, 0, 0x409, SYS_WIN64), S_OK);
    EXPECT_EQ(snapshot(), before);

    ASSERT_EQ(register_library(), S_OK);
    set_default(library_key + "\\1.0\\0\\win64", library_file_.string());
    EXPECT_EQ(UnRegisterTypeLib(library_id, 1, 0, 0x409, SYS_WIN64), S_OK);
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, (library_key + "\\1.0\\409").c_str()));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, (library_key + "\\1.0\\FLAGS").c_str()));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "Interface\\{B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1}\\TypeLib"));
}

TEST_F(ClassRoot, MissingArgumentsAndAnUnusableRegistryAreReported)
{
    CLSID found{};
    ITypeLib *library = nullptr;
    EXPECT_EQ(ProgIDFromCLSID(CLSID_CoMorvane, nullptr), E_INVALIDARG);
    EXPECT_EQ(CLSIDFromProgID(nullptr, &found), E_INVALIDARG);
    EXPECT_EQ(CLSIDFromProgID(u"Morvane.CoMorvane", nullptr), E_INVALIDARG);
    EXPECT_EQ(RegisterTypeLib(nullptr, u"/x.tlb", nullptr), E_INVALIDARG);
    EXPECT_EQ(RegisterTypeLib(library_, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(LoadRegTypeLib(library_id, 1, 0, 0, nullptr), E_INVALIDARG);
    std::filesystem::create_directory(file_);
    MorvaneRegistryReset();
    EXPECT_EQ(progid_of(CLSID_CoMorvane).first, REGDB_E_READREGDB);
    EXPECT_EQ(CLSIDFromProgID(u"Morvane.CoMorvane", &found), REGDB_E_READREGDB);
    EXPECT_EQ(RegisterTypeLib(library_, u"/x.tlb", nullptr), TYPE_E_REGISTRYACCESS);
    EXPECT_EQ(LoadRegTypeLib(library_id, 1, 0, 0, &library), TYPE_E_REGISTRYACCESS);
}

} // namespace
