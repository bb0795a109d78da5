// ProgIDFromCLSID and CLSIDFromProgID over the registration entries.
#include "registry_fixture.h"

#include <objbase.h>

namespace {

using ProgIdLookup = RegistryTest;

// {0200236D-46C7-4C75-A2A1-8FEFAF32B081}
const CLSID tracker_class = {0x0200236D, 0x46C7, 0x4C75, {0xA2, 0xA1, 0x8F, 0xEF, 0xAF, 0x32, 0xB0, 0x81}};
const char *const tracker_class_key = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

void write_default(const std::string &path, const std::string &text)
{
    Key key(RegistryTest::create(HKEY_CLASSES_ROOT, path.c_str()));
    ASSERT_EQ(RegistryTest::set_string(key, nullptr, text), ERROR_SUCCESS);
}

// The result and the ProgID text (empty on failure, when the result must be null).
std::pair<HRESULT, std::u16string> progid_of(REFCLSID clsid)
{
    LPOLESTR progid = reinterpret_cast<LPOLESTR>(1);
    const HRESULT hr = ProgIDFromCLSID(clsid, &progid);
    if (FAILED(hr)) {
        EXPECT_EQ(progid, nullptr);
        return {hr, u""};
    }
    std::u16string text(progid);
    CoTaskMemFree(progid);
    return {hr, text};
}

std::pair<HRESULT, CLSID> clsid_of(const char16_t *progid)
{
    CLSID found = tracker_class;
    const HRESULT hr = CLSIDFromProgID(progid, &found);
    if (FAILED(hr))
        EXPECT_EQ(found, CLSID_NULL) << "a failed lookup clears its result";
    return {hr, found};
}

TEST_F(ProgIdLookup, BothDirectionsFollowTheEntriesWithoutRegardToCase)
{
    EXPECT_EQ(progid_of(tracker_class).first, REGDB_E_CLASSNOTREG);
    make(HKEY_CLASSES_ROOT, tracker_class_key);
    EXPECT_EQ(progid_of(tracker_class).first, REGDB_E_CLASSNOTREG) << "a class key without a ProgID entry";
    write_default(std::string(tracker_class_key) + "\\ProgID", "");
    EXPECT_EQ(progid_of(tracker_class).first, REGDB_E_CLASSNOTREG) << "an empty ProgID entry";

    // Lower-case key names, and a value stored without its terminator.
    Key key(create(HKEY_CLASSES_ROOT, "clsid\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\progid"));
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>("Caf\xc3\xa9.X"), 7),
              ERROR_SUCCESS);
    EXPECT_EQ(progid_of(tracker_class), std::make_pair(S_OK, std::u16string(u"Caf\u00e9.X")));

    write_default("Caf\xc3\xa9.X\\CLSID", "{0200236D-46C7-4C75-A2A1-8FEFAF32B081}");
    write_default("Morvane.Bad\\CLSID", "not a class identifier");
    // A ProgID names one key: a path must not reach another key's CLSID entry.
    write_default("Outer\\Inner\\CLSID", "{0200236D-46C7-4C75-A2A1-8FEFAF32B081}");
    make(HKEY_CLASSES_ROOT, "Morvane.NoClass");
    const std::pair<const char16_t *, HRESULT> lookups[] = {
        {u"Caf\u00e9.X", S_OK},
        {u"CAF\u00e9.x", S_OK},
        {u"Morvane.Absent", REGDB_E_CLASSNOTREG},
        {u"Morvane.NoClass", REGDB_E_CLASSNOTREG},
        {u"Morvane.Bad", CO_E_CLASSSTRING},
        {u"Outer\\Inner", CO_E_CLASSSTRING},
        {u"", CO_E_CLASSSTRING},
    };
    for (std::size_t i = 0; i < std::size(lookups); ++i) {
        const auto [hr, found] = clsid_of(lookups[i].first);
        EXPECT_EQ(hr, lookups[i].second) << "lookup " << i;
        if (SUCCEEDED(hr))
            EXPECT_EQ(found, tracker_class) << "lookup " << i;
    }

    const DWORD number = 5;
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), 4), ERROR_SUCCESS);
    EXPECT_EQ(progid_of(tracker_class).first, REGDB_E_INVALIDVALUE);
}

TEST_F(ProgIdLookup, MissingArgumentsAndAnUnreadableRegistry)
{
    CLSID found{};
    EXPECT_EQ(ProgIDFromCLSID(tracker_class, nullptr), E_INVALIDARG);
    EXPECT_EQ(CLSIDFromProgID(nullptr, &found), E_INVALIDARG);
    EXPECT_EQ(CLSIDFromProgID(u"Morvane.CoMorvane", nullptr), E_INVALIDARG);
    std::filesystem::create_directory(file_);
    MorvaneRegistryReset();
    EXPECT_EQ(progid_of(tracker_class).first, REGDB_E_READREGDB);
    EXPECT_EQ(CLSIDFromProgID(u"Morvane.CoMorvane", &found), REGDB_E_READREGDB);
}

} // namespace
