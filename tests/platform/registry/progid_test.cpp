// ProgIDFromCLSID and CLSIDFromProgID over the registration entries.
#include "registry_test.h"

#include <objbase.h>

namespace {

using ProgIdLookup = RegistryTest;

// {0200236D-46C7-4C75-A2A1-8FEFAF32B081}
const CLSID tracker_class = {0x0200236D, 0x46C7, 0x4C75,
                             {0xA2, 0xA1, 0x8F, 0xEF, 0xAF, 0x32, 0xB0, 0x81}};
const CLSID other_class = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

void write_default(const char *path, const std::string &text)
{
    Key key(RegistryTest::create(HKEY_CLASSES_ROOT, path));
    ASSERT_EQ(RegistryTest::set_string(key, nullptr, text), ERROR_SUCCESS);
}

std::u16string progid_of(REFCLSID clsid, HRESULT *result = nullptr)
{
    LPOLESTR progid = reinterpret_cast<LPOLESTR>(1);
    const HRESULT hr = ProgIDFromCLSID(clsid, &progid);
    if (result != nullptr)
        *result = hr;
    if (FAILED(hr)) {
        EXPECT_EQ(progid, nullptr);
        return {};
    }
    std::u16string text(progid);
    CoTaskMemFree(progid);
    return text;
}

TEST_F(ProgIdLookup, BothDirectionsFollowTheRegistrationEntries)
{
    write_default("CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\ProgID", "Morvane.CoMorvane.1");
    write_default("Morvane.CoMorvane.1\\CLSID", "{0200236D-46C7-4C75-A2A1-8FEFAF32B081}");

    EXPECT_EQ(progid_of(tracker_class), u"Morvane.CoMorvane.1");
    CLSID found{};
    ASSERT_EQ(CLSIDFromProgID(u"Morvane.CoMorvane.1", &found), S_OK);
    EXPECT_EQ(found, tracker_class);
    // Registry names compare without regard to case.
    found = CLSID_NULL;
    ASSERT_EQ(CLSIDFromProgID(u"MORVANE.comorvane.1", &found), S_OK);
    EXPECT_EQ(found, tracker_class);
}

TEST_F(ProgIdLookup, KeysWrittenInLowerCaseAndValuesWithoutTerminatorAreFound)
{
    Key key(create(HKEY_CLASSES_ROOT, "CLSID\\{12345678-1234-5678-0102-030405060708}\\progid"));
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>("Caf\xc3\xa9.X"),
                             7),
              ERROR_SUCCESS);
    EXPECT_EQ(progid_of(other_class), u"Caf\u00e9.X");
    write_default("Caf\xc3\xa9.X\\CLSID", "{12345678-1234-5678-0102-030405060708}");
    CLSID found{};
    ASSERT_EQ(CLSIDFromProgID(u"Caf\u00e9.X", &found), S_OK);
    EXPECT_EQ(found, other_class);
}

TEST_F(ProgIdLookup, AnUnregisteredClassOrProgIdIsClassNotRegistered)
{
    HRESULT hr = S_OK;
    progid_of(tracker_class, &hr);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    // A class key without a ProgID entry, or with an empty one.
    make(HKEY_CLASSES_ROOT, "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}");
    progid_of(tracker_class, &hr);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    write_default("CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\ProgID", "");
    progid_of(tracker_class, &hr);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);

    CLSID found = tracker_class;
    EXPECT_EQ(CLSIDFromProgID(u"Morvane.Absent", &found), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(found, CLSID_NULL);
    make(HKEY_CLASSES_ROOT, "Morvane.NoClass");
    EXPECT_EQ(CLSIDFromProgID(u"Morvane.NoClass", &found), REGDB_E_CLASSNOTREG);
}

TEST_F(ProgIdLookup, MissingArgumentsAreInvalid)
{
    CLSID found{};
    EXPECT_EQ(ProgIDFromCLSID(tracker_class, nullptr), E_INVALIDARG);
    EXPECT_EQ(CLSIDFromProgID(nullptr, &found), E_INVALIDARG);
    EXPECT_EQ(CLSIDFromProgID(u"Morvane.CoMorvane", nullptr), E_INVALIDARG);
}

TEST_F(ProgIdLookup, MalformedEntriesAndNamesAreRefused)
{
    write_default("Morvane.Bad\\CLSID", "not a class identifier");
    CLSID found = tracker_class;
    EXPECT_EQ(CLSIDFromProgID(u"Morvane.Bad", &found), CO_E_CLASSSTRING);
    EXPECT_EQ(found, CLSID_NULL);

    // A ProgID names one key: a path must not reach another key's CLSID entry.
    write_default("Outer\\Inner\\CLSID", "{0200236D-46C7-4C75-A2A1-8FEFAF32B081}");
    EXPECT_EQ(CLSIDFromProgID(u"Outer\\Inner", &found), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(u"", &found), CO_E_CLASSSTRING);

    Key key(create(HKEY_CLASSES_ROOT, "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\ProgID"));
    const DWORD number = 5;
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number),
                             4),
              ERROR_SUCCESS);
    HRESULT hr = S_OK;
    progid_of(tracker_class, &hr);
    EXPECT_EQ(hr, REGDB_E_INVALIDVALUE);
}

TEST_F(ProgIdLookup, AnUnreadableRegistryIsAReadFailure)
{
    std::filesystem::create_directory(file_);
    MorvaneRegistryReset();
    HRESULT hr = S_OK;
    progid_of(tracker_class, &hr);
    EXPECT_EQ(hr, REGDB_E_READREGDB);
    CLSID found{};
    EXPECT_EQ(CLSIDFromProgID(u"Morvane.CoMorvane", &found), REGDB_E_READREGDB);
}

} // namespace
