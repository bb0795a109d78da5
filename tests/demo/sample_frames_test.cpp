// The committed sample frames are what the generator writes.
#include "demonstration.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace trackdemo {
namespace {

TEST(SampleFrames, AreWhatTheGeneratorWrites)
{
    const test_support::ScratchFolder folder;
    ASSERT_EQ(std::system((std::string(TRACKDEMO_SAMPLE_GENERATOR) + " " + folder.path().string()).c_str()), 0);
    for (const char *name : {first_frame_file, second_frame_file})
        EXPECT_EQ(test_support::read_file(folder.path() / name),
                  test_support::read_file(std::filesystem::path(TRACKDEMO_SAMPLES_DIR) / name)) << name;
}

} // namespace
} // namespace trackdemo
