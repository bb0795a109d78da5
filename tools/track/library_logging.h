// The image and video libraries' own warnings, silenced unless asked for.
#pragma once

namespace morvane::track {

// Silences OpenCV's log and the video decoders' log; called before any video is opened.
void silence_libraries();

} // namespace morvane::track
