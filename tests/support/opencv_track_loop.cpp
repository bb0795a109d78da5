// Two calls of the tracking library per frame, as a careful user would write them.
#include "opencv_track_loop.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>

#include <cmath>

namespace morvane::test {

std::vector<SceneRow> run_opencv_loop(const std::function<bool(cv::Mat &)> &next,
                                      const morvane_track_settings &settings)
{
    const cv::Size window(2 * settings.half_width + 1, 2 * settings.half_height + 1);
    // The component keeps its epsilon as a float.
    const cv::TermCriteria stop(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, settings.iterations,
                                static_cast<float>(settings.epsilon));
    const auto detect = [&](const cv::Mat &grey, int wanted, const std::vector<cv::Point2f> &live) {
        cv::Mat mask(grey.size(), CV_8UC1, cv::Scalar(255));
        for (const cv::Point2f &p : live)
            cv::circle(mask, cv::Point(cvRound(p.x), cvRound(p.y)),
                       static_cast<int>(std::ceil(settings.min_distance)) + 1, cv::Scalar(0), cv::FILLED);
        std::vector<cv::Point2f> corners;
        if (wanted > 0)
            cv::goodFeaturesToTrack(grey, corners, wanted, settings.quality, settings.min_distance, mask);
        return corners;
    };
    std::vector<SceneRow> rows;
    std::vector<cv::Point2f> points;
    std::vector<long> ids;
    long next_id = 0;
    const auto start = [&](long frame, const std::vector<cv::Point2f> &corners) {
        for (const cv::Point2f &p : corners) {
            points.push_back(p);
            ids.push_back(next_id);
            rows.push_back({next_id++, frame, p});
        }
    };
    cv::Mat previous, current;
    if (!next(previous))
        return rows;
    start(0, detect(previous, settings.max_features, {}));
    for (long k = 1; next(current); ++k) {
        std::vector<cv::Point2f> ahead, back;
        std::vector<unsigned char> found, returned;
        std::vector<float> unused;
        if (!points.empty()) {
            cv::calcOpticalFlowPyrLK(previous, current, points, ahead, found, unused, window, settings.levels, stop);
            cv::calcOpticalFlowPyrLK(current, previous, ahead, back, returned, unused, window, settings.levels, stop);
        }
        std::vector<cv::Point2f> kept;
        std::vector<long> kept_ids;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const cv::Point2f p = ahead[i];
            const bool inside = p.x >= 0.0f && p.y >= 0.0f && p.x <= static_cast<float>(current.cols - 1) &&
                                p.y <= static_cast<float>(current.rows - 1);
            const cv::Point2f miss = back[i] - points[i];
            if (!inside || !found[i] || !returned[i] || !(std::hypot(miss.x, miss.y) <= settings.fb_max))
                continue;
            kept.push_back(p);
            kept_ids.push_back(ids[i]);
            rows.push_back({ids[i], k, p});
        }
        points = std::move(kept);
        ids = std::move(kept_ids);
        const auto live = static_cast<long>(points.size());
        if (static_cast<double>(live) < settings.redetect * settings.max_features)
            start(k, detect(current, static_cast<int>(settings.max_features - live), points));
        std::swap(previous, current);
    }
    return rows;
}

std::vector<SceneRow> run_opencv_loop(const std::vector<cv::Mat> &frames, const morvane_track_settings &settings)
{
    std::size_t given = 0;
    return run_opencv_loop(
        [&](cv::Mat &frame) {
            if (given == frames.size())
                return false;
            frame = frames[given++];
            return true;
        },
        settings);
}

} // namespace morvane::test
