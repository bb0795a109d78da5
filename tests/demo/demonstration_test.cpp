// The demonstration's run driven with a recording tracker and recording imaging and
// display layers: the whole sequence of calls of a complete run, the printed
// results, the marks, and every way the run can fail in one table.
#include "demonstration.h"
#include "recording_layers.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <tuple>
#include <sstream>

namespace trackdemo::testing {
namespace {

GreyImage uniform_frame(int width, int height, std::uint8_t value)
{
    return GreyImage(width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height), value));
}

// Two 320 x 240 frames of grey 10 and 20, a tracker that finds every point one
// pixel right and down.
class Demonstration : public ::testing::Test {
public:
    Demonstration()
    {
        imaging.files[first_frame_file] = uniform_frame(320, 240, 10);
        imaging.files[second_frame_file] = uniform_frame(320, 240, 20);
        for (std::size_t i = 0; i < feature_table.size(); ++i)
            tracker.tracked_points[i] = feature_table[i] + 1.0f;
        tracker.AddRef(); // the test's own reference
    }
    int run() { return run_demonstration(*system, imaging, display, results); }
    long count(const std::string &event) const { return std::count(log.begin(), log.end(), event); }

    EventLog log;
    RecordingTracker tracker{log};
    RecordingComponentSystem components{log, &tracker}, empty_handed{log, nullptr};
    RecordingComponentSystem *system = &components;
    RecordingImaging imaging{log};
    RecordingDisplay display{log};
    std::ostringstream results;
};

// The calls up to the tracker's buffers, then `more`.
std::vector<std::string> created_then(std::initializer_list<std::string> more)
{
    std::vector<std::string> events = {"com: initialize", "com: create", "imaging: read image1.bmp",
                                       "imaging: read image2.bmp", "tracker: put_lines 240",
                                       "tracker: put_columns 320", "tracker: create_morvane"};
    events.insert(events.end(), more);
    return events;
}

// Frames read after creation and before the size is set, tracked in place from
// the six start points, marks drawn before the first message, copies alternating
// for four seconds, the pane closed last and the tracker given back.
TEST_F(Demonstration, CompleteRunDoesEverythingInItsOrder)
{
    EXPECT_EQ(run(), 0);
    auto expected = created_then({"tracker: QueryInterface _IMorvane", "tracker: _track_corners 6"});
    for (const char *context : {"imaging: context 1", "imaging: context 2"}) {
        expected.insert(expected.end(), {context, "imaging: pen 2 ff0000"});
        expected.insert(expected.end(), 6, "imaging: ellipse");
        expected.push_back("imaging: release context");
    }
    expected.insert(expected.end(), {"display: message Displaying tracked corners on images", "display: open copy 1"});
    for (int i = 0; i < 4; ++i)
        expected.insert(expected.end(), {"display: sleep 500", "display: show copy 2", "display: sleep 500",
                                         "display: show copy 1"});
    expected.insert(expected.end(), {"display: sleep 2000", "display: message Done", "tracker: destroy_morvane",
                                     "tracker: Release", "tracker: Release", "com: uninitialize",
                                     "display: close"});
    EXPECT_EQ(log, expected);
    EXPECT_EQ(tracker.references, 1);
    EXPECT_EQ(tracker.frames, (std::pair<BYTE, BYTE>{10, 20}));
    EXPECT_EQ(tracker.start_points, (std::vector<float>{150, 121, 147, 102, 18, 197, 219, 86, 121, 117, 207, 88}));
}

// Every point is printed with its status and residue; copy 1 carries the start
// points' marks, copy 2 those of the points found with a box.
TEST_F(Demonstration, PrintsEveryPointAndMarksTheFoundOnes)
{
    tracker.tracked_status = {1, 0, 7, 1, 0, 1};
    tracker.tracked_points[0] = 10.9f;
    tracker.tracked_points[1] = -0.5f;
    tracker.tracked_points[6] = std::numeric_limits<float>::quiet_NaN();
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(results.str(), "tracked point 0: x 10.900 y -0.500 status 1 residue 0.500\n"
                             "tracked point 1: x 148.000 y 103.000 status 0 residue 1.500\n"
                             "tracked point 2: x 19.000 y 198.000 status 7 residue 2.500\n"
                             "tracked point 3: x nan y 87.000 status 1 residue 3.500\n"
                             "tracked point 4: x 122.000 y 118.000 status 0 residue 4.500\n"
                             "tracked point 5: x 208.000 y 89.000 status 1 residue 5.500\n");
    ASSERT_EQ(imaging.drawn.size(), 2u);
    EXPECT_EQ(imaging.drawn[0], (std::vector<Rect>{{148, 119, 152, 123}, {145, 100, 149, 104}, {16, 195, 20, 199},
                                                   {217, 84, 221, 88}, {119, 115, 123, 119}, {205, 86, 209, 90}}));
    EXPECT_EQ(imaging.drawn[1], (std::vector<Rect>{{8, -2, 12, 1}, {17, 196, 21, 200}, {206, 87, 210, 91}}));
}

// A component system already joined counts as joined; a copy without a drawing
// context is reported and the run goes on: rows of {initialize result, refused copies}.
class Survivable : public Demonstration, public ::testing::WithParamInterface<std::pair<HRESULT, int>> {};

TEST_P(Survivable, RunCompletes)
{
    const auto [initialize_result, refused] = GetParam();
    components.initialize_result = initialize_result;
    for (int context = 1; context <= refused; ++context)
        imaging.refused_contexts.push_back(context);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(count("display: message Could not create device context for test image"), refused);
    EXPECT_EQ(count("imaging: pen 2 ff0000"), 2 - refused);
    EXPECT_EQ(std::tuple(count("display: message Done"), count("com: uninitialize"), count("display: show copy 2")),
              std::tuple(1, 1, 4));
}

INSTANTIATE_TEST_SUITE_P(Rows, Survivable, ::testing::Values(std::pair{S_FALSE, 0}, std::pair{S_OK, 1}, std::pair{S_OK, 2}));

// Each failure: every call the run made, its one message among them. Nothing is
// printed, status -1, and the tracker is given back.
struct Failure {
    const char *name;
    std::function<void(Demonstration &)> arrange;
    std::vector<std::string> events;
};

void PrintTo(const Failure &failure, std::ostream *out) { *out << failure.name; }

const Failure failures[] = {
    {"ComponentSystemRefused", [](Demonstration &t) { t.components.initialize_result = E_OUTOFMEMORY; },
     {"com: initialize", "display: message Unable to Initialize COM"}},
    {"CreationHandsOutNothing", [](Demonstration &t) { t.system = &t.empty_handed; },
     {"com: initialize", "com: create", "display: message Unable to Create Object", "com: uninitialize"}},
    {"MissingFirstFrame", [](Demonstration &t) { t.imaging.files.erase(first_frame_file); },
     {"com: initialize", "com: create", "imaging: read image1.bmp", "display: message Could not open image 1",
      "tracker: Release", "com: uninitialize"}},
    {"MissingSecondFrame", [](Demonstration &t) { t.imaging.files.erase(second_frame_file); },
     {"com: initialize", "com: create", "imaging: read image1.bmp", "imaging: read image2.bmp",
      "display: message Could not open image 2\n", "tracker: Release", "com: uninitialize"}},
    {"SecondFrameOfAnotherSize",
     [](Demonstration &t) { t.imaging.files[second_frame_file] = uniform_frame(320, 239, 20); },
     created_then({"tracker: QueryInterface _IMorvane", "display: message Tracking function failed", "tracker: Release",
                   "tracker: Release", "com: uninitialize"})},
    {"BuffersRefused", [](Demonstration &t) { t.tracker.create_result = E_FAIL; },
     created_then({"display: message Unable to Allocate Internal Object Resources", "tracker: Release",
                   "com: uninitialize"})},
    {"NoDirectInterface", [](Demonstration &t) { t.tracker.query_result = E_NOINTERFACE; },
     created_then({"tracker: QueryInterface _IMorvane", "display: message Unable to obtain direct interface",
                   "tracker: Release", "com: uninitialize"})},
    {"TrackingRefused", [](Demonstration &t) { t.tracker.track_result = E_POINTER; },
     created_then({"tracker: QueryInterface _IMorvane", "tracker: _track_corners 6",
                   "display: message Tracking function failed", "tracker: Release", "tracker: Release",
                   "com: uninitialize"})},
};

class DemonstrationFailure : public Demonstration, public ::testing::WithParamInterface<Failure> {};

TEST_P(DemonstrationFailure, ShowsItsMessageAndMakesOnlyItsCalls)
{
    GetParam().arrange(*this);
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(log, GetParam().events);
    EXPECT_EQ(tracker.references, 1) << "the run keeps a reference to the tracker";
    EXPECT_TRUE(results.str().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, DemonstrationFailure, ::testing::ValuesIn(failures),
                         [](const ::testing::TestParamInfo<Failure> &row) { return std::string(row.param.name); });

} // namespace
} // namespace trackdemo::testing
