// A run's frames through the component, with the checks, re-detection and padding of every step.
#include "engine.h"
#include "appearance.h"
#include "detection.h"
#include "padding.h"
#include "track_step.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace morvane::track {

namespace {

std::string shown(double value)
{
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string size_text(cv::Size size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

} // namespace

std::optional<std::string> settings_fault(const morvane_track_settings &s)
{
    const auto within = [](double value, double low, double high) { return value >= low && value <= high; };
    const struct {
        bool holds;
        const char *rule;
        double value;
    } rules[] = {
        {s.max_features > 0, "max_features must be positive", static_cast<double>(s.max_features)},
        {s.quality > 0.0 && s.quality <= 1.0, "quality must lie in (0, 1]", s.quality},
        {within(s.min_distance, 0.0, 1e6), "min_distance must lie in [0, 1e6]", s.min_distance},
        {within(s.redetect, 0.0, 1.0), "redetect must lie in [0, 1]", s.redetect},
        {s.fb_max >= 0.0, "fb_max must be at least 0", s.fb_max},
        {s.residue_max >= 0.0, "residue_max must be at least 0", s.residue_max},
        {within(s.appearance_min, -1.0, 1.0), "appearance_min must lie in [-1, 1]", s.appearance_min},
        {s.appearance_check == 0 || s.appearance_check == 1, "appearance_check must be 0 or 1",
         static_cast<double>(s.appearance_check)},
    };
    for (const auto &rule : rules)
        if (!rule.holds)
            return std::string(rule.rule) + ", not " + shown(rule.value);
    if (s.point_count > 0 && s.points == nullptr)
        return "points are missing for point_count " + std::to_string(s.point_count);
    for (std::size_t i = 0; i < 2 * s.point_count; ++i)
        if (!std::isfinite(s.points[i]))
            return "point " + std::to_string(i / 2) + " is not finite";
    if (s.point_count > static_cast<std::size_t>(INT32_MAX))
        return "too many points: " + std::to_string(s.point_count);
    return std::nullopt;
}

Engine::Engine(const morvane_track_settings &settings, std::unique_ptr<ComponentTracker> tracker)
    : settings_(settings), tracker_(std::move(tracker))
{
    for (std::size_t i = 0; i < settings.point_count; ++i)
        given_.emplace_back(settings.points[2 * i], settings.points[2 * i + 1]);
    settings_.points = nullptr; // the caller's array is not kept
    max_features_ = std::max<long>(settings.max_features, static_cast<long>(given_.size()));
}

std::unique_ptr<Engine> Engine::open(const morvane_track_settings &settings, std::string &error)
{
    if (const auto fault = settings_fault(settings)) {
        error = *fault;
        return nullptr;
    }
    auto tracker = ComponentTracker::create(error);
    if (!tracker)
        return nullptr;
    return std::unique_ptr<Engine>(new Engine(settings, std::move(tracker)));
}

int Engine::start(const cv::Mat &grey, std::string &error)
{
    frame_size_ = grey.size();
    padded_ = padded_size(frame_size_, settings_.levels);
    const ComponentSettings component{padded_.width,        padded_.height,        max_features_,
                                      settings_.half_width, settings_.half_height, settings_.levels,
                                      settings_.iterations, settings_.epsilon};
    if (!tracker_->configure(component, error))
        return MORVANE_TRACK_COMPONENT;
    const auto start = given_.empty() ? detect_corners(grey, static_cast<int>(max_features_),
                                                       {settings_.quality, settings_.min_distance}, {})
                                      : given_;
    book_.start(0, start, grey, settings_.appearance_check != 0, rows_);
    previous_ = pad_frame(grey, padded_);
    frames_ = 1;
    return MORVANE_TRACK_OK;
}

int Engine::push(const cv::Mat &grey, std::string &error)
{
    rows_.clear();
    ends_.clear();
    if (frames_ == 0)
        return start(grey, error);
    if (grey.size() != frame_size_) {
        error = "frame " + std::to_string(frames_) + " is " + size_text(grey.size()) + ", not " +
                size_text(frame_size_) + " as the first frame";
        return MORVANE_TRACK_FRAME_SIZE;
    }
    cv::Mat current = pad_frame(grey, padded_);
    const std::optional<double> residue_max =
        std::isinf(settings_.residue_max) ? std::nullopt : std::optional(settings_.residue_max);
    const StepLimits limits{frame_size_, settings_.fb_max, residue_max};
    auto outcomes = track_step(*tracker_, previous_, current, book_.live_points(), limits, error);
    if (!outcomes)
        return MORVANE_TRACK_COMPONENT;
    if (settings_.appearance_check != 0)
        check_appearance(book_.live(), grey, settings_.appearance_min, *outcomes);
    book_.advance(frames_, *outcomes, rows_, ends_);
    const auto live = static_cast<long>(book_.live().size());
    if (given_.empty() && static_cast<double>(live) < settings_.redetect * static_cast<double>(max_features_))
        book_.start(frames_,
                    detect_corners(grey, static_cast<int>(max_features_ - live),
                                   {settings_.quality, settings_.min_distance}, book_.live_points()),
                    grey, settings_.appearance_check != 0, rows_);
    previous_ = std::move(current);
    ++frames_;
    return MORVANE_TRACK_OK;
}

morvane_track_summary Engine::summary() const
{
    morvane_track_summary summary{};
    summary.frames = frames_;
    summary.started = book_.started();
    for (int reason = 0; reason < end_reason_count; ++reason)
        summary.ended[reason] = book_.ended(static_cast<EndReason>(reason));
    summary.median_length = book_.median_length();
    return summary;
}

} // namespace morvane::track
