// Pyramidal Lucas–Kanade tracking over caller-owned memory, with pyramid
// storage that survives between runs. Knows nothing of the component's
// interfaces: it works on plain pointers and sizes and reports failures by
// throwing (cv::Exception, std::bad_alloc); the tracker turns those into
// result codes.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <optional>
#include <vector>

namespace morvane {

// Full window extent (2·half+1 in each direction) for a frame of the given size,
// or nothing when the library cannot work with it: an extent beyond 32 bits, a
// padded pyramid level whose side does not fit the library's int sizes, or a
// window whose pixel count (times the three values kept per pixel) does not.
std::optional<cv::Size> flow_window(std::int64_t columns, std::int64_t lines,
                                    std::int64_t half_width, std::int64_t half_height);

// The pyramid of one frame with its gradients: levels, each an interior view of
// a buffer padded by the window on every side. The buffers are kept and reused
// as long as frame size, window and depth stay, and so is the pyramid itself:
// a run over a frame with exactly the bytes it was built from uses it again.
class FlowPyramid {
public:
    // Allocates the padded base level for frames of this size and window, so
    // that even the first run finds its largest buffer. Forgets what was built.
    void reserve(cv::Size frame, cv::Size window);

    // Whether the kept pyramid was built from a frame with exactly these bytes,
    // for this window and depth. The bytes are compared, not the address: a
    // caller may fill one buffer with new content for every run.
    bool holds(const cv::Mat &frame, cv::Size window, int max_level) const;

    // Rebuilds the pyramid and gradients of frame into the kept buffers.
    void build(const cv::Mat &frame, cv::Size window, int max_level);

    const std::vector<cv::Mat> &levels() const { return levels_; }

private:
    std::vector<cv::Mat> levels_; // image and gradient of each level, in turn
    bool built_ = false;
    cv::Size window_;
    int max_level_ = 0;
};

// What one tracking run uses from the object's settings.
struct FlowSettings {
    int columns = 0;
    int lines = 0;
    cv::Size window;  // full extent, from flow_window
    int max_level = 0;
    int iterations = 0;
    double epsilon = 0.0;
};

// Caller memory of one run. Frames are lines × columns bytes with a row stride
// of columns; the point arrays hold count (x, y) float pairs; residue may be null.
struct FlowBuffers {
    const std::uint8_t *frame_a = nullptr;
    const std::uint8_t *frame_b = nullptr;
    int count = 0;
    const float *points_a = nullptr;
    float *points_b = nullptr;
    std::uint8_t *status = nullptr;
    float *residue = nullptr;
};

// Tracks the points of frame a into frame b. Either kept pyramid serves either
// frame when it holds that frame's bytes; a frame that neither holds is built
// into the other one, so that a run back from b to a, or on from b to the
// next frame, builds at most one pyramid. Results land directly in the
// caller's arrays; entries past count are never touched. Throws on failure.
void track_flow(const FlowSettings &settings, const FlowBuffers &buffers, FlowPyramid &pyramid_a,
                FlowPyramid &pyramid_b);

// The deepest level worth asking for: below it every frame that fits the
// library's int sizes has shrunk under the smallest window, so deeper requests
// build the same pyramid.
inline constexpr int flow_level_limit = 30;

} // namespace morvane
