#include "recording_layers.h"

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

HRESULT RecordingComponentSystem::create_tracker(IMorvane **tracker)
{
    log_.add("com: create");
    *tracker = tracker_;
    if (tracker_ != nullptr)
        tracker_->AddRef();
    return S_OK;
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

void RecordingDisplay::present(const char *how, const RgbaImage &image)
{
    ++presentations;
    std::string name = "empty image";
    if (!image.empty()) {
        const auto found = image_names.find(static_cast<std::uint8_t>(image.at(0, 0) >> 24));
        name = found == image_names.end() ? "unknown image" : found->second;
    }
    log_.add("display: " + std::string(how) + name);
}

} // namespace trackdemo::testing
