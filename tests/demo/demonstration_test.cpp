// The demonstration's run driven with a recording tracker and recording imaging and
// display layers: order of calls, messages, marks, display sequence and every way
// the run can fail.
#include "demonstration.h"
#include "recording_layers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

namespace trackdemo::testing {
namespace {

constexpr std::uint8_t first_grey = 10;
constexpr std::uint8_t second_grey = 20;

GreyImage uniform_frame(int width, int height, std::uint8_t value)
{
    return GreyImage(width, height,
                     std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), value));
}

// Two 320 x 240 frames, a tracker that finds every point one pixel right and down.
class Demonstration : public ::testing::Test {
protected:
    Demonstration()
    {
        imaging.files[first_frame_file] = uniform_frame(320, 240, first_grey);
        imaging.files[second_frame_file] = uniform_frame(320, 240, second_grey);
        display.image_names = {{first_grey, "copy 1"}, {second_grey, "copy 2"}};
        for (std::size_t i = 0; i < feature_table.size(); ++i)
            tracker.tracked_points[i] = feature_table[i] + 1.0f;
        tracker.tracked_residue = {0.5f, 1.5f, 2.5f, 3.5f, 4.5f, 5.5f};
        tracker.AddRef(); // the test's own reference
    }

    int run() { return run_demonstration(components, imaging, display, results); }

    // Runs and checks that the run failed with `text` and gave back the tracker.
    void expect_failure(std::string_view text)
    {
        EXPECT_EQ(run(), failure_status);
        EXPECT_EQ(display.messages, std::vector<std::string>{std::string(text)});
        EXPECT_EQ(tracker.references(), 1) << "the run keeps a reference to the tracker";
        EXPECT_FALSE(log.contains("display: open copy 1"));
        EXPECT_TRUE(results.str().empty());
    }

    EventLog log;
    RecordingTracker tracker{log};
    RecordingComponentSystem components{log, &tracker};
    RecordingImaging imaging{log};
    RecordingDisplay display{log};
    std::ostringstream results;
};

TEST_F(Demonstration, CompleteRunCallsTheComponentInItsOrder)
{
    EXPECT_EQ(run(), success_status);
    const std::vector<std::string> expected = {
        "com: initialize",
        "com: create",
        "tracker: put_lines 240",
        "tracker: put_columns 320",
        "tracker: create_morvane",
        "tracker: QueryInterface _IMorvane",
        "tracker: _track_corners 6",
        "tracker: destroy_morvane",
        "tracker: Release _IMorvane",
        "tracker: Release IMorvane",
        "com: uninitialize",
    };
    std::vector<std::string> component_calls;
    for (const auto &event : log.events) {
        if (event.rfind("com: ", 0) == 0 || event.rfind("tracker: ", 0) == 0)
            component_calls.push_back(event);
    }
    EXPECT_EQ(component_calls, expected);
    EXPECT_EQ(tracker.references(), 1);
}

TEST_F(Demonstration, FramesAreReadAfterCreationAndBeforeTheFrameSizeIsSet)
{
    run();
    const auto position = [&](const std::string &event) {
        return std::find(log.events.begin(), log.events.end(), event) - log.events.begin();
    };
    EXPECT_LT(position("com: create"), position("imaging: read image1.bmp"));
    EXPECT_LT(position("imaging: read image1.bmp"), position("imaging: read image2.bmp"));
    EXPECT_LT(position("imaging: read image2.bmp"), position("tracker: put_lines 240"));
}

TEST_F(Demonstration, FrameSizeComesFromTheFirstFrame)
{
    imaging.files[first_frame_file] = uniform_frame(250, 201, first_grey);
    imaging.files[second_frame_file] = uniform_frame(250, 201, second_grey);
    EXPECT_EQ(run(), success_status);
    EXPECT_TRUE(log.contains("tracker: put_lines 201"));
    EXPECT_TRUE(log.contains("tracker: put_columns 250"));
}

TEST_F(Demonstration, TrackerReceivesTheFramesInPlaceAndTheSixStartPoints)
{
    ASSERT_EQ(run(), success_status);
    ASSERT_TRUE(tracker.track_call.has_value());
    const TrackCall &call = *tracker.track_call;
    EXPECT_EQ(call.first_frame, imaging.read_pixels[first_frame_file]);
    EXPECT_EQ(call.second_frame, imaging.read_pixels[second_frame_file]);
    EXPECT_NE(call.first_frame, nullptr);
    EXPECT_EQ(call.count, 6);
    EXPECT_EQ(call.start_points, (std::vector<float>{150, 121, 147, 102, 18, 197, 219, 86, 121, 117, 207, 88}));
    EXPECT_TRUE(call.result_buffers_given);
    EXPECT_TRUE(call.residue_given);
}

TEST_F(Demonstration, PrintsEachTrackedPointWithStatusAndResidue)
{
    tracker.tracked_status[3] = 0;
    ASSERT_EQ(run(), success_status);
    std::istringstream lines(results.str());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        int index = -1;
        int status = -1;
        double x = 0;
        double y = 0;
        double residue = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "tracked point %d: x %lf y %lf status %d residue %lf", &index, &x, &y,
                              &status, &residue),
                  5)
            << line;
        ASSERT_EQ(index, count);
        EXPECT_NEAR(x, feature_table[2 * static_cast<std::size_t>(index)] + 1.0, 1e-3);
        EXPECT_NEAR(y, feature_table[2 * static_cast<std::size_t>(index) + 1] + 1.0, 1e-3);
        EXPECT_EQ(status, index == 3 ? 0 : 1);
        EXPECT_NEAR(residue, index + 0.5, 1e-3);
        ++count;
    }
    EXPECT_EQ(count, 6);
}

TEST_F(Demonstration, CompleteRunShowsTwoMessagesAndNinePresentationsOverSixSeconds)
{
    ASSERT_EQ(run(), success_status);
    EXPECT_EQ(display.messages, (std::vector<std::string>{"Displaying tracked corners on images", "Done"}));
    EXPECT_EQ(display.presentations, 9);
    EXPECT_EQ(display.slept, std::chrono::milliseconds(6000));

    std::vector<std::string> expected = {"display: message Displaying tracked corners on images",
                                         "display: open copy 1"};
    for (int i = 0; i < 4; ++i) {
        expected.insert(expected.end(), {"display: sleep 500", "display: show copy 2", "display: sleep 500",
                                         "display: show copy 1"});
    }
    expected.insert(expected.end(), {"display: sleep 2000", "display: message Done"});
    const auto shown = log.with_prefix("display: ");
    ASSERT_GE(shown.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(shown.begin(), shown.begin() + static_cast<long>(expected.size())), expected);
}

TEST_F(Demonstration, PaneClosesAfterTheComponentSystemIsLeft)
{
    ASSERT_EQ(run(), success_status);
    ASSERT_GE(log.events.size(), 3u);
    const std::vector<std::string> last(log.events.end() - 3, log.events.end());
    EXPECT_EQ(last, (std::vector<std::string>{"tracker: Release IMorvane", "com: uninitialize", "display: close"}));
}

TEST_F(Demonstration, StartPointsAreMarkedOnCopyOneWithTheRedPen)
{
    ASSERT_EQ(run(), success_status);
    ASSERT_EQ(imaging.drawn.size(), 2u);
    const std::vector<Rect> expected = {
        {148, 119, 152, 123}, {145, 100, 149, 104}, {16, 195, 20, 199},
        {217, 84, 221, 88},   {119, 115, 123, 119}, {205, 86, 209, 90},
    };
    EXPECT_EQ(imaging.drawn[0], expected);
    EXPECT_EQ(log.with_prefix("imaging: pen"), (std::vector<std::string>{"imaging: pen 2 ff0000", "imaging: pen 2 ff0000"}));
}

TEST_F(Demonstration, MarksAreDrawnAfterTrackingAndBeforeTheFirstMessage)
{
    ASSERT_EQ(run(), success_status);
    const auto position = [&](const std::string &event) {
        return std::find(log.events.begin(), log.events.end(), event) - log.events.begin();
    };
    EXPECT_LT(position("tracker: _track_corners 6"), position("imaging: context 1"));
    EXPECT_LT(position("imaging: context 1"), position("imaging: context 2"));
    EXPECT_LT(position("imaging: context 2"), position("display: message Displaying tracked corners on images"));
}

TEST_F(Demonstration, OnlyFoundPointsAreMarkedOnCopyTwo)
{
    tracker.tracked_status = {1, 0, 7, 0, 0, 1};
    ASSERT_EQ(run(), success_status);
    ASSERT_EQ(imaging.drawn.size(), 2u);
    EXPECT_EQ(imaging.drawn[0].size(), 6u);
    const std::vector<Rect> expected = {{149, 120, 153, 124}, {17, 196, 21, 200}, {206, 87, 210, 91}};
    EXPECT_EQ(imaging.drawn[1], expected);
}

TEST_F(Demonstration, NoPointFoundLeavesCopyTwoUnmarkedAndTheRunComplete)
{
    tracker.tracked_status = {0, 0, 0, 0, 0, 0};
    EXPECT_EQ(run(), success_status);
    ASSERT_EQ(imaging.drawn.size(), 2u);
    EXPECT_TRUE(imaging.drawn[1].empty());
    EXPECT_EQ(display.presentations, 9);
}

TEST_F(Demonstration, MarkBoxesTruncateTowardZero)
{
    tracker.tracked_points[0] = 10.9f;
    tracker.tracked_points[1] = -0.5f;
    tracker.tracked_points[2] = -1.75f;
    tracker.tracked_points[3] = 319.99f;
    ASSERT_EQ(run(), success_status);
    ASSERT_GE(imaging.drawn[1].size(), 2u);
    EXPECT_EQ(imaging.drawn[1][0], (Rect{8, -2, 12, 1}));
    EXPECT_EQ(imaging.drawn[1][1], (Rect{-3, 317, 0, 321}));
}

TEST_F(Demonstration, FoundPointsWithoutUsableCoordinatesGetNoMark)
{
    tracker.tracked_points[0] = std::numeric_limits<float>::quiet_NaN();
    tracker.tracked_points[3] = std::numeric_limits<float>::infinity();
    tracker.tracked_points[4] = 3.0e9f;
    EXPECT_EQ(run(), success_status);
    ASSERT_EQ(imaging.drawn.size(), 2u);
    EXPECT_EQ(imaging.drawn[1].size(), 3u);
}

TEST_F(Demonstration, MissingContextForCopyOneIsReportedAndTheRunGoesOn)
{
    imaging.refused_contexts = {1};
    EXPECT_EQ(run(), success_status);
    EXPECT_EQ(display.messages, (std::vector<std::string>{"Could not create device context for test image",
                                                          "Displaying tracked corners on images", "Done"}));
    EXPECT_EQ(imaging.drawn[1].size(), 6u);
    EXPECT_EQ(display.presentations, 9);
}

TEST_F(Demonstration, MissingContextsForBothCopiesAreEachReported)
{
    imaging.refused_contexts = {1, 2};
    EXPECT_EQ(run(), success_status);
    EXPECT_EQ(display.messages,
              (std::vector<std::string>{"Could not create device context for test image",
                                        "Could not create device context for test image",
                                        "Displaying tracked corners on images", "Done"}));
    EXPECT_TRUE(log.with_prefix("imaging: pen").empty());
}

TEST_F(Demonstration, ComponentSystemRefusedEndsTheRunAtOnce)
{
    components.initialize_result = E_OUTOFMEMORY;
    expect_failure("Unable to Initialize COM");
    EXPECT_EQ(log.events, (std::vector<std::string>{"com: initialize", "display: message Unable to Initialize COM"}));
}

TEST_F(Demonstration, AlreadyJoinedComponentSystemCountsAsJoined)
{
    components.initialize_result = S_FALSE;
    EXPECT_EQ(run(), success_status);
    EXPECT_EQ(log.with_prefix("com: uninitialize").size(), 1u);
}

TEST_F(Demonstration, TrackerNotCreatedEndsTheRunBeforeAnyFrameIsRead)
{
    components.create_result = REGDB_E_CLASSNOTREG;
    expect_failure("Unable to Create Object");
    EXPECT_TRUE(log.with_prefix("imaging: ").empty());
    EXPECT_EQ(log.events.back(), "com: uninitialize");
}

TEST_F(Demonstration, CreationThatHandsOutNothingCountsAsRefused)
{
    RecordingComponentSystem empty_handed(log, nullptr);
    EXPECT_EQ(run_demonstration(empty_handed, imaging, display, results), failure_status);
    EXPECT_EQ(display.messages, std::vector<std::string>{"Unable to Create Object"});
}

TEST_F(Demonstration, MissingFirstFrameLeavesTheSecondUnreadAndTheTrackerUntouched)
{
    imaging.files.erase(first_frame_file);
    expect_failure("Could not open image 1");
    EXPECT_FALSE(log.contains("imaging: read image2.bmp"));
    EXPECT_EQ(log.with_prefix("tracker: "), std::vector<std::string>{"tracker: Release IMorvane"});
}

TEST_F(Demonstration, MissingSecondFrameEndsTheRunWithItsMessage)
{
    imaging.files.erase(second_frame_file);
    expect_failure("Could not open image 2\n");
    EXPECT_EQ(log.with_prefix("tracker: "), std::vector<std::string>{"tracker: Release IMorvane"});
}

TEST_F(Demonstration, RefusedBuffersEndTheRunBeforeTheDirectInterfaceIsAsked)
{
    tracker.create_result = E_FAIL;
    expect_failure("Unable to Allocate Internal Object Resources");
    EXPECT_FALSE(log.contains("tracker: QueryInterface _IMorvane"));
}

TEST_F(Demonstration, MissingDirectInterfaceEndsTheRunBeforeTracking)
{
    tracker.query_result = E_NOINTERFACE;
    expect_failure("Unable to obtain direct interface");
    EXPECT_FALSE(tracker.track_call.has_value());
}

TEST_F(Demonstration, RefusedTrackingEndsTheRunAndGivesBackBothInterfaces)
{
    tracker.track_result = E_POINTER;
    expect_failure("Tracking function failed");
    const std::vector<std::string> tail(log.events.end() - 3, log.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"tracker: Release _IMorvane", "tracker: Release IMorvane", "com: uninitialize"}));
    EXPECT_TRUE(imaging.drawn.empty());
}

TEST_F(Demonstration, SecondFrameOfAnotherSizeIsRefusedWithoutTracking)
{
    imaging.files[second_frame_file] = uniform_frame(320, 239, second_grey);
    expect_failure("Tracking function failed");
    EXPECT_FALSE(tracker.track_call.has_value());

    log.events.clear();
    display.messages.clear();
    imaging.files[second_frame_file] = uniform_frame(321, 240, second_grey);
    expect_failure("Tracking function failed");
    EXPECT_FALSE(tracker.track_call.has_value());
}

} // namespace
} // namespace trackdemo::testing
