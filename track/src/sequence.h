// The frames of a run, in order, as 8-bit grey images: from a video file, a
// folder of images in natural order, or a printf-style file name pattern.
#pragma once

#include "file_bytes.h"

#include <opencv2/core.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvane::track {

class FrameSequence {
public:
    virtual ~FrameSequence() = default;

    // Number of frames when the source knows it.
    virtual std::optional<long> count() const = 0;

    // Frames per second of a video; nothing for images.
    virtual std::optional<double> fps() const { return std::nullopt; }

    // woken: the wake-up descriptor turned readable while a frame was awaited.
    enum class Read { frame, end, failed, woken };
    // The next frame in grey; on failure, why in `error`.
    virtual Read next(cv::Mat &grey, std::string &error) = 0;

    // A name for the frame last read or attempted, for messages.
    virtual std::string frame_name() const = 0;

    // The files the frames come from (with a folder's, the folder itself).
    virtual std::vector<std::string> sources() const = 0;
};

// Opens input as a folder or a video when such a path exists, else as a
// pattern (it contains '%'); nothing and a reason in `error` when it cannot
// be opened. A wait for an image file (a pipe) ends when one of wakes turns
// readable.
std::unique_ptr<FrameSequence> open_sequence(const std::string &input, const WakeDescriptors &wakes,
                                             std::string &error);

// Colour and 16-bit images as 8-bit grey.
cv::Mat to_grey(const cv::Mat &image);

} // namespace morvane::track
