// The error record of a failing member, and which interfaces announce such records.
#include "test_support.h"
#include "expected_messages.h"

#include <morvane.h>

namespace morvane::test {
namespace {

// Without a registered class the record has no source; with one, its ProgID.
// Successes leave the record alone.
TEST(TrackerErrorRecord, HoldsTheMessageAndTheRegisteredSource)
{
    Tracker tracker;
    EXPECT_EQ(tracker.put_lines(0), E_INVALIDARG);
    auto record = take_error_record();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->description, expected::lines);
    EXPECT_FALSE(record->source);

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\ProgID", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>("Morvane.CoMorvane.1"), 20),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(tracker.put_stop_iterations(-3), E_INVALIDARG);
    record = take_error_record();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->description, expected::stop_iterations);
    EXPECT_EQ(record->source, std::optional<std::string>("Morvane.CoMorvane.1"));
    const HRESULT own = tracker.report_error("own");
    ASSERT_EQ(tracker.put_lines(48), S_OK);
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    EXPECT_TRUE(failed_with(own, DISP_E_EXCEPTION, "own"));
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID");
}

TEST(TrackerErrorRecord, BothCustomInterfacesAnnounceRecords)
{
    Tracker tracker;
    EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(IID_IMorvane), S_OK);
    EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(IID__IMorvane), S_OK);
    for (const IID &other : {IID_IUnknown, IID_IDispatch, IID_ISupportErrorInfo, GUID_NULL})
        EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(other), S_FALSE);
    // All sixteen bytes count.
    for (size_t byte = 0; byte < sizeof(IID); ++byte) {
        IID near = IID_IMorvane;
        reinterpret_cast<unsigned char *>(&near)[byte] ^= 0x01;
        EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(near), S_FALSE) << byte;
    }
}

} // namespace
} // namespace morvane::test
