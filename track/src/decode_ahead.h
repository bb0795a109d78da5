// Frames read and decoded on a thread of their own, a few ahead of the one the
// caller tracks, so that decoding and tracking use two cores.
#pragma once

#include "sequence.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace morvane::track {

class DecodeAhead {
public:
    // Opens input (see open_sequence); nothing and why in `error` on failure.
    // A readable `wake` ends a wait for a frame from a pipe.
    static std::unique_ptr<DecodeAhead> open(const std::string &input, int wake, std::string &error);
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead &) = delete;
    DecodeAhead &operator=(const DecodeAhead &) = delete;

    // The next frame, in the order of the input; on failure why in `error`.
    FrameSequence::Read next(cv::Mat &grey, std::string &error);
    // The frame last handed out or failed, for messages.
    const std::string &frame_name() const { return name_; }

    std::optional<long> count() const { return count_; }
    std::optional<double> fps() const { return fps_; }
    const std::vector<std::string> &sources() const { return sources_; }

private:
    struct Decoded {
        FrameSequence::Read read;
        cv::Mat grey;
        std::string name;
        std::string error;
    };
    DecodeAhead(std::unique_ptr<FrameSequence> sequence, int stop_read, int stop_write);
    void decode();

    std::unique_ptr<FrameSequence> sequence_; // used by the decoding thread alone once it runs
    std::optional<long> count_;
    std::optional<double> fps_;
    std::vector<std::string> sources_;
    int stop_read_;  // readable once the object closes: ends the thread's wait on a pipe
    int stop_write_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Decoded> ready_;
    bool stopping_ = false;
    std::string name_;
    std::thread thread_;
};

} // namespace morvane::track
