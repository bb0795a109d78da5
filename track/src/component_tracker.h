// The Morvane component as the engine uses it: created through the component
// system by ProgID, configured through IMorvane, tracking through _IMorvane.
// Every failure comes back as one line naming the cause and the component's
// own message.
#pragma once

#include <windows.h>

#include <morvane.h>

#include <opencv2/core.hpp>

#include <memory>
#include <string>
#include <vector>

namespace morvane::track {

// The component's settings for a run, under the component's property names.
struct ComponentSettings {
    long columns = 0;
    long lines = 0;
    long max_features = 0;
    long feature_width = 0;
    long feature_height = 0;
    long pyramid_levels = 0;
    long stop_iterations = 0;
    double stop_epsilon = 0.0;
};

class ComponentTracker {
public:
    // Joins the component system and creates a tracker by ProgID; nothing and
    // the reason in `error` on failure.
    static std::unique_ptr<ComponentTracker> create(std::string &error);
    ~ComponentTracker();
    ComponentTracker(const ComponentTracker &) = delete;
    ComponentTracker &operator=(const ComponentTracker &) = delete;

    // Writes every property and allocates the buffers.
    bool configure(const ComponentSettings &settings, std::string &error);

    // Tracks from into frame b; the frames are of the configured size and
    // continuous. Residues are computed when residue is given.
    bool track(const cv::Mat &a, const cv::Mat &b, const std::vector<cv::Point2f> &from,
               std::vector<cv::Point2f> &to, std::vector<unsigned char> &status, std::vector<float> *residue,
               std::string &error);

private:
    ComponentTracker() = default;

    bool joined_ = false;
    IMorvane *properties_ = nullptr;
    _IMorvane *direct_ = nullptr;
};

} // namespace morvane::track
