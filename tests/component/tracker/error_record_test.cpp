// The error record of a failing member, and which interfaces announce such records.
#include "test_support.h"
#include "expected_messages.h"

#include <morvane.h>

namespace morvane::test {
namespace {

// Without a registered class the record has no source (the registered one's
// is checked through the component system); successes leave the record alone.
TEST(TrackerErrorRecord, HoldsTheMessageWithoutASourceUntilTheNextFailure)
{
    Tracker tracker;
    EXPECT_EQ(tracker.put_lines(0), E_INVALIDARG);
    auto record = take_error_record();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->description, expected::lines);
    EXPECT_FALSE(record->source);
    const HRESULT own = tracker.report_error("own");
    ASSERT_EQ(tracker.put_lines(48), S_OK);
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    EXPECT_TRUE(failed_with(own, DISP_E_EXCEPTION, "own"));
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
