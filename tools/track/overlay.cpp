// Trails drawn on the frames and written as a video or numbered images.
#include "overlay.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <array>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace morvane::track {

namespace fs = std::filesystem;

cv::Scalar track_colour(long id)
{
    // Hues spread by the golden angle, so that neighbouring ids differ.
    const int hue = static_cast<int>((id * 137) % 180);
    const cv::Mat hsv(1, 1, CV_8UC3, cv::Scalar(hue, 220, 255));
    cv::Mat bgr;
    cv::cvtColor(hsv, bgr, cv::COLOR_HSV2BGR);
    const auto pixel = bgr.at<cv::Vec3b>(0, 0);
    return {static_cast<double>(pixel[0]), static_cast<double>(pixel[1]), static_cast<double>(pixel[2])};
}

void Trails::update(const morvane_track_row *rows, std::size_t count)
{
    std::map<long, std::deque<cv::Point2f>> going_on;
    for (std::size_t i = 0; i < count; ++i) {
        std::deque<cv::Point2f> &trail = going_on[rows[i].track];
        if (const auto earlier = trails_.find(rows[i].track); earlier != trails_.end())
            trail = std::move(earlier->second);
        trail.emplace_back(rows[i].x, rows[i].y);
        if (trail.size() > length_)
            trail.pop_front();
    }
    trails_ = std::move(going_on);
}

namespace {

cv::Mat draw_tracks(const cv::Mat &grey, const Trails &trails)
{
    cv::Mat picture;
    cv::cvtColor(grey, picture, cv::COLOR_GRAY2BGR);
    // Sub-pixel drawing: coordinates in units of 1/16 pixel.
    constexpr int shift = 4;
    const auto fixed = [](cv::Point2f p) { return cv::Point(cvRound(p.x * 16.0f), cvRound(p.y * 16.0f)); };
    for (const auto &[id, points] : trails.live()) {
        const cv::Scalar colour = track_colour(id);
        std::vector<cv::Point> trail;
        for (const cv::Point2f &p : points)
            trail.push_back(fixed(p));
        cv::polylines(picture, trail, false, colour, 1, cv::LINE_AA, shift);
        cv::circle(picture, fixed(points.back()), 3 << shift, colour, 1, cv::LINE_AA, shift);
    }
    return picture;
}

class FolderOverlay final : public OverlayWriter {
public:
    explicit FolderOverlay(fs::path folder) : folder_(std::move(folder)) {}
    bool write(const cv::Mat &grey, const Trails &trails, std::string &error) override
    {
        std::array<char, 32> name{};
        std::snprintf(name.data(), name.size(), "%06ld.png", index_++);
        const fs::path file = folder_ / name.data();
        bool written = false;
        try {
            written = cv::imwrite(file.string(), draw_tracks(grey, trails));
        } catch (const cv::Exception &) {
            written = false;
        }
        if (!written)
            error = "cannot write " + file.string();
        return written;
    }

private:
    fs::path folder_;
    long index_ = 0;
};

class VideoOverlay final : public OverlayWriter {
public:
    explicit VideoOverlay(cv::VideoWriter video) : video_(std::move(video)) {}
    bool write(const cv::Mat &grey, const Trails &trails, std::string &) override
    {
        video_.write(draw_tracks(grey, trails));
        return true;
    }

private:
    cv::VideoWriter video_;
};

} // namespace

std::unique_ptr<OverlayWriter> open_overlay(const std::string &target, cv::Size frame, double fps,
                                            std::string &error)
{
    if (!target.empty() && target.back() == '/') {
        std::error_code failure;
        fs::create_directories(target, failure);
        if (failure) {
            error = "cannot create the folder " + target + ": " + failure.message();
            return nullptr;
        }
        return std::make_unique<FolderOverlay>(target);
    }
    const bool avi = fs::path(target).extension() == ".avi";
    const int codec = avi ? cv::VideoWriter::fourcc('M', 'J', 'P', 'G') : cv::VideoWriter::fourcc('m', 'p', '4', 'v');
    cv::VideoWriter video;
    try {
        video.open(target, codec, fps > 0.0 ? fps : 25.0, frame, true);
    } catch (const cv::Exception &) {
        video.release();
    }
    if (!video.isOpened()) {
        error = "cannot write the video " + target;
        return nullptr;
    }
    return std::make_unique<VideoOverlay>(std::move(video));
}

} // namespace morvane::track
