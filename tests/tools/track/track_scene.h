// A texture drifting sub-pixel, partly covered from the middle frame on; sizes that need padding.
#pragma once

#include <opencv2/core.hpp>

#include <string>

namespace morvane::test {

struct TrackScene {
    int columns = 198, lines = 146, frames = 24;
    cv::Point2d motion{0.37, 0.29};     // per frame
    cv::Rect occluder{110, 26, 64, 64}; // appears in frame `frames / 2`

    int occluder_frame() const { return frames / 2; }
    cv::Mat frame(int index) const;
};

// Writes the frames losslessly as folder/<prefix><index>.png.
void write_scene_images(const TrackScene &scene, const std::string &folder, const std::string &prefix = "frame");
// Writes the frames as a Motion-JPEG video; false when it cannot be written.
bool write_scene_video(const TrackScene &scene, const std::string &file);

} // namespace morvane::test
