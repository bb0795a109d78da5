// The committed sample frames: what the generator writes, readable as grey frames
// of 320 x 240, and textured so that the tracker's own settings follow the six
// start points to the known motion.
#include "bitmap_reader.h"
#include "demonstration.h"
#include "sample_motion.h"

#include <gtest/gtest.h>
#include <opencv2/video/tracking.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace trackdemo {
namespace {

const std::filesystem::path samples = TRACKDEMO_SAMPLES_DIR;

std::vector<char> bytes_of(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

cv::Mat as_mat(GreyImage &image)
{
    return cv::Mat(image.height(), image.width(), CV_8UC1, image.pixels(), static_cast<std::size_t>(image.width()));
}

TEST(SampleFrames, AreWhatTheGeneratorWrites)
{
    const auto directory =
        std::filesystem::temp_directory_path() / ("trackdemo-sample-frames-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const std::string command = std::string(TRACKDEMO_SAMPLE_GENERATOR) + " " + directory.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char *name : {first_frame_file, second_frame_file})
        EXPECT_EQ(bytes_of(directory / name), bytes_of(samples / name)) << name;
    std::filesystem::remove_all(directory);
}

TEST(SampleFrames, AreGreyFramesOfTheDocumentedSize)
{
    for (const char *name : {first_frame_file, second_frame_file}) {
        GreyImage frame;
        ASSERT_TRUE(read_grey_bitmap((samples / name).string(), frame)) << name;
        EXPECT_EQ(frame.width(), samples::width);
        EXPECT_EQ(frame.height(), samples::height);
    }
}

TEST(SampleFrames, StartPointsLieOnTextureInBothDirections)
{
    GreyImage frame;
    ASSERT_TRUE(read_grey_bitmap((samples / first_frame_file).string(), frame));
    // The smaller eigenvalue of the gradients' structure over a 5 x 5 window: 0 on
    // flat ground and on stripes, well above 1e-4 where a window can be tracked.
    cv::Mat eigen;
    cv::cornerMinEigenVal(as_mat(frame), eigen, 5, 3);
    for (int i = 0; i < feature_count; ++i) {
        const int x = static_cast<int>(feature_table[2 * i]);
        const int y = static_cast<int>(feature_table[2 * i + 1]);
        EXPECT_GT(eigen.at<float>(y, x), 2e-4f) << "point " << i;
    }
}

TEST(SampleFrames, TrackerSettingsFollowTheStartPointsToTheKnownMotion)
{
    GreyImage first;
    GreyImage second;
    ASSERT_TRUE(read_grey_bitmap((samples / first_frame_file).string(), first));
    ASSERT_TRUE(read_grey_bitmap((samples / second_frame_file).string(), second));
    std::vector<cv::Point2f> start;
    for (int i = 0; i < feature_count; ++i)
        start.emplace_back(feature_table[2 * i], feature_table[2 * i + 1]);
    std::vector<cv::Point2f> tracked;
    std::vector<std::uint8_t> status;
    std::vector<float> error;
    // The tracker's defaults: a 5 x 5 window, no pyramid, 5 iterations or 0.1.
    cv::calcOpticalFlowPyrLK(as_mat(first), as_mat(second), start, tracked, status, error, cv::Size(5, 5), 0,
                             cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 5, 0.1));
    ASSERT_EQ(tracked.size(), start.size());
    for (std::size_t i = 0; i < start.size(); ++i) {
        EXPECT_EQ(status[i], 1) << "point " << i;
        EXPECT_NEAR(tracked[i].x - start[i].x, samples::shift_x, 0.2) << "point " << i;
        EXPECT_NEAR(tracked[i].y - start[i].y, samples::shift_y, 0.2) << "point " << i;
    }
}

} // namespace
} // namespace trackdemo
