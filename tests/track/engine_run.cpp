// Both runs keep every row of every frame, in the order they come.
#include "engine_run.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>

#include <cmath>

namespace morvane::test {

EngineRun run_engine(const std::vector<cv::Mat> &frames, const morvane_track_settings &settings)
{
    EngineRun run;
    morvane_track_engine *engine = nullptr;
    run.result = morvane_track_open(&settings, &engine);
    for (const cv::Mat &frame : frames) {
        if (run.result != MORVANE_TRACK_OK)
            break;
        run.result = morvane_track_push(engine, frame.data, frame.cols, frame.rows, static_cast<ptrdiff_t>(frame.step[0]));
        const morvane_track_row *rows = nullptr;
        const morvane_track_end *ends = nullptr;
        std::size_t row_count = 0, end_count = 0;
        morvane_track_rows(engine, &rows, &row_count);
        morvane_track_ends(engine, &ends, &end_count);
        for (std::size_t i = 0; i < row_count; ++i)
            run.rows.push_back({rows[i].track, rows[i].frame, {rows[i].x, rows[i].y}});
        run.ends.insert(run.ends.end(), ends, ends + end_count);
    }
    morvane_track_close(engine);
    return run;
}

std::vector<SceneRow> run_opencv_loop(const std::vector<cv::Mat> &frames, const morvane_track_settings &settings)
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
    start(0, detect(frames[0], settings.max_features, {}));
    for (std::size_t k = 1; k < frames.size(); ++k) {
        std::vector<cv::Point2f> ahead, back;
        std::vector<unsigned char> found, returned;
        std::vector<float> unused;
        if (!points.empty()) {
            cv::calcOpticalFlowPyrLK(frames[k - 1], frames[k], points, ahead, found, unused, window, settings.levels, stop);
            cv::calcOpticalFlowPyrLK(frames[k], frames[k - 1], ahead, back, returned, unused, window, settings.levels, stop);
        }
        std::vector<cv::Point2f> kept;
        std::vector<long> kept_ids;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const cv::Point2f p = ahead[i];
            const bool inside = p.x >= 0.0f && p.y >= 0.0f && p.x <= static_cast<float>(frames[k].cols - 1) &&
                                p.y <= static_cast<float>(frames[k].rows - 1);
            const cv::Point2f miss = back[i] - points[i];
            if (!inside || !found[i] || !returned[i] || !(std::hypot(miss.x, miss.y) <= settings.fb_max))
                continue;
            kept.push_back(p);
            kept_ids.push_back(ids[i]);
            rows.push_back({ids[i], static_cast<long>(k), p});
        }
        points = std::move(kept);
        ids = std::move(kept_ids);
        const auto live = static_cast<long>(points.size());
        if (static_cast<double>(live) < settings.redetect * settings.max_features)
            start(static_cast<long>(k), detect(frames[k], static_cast<int>(settings.max_features - live), points));
    }
    return rows;
}

} // namespace morvane::test
