// Shi–Tomasi corners, masked around the live tracks.
#include "detection.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace morvane::track {

std::vector<cv::Point2f> detect_corners(const cv::Mat &grey, int wanted, const DetectionSettings &settings,
                                        const std::vector<cv::Point2f> &live)
{
    std::vector<cv::Point2f> corners;
    if (wanted <= 0)
        return corners;
    cv::Mat mask(grey.size(), CV_8UC1, cv::Scalar(255));
    // One pixel more than the distance: the circles are centred on rounded points.
    const int radius = static_cast<int>(std::ceil(settings.min_distance)) + 1;
    for (const cv::Point2f &p : live)
        cv::circle(mask, cv::Point(cvRound(p.x), cvRound(p.y)), radius, cv::Scalar(0), cv::FILLED);
    cv::goodFeaturesToTrack(grey, corners, wanted, settings.quality, settings.min_distance, mask);
    return corners;
}

} // namespace morvane::track
