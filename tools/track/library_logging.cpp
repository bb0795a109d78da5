// Undecodable input would otherwise print screens of decoder warnings before the program's own message.
#include "library_logging.h"

#include <opencv2/core/utils/logger.hpp>

#include <cstdlib>

namespace morvane::track {

void silence_libraries()
{
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    // OpenCV hands this level to the decoder library when it first opens a video;
    // -8 is that library's "quiet". A level the user set is kept.
    setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);
}

} // namespace morvane::track
