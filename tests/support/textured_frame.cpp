// Synthetic textured frames moved by an exactly known transform, for tracker tests and
// benchmarks.
#include "textured_frame.h"

#include <cmath>

namespace morvane::test {

namespace {

// A sum of plane waves of random direction and phase, wavelengths 12 to 48
// pixels: texture in every direction on every level down to 1/8, and an exact
// motion, since the function itself is moved, not resampled.
constexpr int wave_count = 32;

// About ±2.5 standard deviations of the sum span the grey range.
const double wave_scale = 115.0 / (2.5 * std::sqrt(wave_count / 2.0));

} // namespace

cv::Mat textured_frame(int columns, int lines, const cv::Matx23d &scene_of_pixel, double gain, unsigned seed)
{
    cv::RNG rng(seed);
    cv::Mat sum = cv::Mat::zeros(lines, columns, CV_64F);
    cv::Mat_<double> sin_u(1, columns), cos_u(1, columns);
    const cv::Matx23d &m = scene_of_pixel;
    for (int i = 0; i < wave_count; ++i) {
        const double angle = rng.uniform(0.0, CV_PI);
        const double k = 2.0 * CV_PI / std::exp(rng.uniform(std::log(12.0), std::log(48.0)));
        const double kx = k * std::cos(angle), ky = k * std::sin(angle);
        const double phase = rng.uniform(0.0, 2.0 * CV_PI);
        // The wave's argument at the scene point of (x, y), split into a part of x and a part of y.
        const double per_x = kx * m(0, 0) + ky * m(1, 0), per_y = kx * m(0, 1) + ky * m(1, 1);
        const double offset = kx * m(0, 2) + ky * m(1, 2) + phase;
        for (int x = 0; x < columns; ++x) {
            sin_u(x) = std::sin(per_x * x);
            cos_u(x) = std::cos(per_x * x);
        }
        for (int y = 0; y < lines; ++y) {
            const double v = per_y * y + offset;
            const double sin_v = std::sin(v), cos_v = std::cos(v);
            auto *row = sum.ptr<double>(y);
            for (int x = 0; x < columns; ++x)
                row[x] += sin_u(x) * cos_v + cos_u(x) * sin_v;
        }
    }
    cv::Mat frame;
    sum.convertTo(frame, CV_8U, wave_scale * gain, 128.0 * gain);
    return frame;
}

cv::Mat textured_frame(int columns, int lines, double dx, double dy, unsigned seed)
{
    return textured_frame(columns, lines, cv::Matx23d(1.0, 0.0, -dx, 0.0, 1.0, -dy), 1.0, seed);
}

} // namespace morvane::test
