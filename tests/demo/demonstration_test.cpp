// The demonstration's run against recording layers that log every call in order.
#include "component_system.h"
#include "demonstration.h"
#include "layers.h"
#include "tracker_stub.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <fstream>

namespace trackdemo::testing {
namespace {

using EventLog = std::vector<std::string>;

// A CoMorvane stand-in answering for IMorvane and _IMorvane.
class RecordingTracker final : public morvane::test::TrackerStub, public _IMorvane {
public:
    explicit RecordingTracker(EventLog &log) : log_(log) {}

    HRESULT create_result = S_OK, query_result = S_OK, track_result = S_OK;
    std::array<float, 12> tracked_points{};
    std::array<BYTE, 6> tracked_status{1, 1, 1, 1, 1, 1};
    LONG references = 1; // the test's own

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        *object = nullptr;
        if (riid != IID__IMorvane)
            return E_NOINTERFACE;
        if (FAILED(record("QueryInterface _IMorvane", query_result)))
            return query_result;
        *object = static_cast<_IMorvane *>(this);
        return AddRef(), S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return log_.push_back("tracker: Release"), static_cast<ULONG>(--references); }
    HRESULT STDMETHODCALLTYPE put_lines(LONG value) override { return record("put_lines " + std::to_string(value)); }
    HRESULT STDMETHODCALLTYPE put_columns(LONG value) override { return record("put_columns " + std::to_string(value)); }
    HRESULT STDMETHODCALLTYPE create_morvane() override { return record("create_morvane", create_result); }
    HRESULT STDMETHODCALLTYPE destroy_morvane() override { return record("destroy_morvane"); }
    HRESULT STDMETHODCALLTYPE _track_corners(BYTE *, BYTE *, LONG count, FLOAT *, FLOAT *featB, BYTE *status,
                                             FLOAT *residue) override
    {
        if (FAILED(record("_track_corners " + std::to_string(count), track_result)))
            return track_result;
        if (count != 6 || featB == nullptr || status == nullptr || residue == nullptr)
            return E_POINTER;
        std::copy(tracked_points.begin(), tracked_points.end(), featB);
        std::copy(tracked_status.begin(), tracked_status.end(), status);
        for (int i = 0; i < 6; ++i)
            residue[i] = 0.5f + static_cast<float>(i);
        return S_OK;
    }

private:
    HRESULT record(const std::string &call, HRESULT result = S_OK) { return log_.push_back("tracker: " + call), result; }
    HRESULT unexpected(const char *member) override { return record(std::string("unexpected ") + member, E_NOTIMPL); }

    EventLog &log_;
};

// Creation hands out the tracker given, or nothing.
class RecordingComponentSystem final : public ComponentSystem {
public:
    RecordingComponentSystem(EventLog &log, RecordingTracker *tracker) : handed_out(tracker), log_(log) {}
    HRESULT initialize_result = S_OK;
    RecordingTracker *handed_out;

    HRESULT initialize() override { return log_.push_back("com: initialize"), initialize_result; }
    HRESULT create_tracker(IMorvane **tracker) override
    {
        log_.push_back("com: create");
        if ((*tracker = handed_out) != nullptr)
            handed_out->AddRef();
        return S_OK;
    }
    void uninitialize() override { log_.push_back("com: uninitialize"); }

private:
    EventLog &log_;
};

// Frames from a table of prepared images; the first `refused_contexts` contexts are not made.
class RecordingImaging final : public Imaging {
public:
    explicit RecordingImaging(EventLog &log) : log_(log) {}
    std::map<std::string, GreyImage> files;
    int refused_contexts = 0;

    bool read_grey(const std::string &file_name, GreyImage &image) override
    {
        log_.push_back("imaging: read " + file_name);
        const auto found = files.find(file_name);
        return found != files.end() && (image = found->second, true);
    }
    std::unique_ptr<DrawingContext> drawing_context(RgbaImage &) override
    {
        log_.push_back("imaging: context " + std::to_string(++contexts_));
        return contexts_ <= refused_contexts ? nullptr : std::make_unique<Context>(log_);
    }

private:
    struct Context final : DrawingContext {
        explicit Context(EventLog &to) : log(to) {}
        ~Context() override { log.push_back("imaging: release context"); }
        void select_pen(const Pen &pen) override { note("pen %d %02x%02x%02x", pen.width, pen.red, pen.green, pen.blue); }
        void ellipse(const Rect &box) override { note("ellipse %d %d %d %d", box.left, box.top, box.right, box.bottom); }
        template <class... Values> void note(const char *format, Values... values)
        {
            char text[64];
            std::snprintf(text, sizeof text, format, values...);
            log.push_back(std::string("imaging: ") + text);
        }
        EventLog &log;
    };
    EventLog &log_;
    int contexts_ = 0;
};

// Names each shown image "copy N" after its top-left grey level, N × 10.
class RecordingDisplay final : public Display {
public:
    explicit RecordingDisplay(EventLog &log) : log_(log) {}

    void message_box(std::string_view text) override { log_.push_back("display: message " + std::string(text)); }
    void open_pane(const RgbaImage &image) override { log_.push_back("display: open " + name_of(image)); }
    void display(const RgbaImage &image) override { log_.push_back("display: show " + name_of(image)); }
    void close_pane() override { log_.push_back("display: close"); }
    void sleep(std::chrono::milliseconds time) override { log_.push_back("display: sleep " + std::to_string(time.count())); }

private:
    static std::string name_of(const RgbaImage &image)
    {
        return image.empty() ? "empty image" : "copy " + std::to_string((image.at(0, 0) >> 24) / 10);
    }
    EventLog &log_;
};

// Two 320 x 240 frames of grey 10 and 20; the tracker finds every point one pixel right and down.
class Demonstration : public ::testing::Test {
public:
    Demonstration()
    {
        imaging.files[first_frame_file] = GreyImage(320, 240, std::vector<std::uint8_t>(320 * 240, 10));
        imaging.files[second_frame_file] = GreyImage(320, 240, std::vector<std::uint8_t>(320 * 240, 20));
        std::ranges::transform(feature_table, tracker.tracked_points.begin(), [](float at) { return at + 1.0f; });
    }
    int run() { return run_demonstration(components, imaging, display, results); }

    EventLog log;
    RecordingTracker tracker{log};
    RecordingComponentSystem components{log, &tracker};
    RecordingImaging imaging{log};
    RecordingDisplay display{log};
    std::ostringstream results;
};

// The calls of each run in demonstration_runs.txt (its first lines describe the format), by name.
const std::vector<std::string> &expected_calls(const std::string &run)
{
    static const auto runs = [] {
        std::map<std::string, std::vector<std::string>> read;
        std::ifstream in(DEMONSTRATION_RUNS_FILE);
        std::vector<std::string> *calls = nullptr;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("== "))
                calls = &read[line.substr(3)];
            else if (calls != nullptr && !line.empty())
                calls->push_back(line.ends_with("<LF>") ? line.substr(0, line.size() - 4) + "\n" : line);
        }
        return read;
    }();
    const auto found = runs.find(run);
    EXPECT_NE(found, runs.end()) << run << " is not in " << DEMONSTRATION_RUNS_FILE;
    static const std::vector<std::string> none;
    return found == runs.end() ? none : found->second;
}

// Copy 1 is marked at the start points, copy 2 at the found points that have a box.
TEST_F(Demonstration, CompleteRunDoesEverythingInItsOrder)
{
    tracker.tracked_status = {1, 0, 7, 1, 0, 1};
    tracker.tracked_points[0] = 10.9f;
    tracker.tracked_points[1] = -0.5f;
    tracker.tracked_points[6] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log, expected_calls("CompleteRunDoesEverythingInItsOrder"));
    EXPECT_EQ(tracker.references, 1);
    EXPECT_EQ(results.str(), "tracked point 0: x 10.900 y -0.500 status 1 residue 0.500\n"
                             "tracked point 1: x 148.000 y 103.000 status 0 residue 1.500\n"
                             "tracked point 2: x 19.000 y 198.000 status 7 residue 2.500\n"
                             "tracked point 3: x nan y 87.000 status 1 residue 3.500\n"
                             "tracked point 4: x 122.000 y 118.000 status 0 residue 4.500\n"
                             "tracked point 5: x 208.000 y 89.000 status 1 residue 5.500\n");
}

// Each failure: every call the run made with its one message; nothing printed, the tracker given back.
struct Failure {
    const char *name;
    std::function<void(Demonstration &)> arrange;
};

const Failure failures[] = {
    {"ComponentSystemRefused", [](Demonstration &t) { t.components.initialize_result = E_OUTOFMEMORY; }},
    {"CreationHandsOutNothing", [](Demonstration &t) { t.components.handed_out = nullptr; }},
    {"MissingFirstFrame", [](Demonstration &t) { t.imaging.files.erase(first_frame_file); }},
    {"MissingSecondFrame", [](Demonstration &t) { t.imaging.files.erase(second_frame_file); }},
    {"SecondFrameOfAnotherSize",
     [](Demonstration &t) { t.imaging.files[second_frame_file] = GreyImage(320, 239, std::vector<std::uint8_t>(320 * 239, 20)); }},
    {"BuffersRefused", [](Demonstration &t) { t.tracker.create_result = E_FAIL; }},
    {"NoDirectInterface", [](Demonstration &t) { t.tracker.query_result = E_NOINTERFACE; }},
    {"TrackingRefused", [](Demonstration &t) { t.tracker.track_result = E_POINTER; }},
};

class DemonstrationFailure : public Demonstration, public ::testing::WithParamInterface<Failure> {};

TEST_P(DemonstrationFailure, ShowsItsMessageAndMakesOnlyItsCalls)
{
    GetParam().arrange(*this);
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(log, expected_calls(GetParam().name));
    EXPECT_EQ(tracker.references, 1) << "the run keeps a reference to the tracker";
    EXPECT_TRUE(results.str().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, DemonstrationFailure, ::testing::ValuesIn(failures),
                         [](const ::testing::TestParamInfo<Failure> &row) { return std::string(row.param.name); });

} // namespace
} // namespace trackdemo::testing
