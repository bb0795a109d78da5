// Recording stand-ins for the component system, the tracker and the imaging and
// display layers. Every call lands, in order, in one shared event log.
#ifndef TRACKDEMO_TESTS_RECORDING_LAYERS_H
#define TRACKDEMO_TESTS_RECORDING_LAYERS_H

#include "component_system.h"
#include "layers.h"
#include "tracker_stub.h"

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trackdemo::testing {

struct EventLog {
    std::vector<std::string> events;
    void add(std::string event) { events.push_back(std::move(event)); }
    // The events that start with `prefix`, in order.
    std::vector<std::string> with_prefix(const std::string &prefix) const;
    bool contains(const std::string &event) const
    {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
};

// What the tracker saw of a _track_corners call.
struct TrackCall {
    const BYTE *first_frame;
    const BYTE *second_frame;
    LONG count;
    std::vector<float> start_points;
    bool result_buffers_given;
    bool residue_given;
};

// A CoMorvane stand-in: IMorvane on the object itself, _IMorvane on a part of it,
// so that releases through either interface are told apart.
class RecordingTracker final : public morvane::test::TrackerStub {
public:
    explicit RecordingTracker(EventLog &log) : log_(log) {}

    HRESULT create_result = S_OK;
    HRESULT query_result = S_OK;
    HRESULT track_result = S_OK;
    std::array<float, 12> tracked_points{};
    std::array<BYTE, 6> tracked_status{1, 1, 1, 1, 1, 1};
    std::array<float, 6> tracked_residue{};

    std::optional<TrackCall> track_call;
    LONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG STDMETHODCALLTYPE Release() override { return release("IMorvane"); }
    HRESULT STDMETHODCALLTYPE put_lines(LONG value) override { return record_value("put_lines", value); }
    HRESULT STDMETHODCALLTYPE put_columns(LONG value) override { return record_value("put_columns", value); }
    HRESULT STDMETHODCALLTYPE create_morvane() override { return record_call("create_morvane", create_result); }
    HRESULT STDMETHODCALLTYPE destroy_morvane() override { return record_call("destroy_morvane", S_OK); }

private:
    class Direct final : public _IMorvane {
    public:
        explicit Direct(RecordingTracker &owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
        {
            return owner_.QueryInterface(riid, object);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return owner_.release("_IMorvane"); }
        HRESULT STDMETHODCALLTYPE _track_corners(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA, FLOAT *featB,
                                                 BYTE *status, FLOAT *residue) override;

    private:
        RecordingTracker &owner_;
    };

    HRESULT record_value(const char *member, LONG value)
    {
        log_.add(std::string("tracker: ") + member + " " + std::to_string(value));
        return S_OK;
    }
    HRESULT record_call(const char *member, HRESULT result)
    {
        log_.add(std::string("tracker: ") + member);
        return result;
    }
    ULONG release(const char *through)
    {
        log_.add(std::string("tracker: Release ") + through);
        return static_cast<ULONG>(--references_);
    }
    HRESULT unexpected(const char *member) override
    {
        log_.add(std::string("tracker: unexpected ") + member);
        return E_NOTIMPL;
    }

    EventLog &log_;
    Direct direct_{*this};
    LONG references_ = 0;
};

class RecordingComponentSystem final : public ComponentSystem {
public:
    // `tracker` may be null: creation then hands out nothing.
    RecordingComponentSystem(EventLog &log, RecordingTracker *tracker) : log_(log), tracker_(tracker) {}

    HRESULT initialize_result = S_OK;

    HRESULT initialize() override
    {
        log_.add("com: initialize");
        return initialize_result;
    }
    HRESULT create_tracker(IMorvane **tracker) override;
    void uninitialize() override { log_.add("com: uninitialize"); }

private:
    EventLog &log_;
    RecordingTracker *tracker_;
};

// Reads frames from a table of prepared images; names missing from it cannot be read.
class RecordingImaging final : public Imaging {
public:
    explicit RecordingImaging(EventLog &log) : log_(log) {}

    std::map<std::string, GreyImage> files;
    // Drawing-context requests, counted from 1, that get no context.
    std::vector<int> refused_contexts;
    // Start of the pixel memory each read image ended up with.
    std::map<std::string, const std::uint8_t *> read_pixels;
    // The boxes drawn through each context, in the order the contexts were made.
    std::deque<std::vector<Rect>> drawn;

    bool read_grey(const std::string &file_name, GreyImage &image) override;
    std::unique_ptr<DrawingContext> drawing_context(RgbaImage &image) override;

private:
    EventLog &log_;
    int context_requests_ = 0;
};

// Names each shown image after the grey value of its top-left pixel.
class RecordingDisplay final : public Display {
public:
    explicit RecordingDisplay(EventLog &log) : log_(log) {}

    std::map<std::uint8_t, std::string> image_names;
    int presentations = 0;
    std::vector<std::string> messages;

    void message_box(std::string_view text) override
    {
        messages.emplace_back(text);
        log_.add("display: message " + std::string(text));
    }
    void open_pane(const RgbaImage &image) override { present("open ", image); }
    void display(const RgbaImage &image) override { present("show ", image); }
    void close_pane() override { log_.add("display: close"); }
    void sleep(std::chrono::milliseconds duration) override
    {
        log_.add("display: sleep " + std::to_string(duration.count()));
    }

private:
    void present(const char *how, const RgbaImage &image);

    EventLog &log_;
};

} // namespace trackdemo::testing

#endif
