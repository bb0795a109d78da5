// The drifting scene's frames and truth, from one affine motion per frame.
#include "drifting_scene.h"
#include "textured_frame.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <map>

namespace morvane::test {

namespace {

// Pixel of frame k from the scene point (frame 0's pixel).
cv::Matx33d motion(const DriftingScene &scene, int k)
{
    const cv::Point2d centre(scene.columns / 2.0, scene.lines / 2.0);
    const cv::Mat turn = cv::getRotationMatrix2D(centre, scene.turn_degrees * k, std::pow(scene.growth, k));
    cv::Matx33d m = cv::Matx33d::eye();
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            m(r, c) = turn.at<double>(r, c);
    m(0, 2) += scene.shift.x * k;
    m(1, 2) += scene.shift.y * k;
    return m;
}

double occluder_edge(const DriftingScene &scene, int k)
{
    return scene.columns - scene.occluder_speed * (k - scene.occluder_start + 1);
}

} // namespace

cv::Point2d DriftingScene::carried(cv::Point2d p, int from, int to) const
{
    const cv::Vec3d moved = motion(*this, to) * motion(*this, from).inv() * cv::Vec3d(p.x, p.y, 1.0);
    return {moved[0], moved[1]};
}

bool DriftingScene::occluded(cv::Point2d p, int k) const
{
    return k >= occluder_start && p.x >= occluder_edge(*this, k) - 0.5 && p.y >= occluder_lines.start - 0.5 &&
           p.y < occluder_lines.end - 0.5;
}

cv::Mat DriftingScene::frame(int k) const
{
    const cv::Matx33d to_scene = motion(*this, k).inv();
    const double gain = 1.0 - dimming * k / (frames - 1);
    cv::Mat picture = textured_frame(columns, lines, to_scene.get_minor<2, 3>(0, 0), gain, 7);
    const int edge = static_cast<int>(std::ceil(occluder_edge(*this, k) - 0.5));
    if (k >= occluder_start && edge < columns) {
        // Another texture that moves with the occluder.
        const cv::Rect cover(edge, occluder_lines.start, columns - edge, occluder_lines.size());
        const double travelled = occluder_edge(*this, k) - edge;
        textured_frame(cover.width, cover.height, travelled, 0.0, 99).convertTo(picture(cover), CV_8U, gain);
    }
    return picture;
}

long wrong_rows(const DriftingScene &scene, const std::vector<SceneRow> &rows, double tolerance)
{
    std::map<long, const SceneRow *> first;
    long wrong = 0;
    for (const SceneRow &row : rows) {
        const SceneRow &start = *first.emplace(row.track, &row).first->second;
        const cv::Point2d truth = scene.carried(start.point, static_cast<int>(start.frame), static_cast<int>(row.frame));
        const cv::Point2d point(row.point.x, row.point.y);
        if (cv::norm(point - truth) > tolerance || scene.occluded(point, static_cast<int>(row.frame)))
            ++wrong;
    }
    return wrong;
}

} // namespace morvane::test
