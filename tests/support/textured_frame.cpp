#include "textured_frame.h"

#include <cmath>

namespace morvane::test {

cv::Mat textured_frame(int columns, int lines, double dx, double dy, unsigned seed)
{
    // A sum of plane waves of random direction and phase, wavelengths 12 to 48
    // pixels: texture in every direction on every level down to 1/8, and an
    // exact displacement, since the function itself is moved, not resampled.
    constexpr int wave_count = 32;
    cv::RNG rng(seed);
    // sin(u + v) = sin u cos v + cos u sin v, with u from the column and v
    // from the line: two tables per wave instead of a sine per pixel.
    cv::Mat sum = cv::Mat::zeros(lines, columns, CV_64F);
    cv::Mat_<double> sin_u(1, columns), cos_u(1, columns);
    for (int i = 0; i < wave_count; ++i) {
        const double angle = rng.uniform(0.0, CV_PI);
        const double k = 2.0 * CV_PI / std::exp(rng.uniform(std::log(12.0), std::log(48.0)));
        const double kx = k * std::cos(angle), ky = k * std::sin(angle);
        const double phase = rng.uniform(0.0, 2.0 * CV_PI);
        for (int x = 0; x < columns; ++x) {
            sin_u(x) = std::sin(kx * (x - dx));
            cos_u(x) = std::cos(kx * (x - dx));
        }
        for (int y = 0; y < lines; ++y) {
            const double v = ky * (y - dy) + phase;
            const double sin_v = std::sin(v), cos_v = std::cos(v);
            auto *row = sum.ptr<double>(y);
            for (int x = 0; x < columns; ++x)
                row[x] += sin_u(x) * cos_v + cos_u(x) * sin_v;
        }
    }
    // About ±2.5 standard deviations of the sum span the grey range.
    const double scale = 115.0 / (2.5 * std::sqrt(wave_count / 2.0));
    cv::Mat frame;
    sum.convertTo(frame, CV_8U, scale, 128.0);
    return frame;
}

} // namespace morvane::test
