// The demonstration run: track six fixed points from image1.bmp into image2.bmp
// through the tracker component, mark them on colour copies of the two frames and
// show the copies alternately.
#pragma once

#include "component_system.h"
#include "layers.h"

#include <array>
#include <chrono>
#include <ostream>
#include <string_view>

namespace trackdemo {

inline constexpr int feature_count = 6;
// The six start points, (x, y) pairs in pixel coordinates of frame 1. All lie inside a
// frame of at least 220 columns by 198 lines.
inline constexpr std::array<float, 2 * feature_count> feature_table = {
    150.0f, 121.0f, 147.0f, 102.0f, 18.0f, 197.0f, 219.0f, 86.0f, 121.0f, 117.0f, 207.0f, 88.0f,
};

inline constexpr const char *first_frame_file = "image1.bmp";
inline constexpr const char *second_frame_file = "image2.bmp";

namespace message {
inline constexpr std::string_view no_component_system = "Unable to Initialize COM";
inline constexpr std::string_view no_tracker = "Unable to Create Object";
inline constexpr std::string_view no_first_frame = "Could not open image 1";
inline constexpr std::string_view no_second_frame = "Could not open image 2\n";
inline constexpr std::string_view no_buffers = "Unable to Allocate Internal Object Resources";
inline constexpr std::string_view no_direct_interface = "Unable to obtain direct interface";
inline constexpr std::string_view tracking_failed = "Tracking function failed";
inline constexpr std::string_view no_drawing_context = "Could not create device context for test image";
inline constexpr std::string_view displaying = "Displaying tracked corners on images";
inline constexpr std::string_view done = "Done";
} // namespace message

inline constexpr int success_status = 0;
inline constexpr int failure_status = -1;

// The pacing of the display: each of the four alternations shows copy 2, then copy 1,
// for one short pause each; copy 1 then stays for the long pause.
inline constexpr int alternations = 4;
inline constexpr std::chrono::milliseconds short_pause{500};
inline constexpr std::chrono::milliseconds long_pause{2000};

// Runs the whole demonstration in the current directory. Messages go to the display's
// message boxes, the tracked points to `results`, one line each. Returns
// success_status after a complete run and failure_status after a failure.
int run_demonstration(ComponentSystem &components, Imaging &imaging, Display &display, std::ostream &results);

} // namespace trackdemo
