// The demonstration run from start to end: frames, tracking, marks, the alternating display and
// the printed results, with the program's fixed messages on failure.
#include "demonstration.h"

#include "registration_hint.h"

#include <cstdio>
#include <memory>
#include <utility>

namespace trackdemo {

namespace {

// What the run holds of the component system. A complete run gives it back
// explicitly; a failed one gives back whatever it got so far, in the same order:
// the direct interface, the tracker, then the thread's use of the component system.
class ComponentHold {
public:
    explicit ComponentHold(ComponentSystem &components) : components_(components) {}
    ComponentHold(const ComponentHold &) = delete;
    ComponentHold &operator=(const ComponentHold &) = delete;
    ~ComponentHold() { give_back(); }

    void joined() { joined_ = true; }
    void hold_tracker(IMorvane *tracker) { tracker_ = tracker; }
    void hold_direct(_IMorvane *direct) { direct_ = direct; }
    IMorvane *tracker() const { return tracker_; }
    _IMorvane *direct() const { return direct_; }

    void give_back()
    {
        if (direct_ != nullptr)
            std::exchange(direct_, nullptr)->Release();
        if (tracker_ != nullptr)
            std::exchange(tracker_, nullptr)->Release();
        if (joined_) {
            joined_ = false;
            components_.uninitialize();
        }
    }

private:
    ComponentSystem &components_;
    bool joined_ = false;
    IMorvane *tracker_ = nullptr;
    _IMorvane *direct_ = nullptr;
};

struct TrackingResult {
    std::array<float, 2 * feature_count> points{};
    std::array<float, feature_count> residue{};
    std::array<BYTE, feature_count> status{};
};

void print_results(std::ostream &out, const TrackingResult &result)
{
    for (int i = 0; i < feature_count; ++i) {
        char line[160];
        std::snprintf(line, sizeof line, "tracked point %d: x %.3f y %.3f status %d residue %.3f\n", i,
                      static_cast<double>(result.points[2 * i]), static_cast<double>(result.points[2 * i + 1]),
                      result.status[i], static_cast<double>(result.residue[i]));
        out << line;
    }
    out.flush();
}

void draw_mark(DrawingContext &context, float x, float y)
{
    if (const auto box = mark_box(x, y))
        context.ellipse(*box);
}

// Marks every start point on copy 1.
void mark_start_points(Imaging &imaging, Display &display, RgbaImage &copy)
{
    const auto context = imaging.drawing_context(copy);
    if (!context) {
        display.message_box(message::no_drawing_context);
        return;
    }
    context->select_pen(mark_pen);
    for (int i = 0; i < feature_count; ++i)
        draw_mark(*context, feature_table[2 * i], feature_table[2 * i + 1]);
}

// Marks on copy 2 the tracked points that were found.
void mark_found_points(Imaging &imaging, Display &display, RgbaImage &copy, const TrackingResult &result)
{
    const auto context = imaging.drawing_context(copy);
    if (!context) {
        display.message_box(message::no_drawing_context);
        return;
    }
    context->select_pen(mark_pen);
    for (int i = 0; i < feature_count; ++i) {
        if (result.status[i] != 0)
            draw_mark(*context, result.points[2 * i], result.points[2 * i + 1]);
    }
}

void show_alternately(Display &display, const RgbaImage &first, const RgbaImage &second)
{
    display.open_pane(first);
    for (int i = 0; i < alternations; ++i) {
        display.sleep(short_pause);
        display.display(second);
        display.sleep(short_pause);
        display.display(first);
    }
    display.sleep(long_pause);
}

} // namespace

int run_demonstration(ComponentSystem &components, Imaging &imaging, Display &display, std::ostream &results)
{
    ComponentHold hold(components);
    const auto fail = [&](std::string_view text) {
        display.message_box(text);
        hold.give_back();
        return failure_status;
    };

    if (FAILED(components.initialize()))
        return fail(message::no_component_system);
    hold.joined();

    IMorvane *tracker = nullptr;
    const HRESULT created = components.create_tracker(&tracker);
    // Unregistered, the fixed message goes with what to do about it.
    if (created == REGDB_E_CLASSNOTREG)
        return fail(std::string(message::no_tracker) + "\n" + not_registered_text("Morvane.CoMorvane"));
    if (FAILED(created) || tracker == nullptr)
        return fail(message::no_tracker);
    hold.hold_tracker(tracker);

    GreyImage image1;
    GreyImage image2;
    if (!imaging.read_grey(first_frame_file, image1))
        return fail(message::no_first_frame);
    if (!imaging.read_grey(second_frame_file, image2))
        return fail(message::no_second_frame);

    // The tracker's frame size comes from frame 1; its other settings keep their defaults.
    tracker->put_lines(image1.height());
    tracker->put_columns(image1.width());
    if (FAILED(tracker->create_morvane()))
        return fail(message::no_buffers);

    void *direct_interface = nullptr;
    if (FAILED(tracker->QueryInterface(IID__IMorvane, &direct_interface)) || direct_interface == nullptr)
        return fail(message::no_direct_interface);
    _IMorvane *direct = static_cast<_IMorvane *>(direct_interface);
    hold.hold_direct(direct);

    // The tracker reads frame 2 with frame 1's geometry: a frame 2 of another size
    // would be read short or past its end, so it is refused like a failed tracking.
    if (image2.rect() != image1.rect())
        return fail(message::tracking_failed);

    std::array<float, 2 * feature_count> start_points = feature_table;
    TrackingResult result;
    if (FAILED(direct->_track_corners(image1.pixels(), image2.pixels(), feature_count, start_points.data(),
                                      result.points.data(), result.status.data(), result.residue.data())))
        return fail(message::tracking_failed);
    print_results(results, result);

    // Both copies take frame 1's rectangle.
    RgbaImage copy1;
    RgbaImage copy2;
    copy1.allocate(image1.rect());
    copy_grey_to_rgba(image1, copy1);
    copy2.allocate(image1.rect());
    copy_grey_to_rgba(image2, copy2);

    mark_start_points(imaging, display, copy1);
    mark_found_points(imaging, display, copy2, result);

    display.message_box(message::displaying);
    show_alternately(display, copy1, copy2);
    display.message_box(message::done);

    // destroy_morvane always succeeds; its result would change nothing here.
    tracker->destroy_morvane();
    hold.give_back();
    display.close_pane();
    return success_status;
}

} // namespace trackdemo
