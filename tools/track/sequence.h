// The frames of a run, in order, as 8-bit grey images: from a video file, a
// folder of images in natural order, or a printf-style file name pattern.
#pragma once

#include <opencv2/core.hpp>

#include <memory>
#include <optional>
#include <string>

namespace morvane::track {

class FrameSequence {
public:
    virtual ~FrameSequence() = default;

    // Number of frames when the source knows it.
    virtual std::optional<long> count() const = 0;

    // Frames per second of a video; nothing for images.
    virtual std::optional<double> fps() const { return std::nullopt; }

    enum class Read { frame, end, failed };
    // The next frame in grey; on failure, why in `error`.
    virtual Read next(cv::Mat &grey, std::string &error) = 0;

    // A name for the frame last read or attempted, for messages.
    virtual std::string frame_name() const = 0;
};

// Opens input as a folder, a pattern (it contains '%') or a video; nothing and
// a reason in `error` when it cannot be opened.
std::unique_ptr<FrameSequence> open_sequence(const std::string &input, std::string &error);

// Colour and 16-bit images as 8-bit grey.
cv::Mat to_grey(const cv::Mat &image);

} // namespace morvane::track
