// A bounded queue between the decoding thread and the caller; the thread stops at the input's end or first failure.
#include "decode_ahead.h"

#include <fcntl.h>
#include <unistd.h>

namespace morvane::track {

namespace {

// Frames decoded ahead at most: enough to cover a slow frame, little memory.
constexpr std::size_t frames_ahead = 3;

} // namespace

std::unique_ptr<DecodeAhead> DecodeAhead::open(const std::string &input, int wake, std::string &error)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        error = "cannot make a pipe for the decoding thread";
        return nullptr;
    }
    auto sequence = open_sequence(input, {wake, ends[0]}, error);
    if (!sequence) {
        close(ends[0]);
        close(ends[1]);
        return nullptr;
    }
    return std::unique_ptr<DecodeAhead>(new DecodeAhead(std::move(sequence), ends[0], ends[1]));
}

DecodeAhead::DecodeAhead(std::unique_ptr<FrameSequence> sequence, int stop_read, int stop_write)
    : sequence_(std::move(sequence)), count_(sequence_->count()), fps_(sequence_->fps()),
      sources_(sequence_->sources()), stop_read_(stop_read), stop_write_(stop_write)
{
    thread_ = std::thread([this] { decode(); });
}

DecodeAhead::~DecodeAhead()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(stop_write_, &byte, 1);
    thread_.join();
    close(stop_read_);
    close(stop_write_);
}

void DecodeAhead::decode()
{
    for (;;) {
        Decoded decoded;
        decoded.read = sequence_->next(decoded.grey, decoded.error);
        decoded.name = sequence_->frame_name();
        const bool last = decoded.read != FrameSequence::Read::frame;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || ready_.size() < frames_ahead; });
        if (stopping_)
            return;
        ready_.push_back(std::move(decoded));
        changed_.notify_all();
        if (last)
            return;
    }
}

FrameSequence::Read DecodeAhead::next(cv::Mat &grey, std::string &error)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty(); });
    Decoded &front = ready_.front();
    const FrameSequence::Read read = front.read;
    name_ = front.name;
    error = front.error;
    grey = std::move(front.grey);
    // The last item stays, so that every later call gives the same answer.
    if (read == FrameSequence::Read::frame)
        ready_.pop_front();
    changed_.notify_all();
    return read;
}

} // namespace morvane::track
