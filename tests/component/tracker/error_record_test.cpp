// The error record of a failing member: its fields, that it belongs to the
// failing thread only, and which interfaces announce such records.
#include "test_support.h"
#include "expected_messages.h"

#include <morvane.h>

#include <thread>

namespace morvane::test {
namespace {

constexpr char class_key[] = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";
constexpr char progid_key[] = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\ProgID";
constexpr char progid[] = "Morvane.CoMorvane.1";

// The entry of a registration that names the class's ProgID, for the life of
// the object.
class RegisteredClass {
public:
    RegisteredClass()
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, progid_key, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(progid),
                                 sizeof progid),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ~RegisteredClass()
    {
        RegDeleteKeyA(HKEY_CLASSES_ROOT, progid_key);
        RegDeleteKeyA(HKEY_CLASSES_ROOT, class_key);
    }
    RegisteredClass(const RegisteredClass &) = delete;
    RegisteredClass &operator=(const RegisteredClass &) = delete;
};

// Without a registered class the record has no source; with one, its ProgID.
// Later failures replace the record; successes leave it as it was.
TEST(TrackerErrorRecord, FailuresLeaveTheirMessageAndSuccessesLeaveItAlone)
{
    Tracker tracker;
    clear_error_record();
    EXPECT_EQ(tracker.put_lines(0), E_INVALIDARG);
    auto record = take_error_record();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->description, expected::lines);
    EXPECT_TRUE(IsEqualGUID(record->guid, GUID_NULL));
    EXPECT_FALSE(record->source);
    {
        const RegisteredClass registered;
        EXPECT_EQ(tracker.put_feature_width(0), E_INVALIDARG);
        record = take_error_record();
        ASSERT_TRUE(record);
        EXPECT_EQ(record->source, std::optional<std::string>(progid));
        EXPECT_EQ(record->description, expected::feature_width);
    }
    EXPECT_EQ(tracker.report_error("first"), DISP_E_EXCEPTION);
    EXPECT_EQ(tracker.report_error(""), DISP_E_EXCEPTION);
    LONG value = 0;
    ASSERT_EQ(tracker.get_lines(&value), S_OK);
    ASSERT_EQ(tracker.put_lines(48), S_OK);
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    ASSERT_EQ(tracker.destroy_morvane(), S_OK);
    record = take_error_record();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->description, "");
    EXPECT_FALSE(record->source);
}

TEST(TrackerErrorRecord, BelongsToTheFailingThreadOnly)
{
    const RegisteredClass registered;
    Tracker tracker;
    clear_error_record();
    tracker.report_error("main thread's own");

    std::optional<ErrorRecord> on_failing_thread;
    std::optional<ErrorRecord> on_other_thread = ErrorRecord{"not read", std::nullopt, {}};
    std::thread failing([&] {
        tracker.put_stop_iterations(-3);
        on_failing_thread = take_error_record();
    });
    failing.join();
    std::thread other([&] { on_other_thread = take_error_record(); });
    other.join();

    ASSERT_TRUE(on_failing_thread);
    EXPECT_EQ(on_failing_thread->description, expected::stop_iterations);
    EXPECT_TRUE(IsEqualGUID(on_failing_thread->guid, GUID_NULL));
    EXPECT_EQ(on_failing_thread->source, std::optional<std::string>(progid));
    EXPECT_FALSE(on_other_thread);
    const auto own = take_error_record();
    ASSERT_TRUE(own);
    EXPECT_EQ(own->description, "main thread's own");
}

TEST(TrackerErrorRecord, BothCustomInterfacesAnnounceRecords)
{
    Tracker tracker;
    EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(IID_IMorvane), S_OK);
    EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(IID__IMorvane), S_OK);
    for (const IID &other : {IID_IUnknown, IID_IDispatch, IID_ISupportErrorInfo, GUID_NULL,
                             static_cast<const IID &>(CLSID_CoMorvane)}) {
        EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(other), S_FALSE);
    }
    // All sixteen bytes count: one differing byte is another identifier.
    for (size_t byte = 0; byte < sizeof(IID); ++byte) {
        IID near = IID_IMorvane;
        reinterpret_cast<unsigned char *>(&near)[byte] ^= 0x01;
        EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(near), S_FALSE) << byte;
    }
}

} // namespace
} // namespace morvane::test
