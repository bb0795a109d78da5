// The drifting, partly covered test scene of the track tool, written as images or video.
#include "track_scene.h"
#include "textured_frame.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <filesystem>

namespace morvane::test {

cv::Mat TrackScene::frame(int index) const
{
    cv::Mat picture = textured_frame(columns, lines, motion.x * index, motion.y * index, 7);
    // Another texture, still: points under it find a look-alike that does not lead back.
    if (index >= occluder_frame())
        textured_frame(occluder.width, occluder.height, 0.0, 0.0, 1234).copyTo(picture(occluder));
    return picture;
}

void write_scene_images(const TrackScene &scene, const std::string &folder, const std::string &prefix)
{
    std::filesystem::create_directories(folder);
    for (int i = 0; i < scene.frames; ++i)
        cv::imwrite(folder + "/" + prefix + std::to_string(i) + ".png", scene.frame(i));
}

bool write_scene_video(const TrackScene &scene, const std::string &file)
{
    cv::VideoWriter video(file, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 25.0,
                          cv::Size(scene.columns, scene.lines), false);
    if (!video.isOpened())
        return false;
    for (int i = 0; i < scene.frames; ++i)
        video.write(scene.frame(i));
    return true;
}

} // namespace morvane::test
