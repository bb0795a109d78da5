// Recording stand-ins for the component system, the tracker and the imaging and
// display layers. Every call lands, in order, in one shared event log.
#ifndef TRACKDEMO_TESTS_RECORDING_LAYERS_H
#define TRACKDEMO_TESTS_RECORDING_LAYERS_H

#include "component_system.h"
#include "layers.h"
#include "tracker_stub.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace trackdemo::testing {

using EventLog = std::vector<std::string>;

// A CoMorvane stand-in answering for IMorvane and _IMorvane.
class RecordingTracker final : public morvane::test::TrackerStub, public _IMorvane {
public:
    explicit RecordingTracker(EventLog &log) : log_(log) {}

    HRESULT create_result = S_OK, query_result = S_OK, track_result = S_OK;
    std::array<float, 12> tracked_points{};
    std::array<BYTE, 6> tracked_status{1, 1, 1, 1, 1, 1};
    std::array<float, 6> tracked_residue{0.5f, 1.5f, 2.5f, 3.5f, 4.5f, 5.5f};
    // What the last _track_corners call was given: the frames' first pixels, the points.
    std::pair<BYTE, BYTE> frames{};
    std::vector<float> start_points;
    LONG references = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        *object = nullptr;
        if (riid == IID__IMorvane && FAILED(record("QueryInterface _IMorvane", query_result)))
            return query_result;
        if (riid == IID__IMorvane)
            *object = static_cast<_IMorvane *>(this);
        else if (riid == IID_IMorvane || riid == IID_IUnknown || riid == IID_IDispatch)
            *object = static_cast<IMorvane *>(this);
        return *object == nullptr ? E_NOINTERFACE : (AddRef(), S_OK);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return log_.push_back("tracker: Release"), static_cast<ULONG>(--references); }
    HRESULT STDMETHODCALLTYPE put_lines(LONG value) override { return record("put_lines " + std::to_string(value)); }
    HRESULT STDMETHODCALLTYPE put_columns(LONG value) override { return record("put_columns " + std::to_string(value)); }
    HRESULT STDMETHODCALLTYPE create_morvane() override { return record("create_morvane", create_result); }
    HRESULT STDMETHODCALLTYPE destroy_morvane() override { return record("destroy_morvane"); }
    HRESULT STDMETHODCALLTYPE _track_corners(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA, FLOAT *featB,
                                             BYTE *status, FLOAT *residue) override
    {
        frames = {imgA[0], imgB[0]};
        start_points.assign(featA, featA + 2 * count);
        if (FAILED(record("_track_corners " + std::to_string(count), track_result)))
            return track_result;
        if (count != 6 || featB == nullptr || status == nullptr || residue == nullptr)
            return E_POINTER;
        std::copy(tracked_points.begin(), tracked_points.end(), featB);
        std::copy(tracked_status.begin(), tracked_status.end(), status);
        std::copy(tracked_residue.begin(), tracked_residue.end(), residue);
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
    RecordingComponentSystem(EventLog &log, RecordingTracker *tracker) : log_(log), tracker_(tracker) {}
    HRESULT initialize_result = S_OK;

    HRESULT initialize() override { return log_.push_back("com: initialize"), initialize_result; }
    HRESULT create_tracker(IMorvane **tracker) override
    {
        log_.push_back("com: create");
        if ((*tracker = tracker_) != nullptr)
            tracker_->AddRef();
        return S_OK;
    }
    void uninitialize() override { log_.push_back("com: uninitialize"); }

private:
    EventLog &log_;
    RecordingTracker *tracker_;
};

// Reads frames from a table of prepared images; names missing from it cannot be
// read. Records the boxes drawn through each context, in the order the contexts
// were made; the contexts whose numbers (from 1) are refused are not made.
class RecordingImaging final : public Imaging {
public:
    explicit RecordingImaging(EventLog &log) : log_(log) {}
    std::map<std::string, GreyImage> files;
    std::vector<int> refused_contexts;
    std::deque<std::vector<Rect>> drawn;

    bool read_grey(const std::string &file_name, GreyImage &image) override
    {
        log_.push_back("imaging: read " + file_name);
        const auto found = files.find(file_name);
        if (found == files.end())
            return false;
        image = found->second;
        return true;
    }
    std::unique_ptr<DrawingContext> drawing_context(RgbaImage &) override
    {
        drawn.emplace_back();
        log_.push_back("imaging: context " + std::to_string(drawn.size()));
        if (std::count(refused_contexts.begin(), refused_contexts.end(), static_cast<int>(drawn.size())) != 0)
            return nullptr;
        return std::make_unique<Context>(log_, drawn.back());
    }

private:
    struct Context final : DrawingContext {
        Context(EventLog &to, std::vector<Rect> &drawn_boxes) : log(to), boxes(drawn_boxes) {}
        ~Context() override { log.push_back("imaging: release context"); }
        void select_pen(const Pen &pen) override
        {
            char text[64];
            std::snprintf(text, sizeof text, "imaging: pen %d %02x%02x%02x", pen.width, pen.red, pen.green, pen.blue);
            log.push_back(text);
        }
        void ellipse(const Rect &box) override { log.push_back("imaging: ellipse"), boxes.push_back(box); }
        EventLog &log;
        std::vector<Rect> &boxes;
    };
    EventLog &log_;
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

} // namespace trackdemo::testing

#endif
