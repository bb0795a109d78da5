#include "recording_layers.h"

#include <algorithm>
#include <cstdio>

namespace trackdemo::testing {

std::vector<std::string> EventLog::with_prefix(const std::string &prefix) const
{
    std::vector<std::string> found;
    for (const auto &event : events) {
        if (event.rfind(prefix, 0) == 0)
            found.push_back(event);
    }
    return found;
}

bool EventLog::contains(const std::string &event) const
{
    return std::find(events.begin(), events.end(), event) != events.end();
}

RecordingTracker::RecordingTracker(EventLog &log) : log_(log) {}

HRESULT RecordingTracker::unexpected(const char *member)
{
    log_.add(std::string("tracker: unexpected ") + member);
    return E_NOTIMPL;
}

HRESULT RecordingTracker::QueryInterface(REFIID riid, void **object)
{
    *object = nullptr;
    if (riid == IID__IMorvane) {
        log_.add("tracker: QueryInterface _IMorvane");
        if (FAILED(query_result))
            return query_result;
        direct_.AddRef();
        *object = static_cast<_IMorvane *>(&direct_);
        return S_OK;
    }
    if (riid == IID_IMorvane || riid == IID_IUnknown || riid == IID_IDispatch) {
        AddRef();
        *object = static_cast<IMorvane *>(this);
        return S_OK;
    }
    log_.add("tracker: QueryInterface other");
    return E_NOINTERFACE;
}

ULONG RecordingTracker::AddRef()
{
    return static_cast<ULONG>(++references_);
}

ULONG RecordingTracker::Release()
{
    log_.add("tracker: Release IMorvane");
    return static_cast<ULONG>(--references_);
}

HRESULT RecordingTracker::put_lines(LONG value)
{
    log_.add("tracker: put_lines " + std::to_string(value));
    return S_OK;
}

HRESULT RecordingTracker::put_columns(LONG value)
{
    log_.add("tracker: put_columns " + std::to_string(value));
    return S_OK;
}

HRESULT RecordingTracker::create_morvane()
{
    log_.add("tracker: create_morvane");
    return create_result;
}

HRESULT RecordingTracker::destroy_morvane()
{
    log_.add("tracker: destroy_morvane");
    return S_OK;
}

HRESULT RecordingTracker::Direct::QueryInterface(REFIID riid, void **object)
{
    return owner_.QueryInterface(riid, object);
}

ULONG RecordingTracker::Direct::AddRef()
{
    return owner_.AddRef();
}

ULONG RecordingTracker::Direct::Release()
{
    owner_.log_.add("tracker: Release _IMorvane");
    return static_cast<ULONG>(--owner_.references_);
}

HRESULT RecordingTracker::Direct::_track_corners(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA, FLOAT *featB,
                                                 BYTE *status, FLOAT *residue)
{
    owner_.log_.add("tracker: _track_corners " + std::to_string(count));
    TrackCall call{imgA, imgB, count, {}, featB != nullptr && status != nullptr, residue != nullptr};
    if (featA != nullptr && count > 0)
        call.start_points.assign(featA, featA + 2 * count);
    owner_.track_call = call;
    if (FAILED(owner_.track_result))
        return owner_.track_result;
    if (count != 6 || featB == nullptr || status == nullptr)
        return E_POINTER;
    std::copy(owner_.tracked_points.begin(), owner_.tracked_points.end(), featB);
    std::copy(owner_.tracked_status.begin(), owner_.tracked_status.end(), status);
    if (residue != nullptr)
        std::copy(owner_.tracked_residue.begin(), owner_.tracked_residue.end(), residue);
    return S_OK;
}

HRESULT RecordingComponentSystem::initialize()
{
    log_.add("com: initialize");
    return initialize_result;
}

HRESULT RecordingComponentSystem::create_tracker(IMorvane **tracker)
{
    log_.add("com: create");
    *tracker = nullptr;
    if (FAILED(create_result))
        return create_result;
    if (tracker_ != nullptr) {
        tracker_->AddRef();
        *tracker = tracker_;
    }
    return create_result;
}

void RecordingComponentSystem::uninitialize()
{
    log_.add("com: uninitialize");
}

namespace {

class RecordingContext final : public DrawingContext {
public:
    RecordingContext(EventLog &log, std::vector<Rect> &boxes) : log_(log), boxes_(boxes) {}
    ~RecordingContext() override { log_.add("imaging: release context"); }

    void select_pen(const Pen &pen) override
    {
        char text[64];
        std::snprintf(text, sizeof text, "imaging: pen %d %02x%02x%02x", pen.width, pen.red, pen.green, pen.blue);
        log_.add(text);
    }

    void ellipse(const Rect &box) override
    {
        log_.add("imaging: ellipse");
        boxes_.push_back(box);
    }

private:
    EventLog &log_;
    std::vector<Rect> &boxes_;
};

} // namespace

bool RecordingImaging::read_grey(const std::string &file_name, GreyImage &image)
{
    log_.add("imaging: read " + file_name);
    const auto found = files.find(file_name);
    if (found == files.end())
        return false;
    image = found->second;
    read_pixels[file_name] = image.pixels();
    return true;
}

std::unique_ptr<DrawingContext> RecordingImaging::drawing_context(RgbaImage &)
{
    ++context_requests_;
    log_.add("imaging: context " + std::to_string(context_requests_));
    drawn.emplace_back();
    if (std::find(refused_contexts.begin(), refused_contexts.end(), context_requests_) != refused_contexts.end())
        return nullptr;
    return std::make_unique<RecordingContext>(log_, drawn.back());
}

std::string RecordingDisplay::name_of(const RgbaImage &image) const
{
    if (image.empty())
        return "empty image";
    const auto grey = static_cast<std::uint8_t>(image.at(0, 0) >> 24);
    const auto found = image_names.find(grey);
    return found == image_names.end() ? "unknown image" : found->second;
}

void RecordingDisplay::message_box(std::string_view text)
{
    messages.emplace_back(text);
    log_.add("display: message " + std::string(text));
}

void RecordingDisplay::open_pane(const RgbaImage &image)
{
    ++presentations;
    log_.add("display: open " + name_of(image));
}

void RecordingDisplay::display(const RgbaImage &image)
{
    ++presentations;
    log_.add("display: show " + name_of(image));
}

void RecordingDisplay::close_pane()
{
    log_.add("display: close");
}

void RecordingDisplay::sleep(std::chrono::milliseconds duration)
{
    slept += duration;
    log_.add("display: sleep " + std::to_string(duration.count()));
}

} // namespace trackdemo::testing
