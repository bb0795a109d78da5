// The committed sample frames are what the generator writes (that the program
// tracks them to the known motion is the program test's part).
#include "demonstration.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace trackdemo {
namespace {

std::string bytes_of(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SampleFrames, AreWhatTheGeneratorWrites)
{
    const auto directory = std::filesystem::temp_directory_path() / ("trackdemo-samples-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    ASSERT_EQ(std::system((std::string(TRACKDEMO_SAMPLE_GENERATOR) + " " + directory.string()).c_str()), 0);
    for (const char *name : {first_frame_file, second_frame_file})
        EXPECT_EQ(bytes_of(directory / name), bytes_of(std::filesystem::path(TRACKDEMO_SAMPLES_DIR) / name)) << name;
    std::filesystem::remove_all(directory);
}

} // namespace
} // namespace trackdemo
