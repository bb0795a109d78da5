// ProgIDFromCLSID and CLSIDFromProgID over the registration entries.
#include "registry_fixture.h"

#include <objbase.h>

namespace {

using ProgIdLookup = RegistryTest;

// {0200236D-46C7-4C75-A2A1-8FEFAF32B081}
const CLSID tracker_class = {0x0200236D, 0x46C7, 0x4C75, {0xA2, 0xA1, 0x8F, 0xEF, 0xAF, 0x32, 0xB0, 0x81}};
const char *const class_text = "{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

void write_default(const std::string &path, const std::string &text)
{
    ASSERT_EQ(RegistryTest::set_string(Key(RegistryTest::create(HKEY_CLASSES_ROOT, path.c_str())), nullptr, text), 0);
}

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

TEST_F(ProgIdLookup, BothDirectionsFollowTheEntriesWithoutRegardToCase)
{
    EXPECT_EQ(progid_of(tracker_class).first, REGDB_E_CLASSNOTREG);
    make(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + class_text).c_str());
    EXPECT_EQ(progid_of(tracker_class).first, REGDB_E_CLASSNOTREG) << "a class key without a ProgID entry";
    write_default(std::string("CLSID\\") + class_text + "\\ProgID", "");
    EXPECT_EQ(progid_of(tracker_class).first, REGDB_E_CLASSNOTREG) << "an empty ProgID entry";
    // Lower-case key names, and a value stored without its terminator.
    Key key(create(HKEY_CLASSES_ROOT, (std::string("clsid\\") + class_text + "\\progid").c_str()));
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>("Caf\xc3\xa9.X"), 7), 0);
    EXPECT_EQ(progid_of(tracker_class), std::make_pair(S_OK, std::u16string(u"Caf\u00e9.X")));

    write_default("Caf\xc3\xa9.X\\CLSID", class_text);
    write_default("Morvane.Bad\\CLSID", "not a class identifier");
    // A ProgID names one key: a path must not reach another key's CLSID entry.
    write_default("Outer\\Inner\\CLSID", class_text);
    make(HKEY_CLASSES_ROOT, "Morvane.NoClass");
    const std::pair<const char16_t *, HRESULT> lookups[] = {
        {u"Caf\u00e9.X", S_OK}, {u"CAF\u00e9.x", S_OK}, {u"Morvane.Absent", REGDB_E_CLASSNOTREG},
        {u"Morvane.NoClass", REGDB_E_CLASSNOTREG}, {u"Morvane.Bad", CO_E_CLASSSTRING},
        {u"Outer\\Inner", CO_E_CLASSSTRING}, {u"", CO_E_CLASSSTRING},
    };
    for (const auto &[progid, expected] : lookups) {
        CLSID found = tracker_class;
        EXPECT_EQ(CLSIDFromProgID(progid, &found), expected) << std::string(progid, progid + std::char_traits<char16_t>::length(progid));
        EXPECT_EQ(found, SUCCEEDED(expected) ? tracker_class : CLSID_NULL) << "a failed lookup clears its result";
    }
    const DWORD number = 5;
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), 4), 0);
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
