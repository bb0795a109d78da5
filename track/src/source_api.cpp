// The frame source's C functions over the decoding thread.
#include "api_result.h"
#include "decode_ahead.h"
#include "output_guard.h"

using morvane::track::DecodeAhead;
using morvane::track::failed;
using morvane::track::FrameSequence;
using morvane::track::guarded;

struct morvane_track_source {
    std::unique_ptr<DecodeAhead> frames;
    cv::Mat current;           // the frame last handed out
    mutable std::string overwritten; // the answer of the last overwritten() call
};

extern "C" {

int morvane_track_source_open(const char *input, int wake, morvane_track_source **source)
{
    return guarded([&]() -> int {
        if (input == nullptr || source == nullptr)
            return failed(MORVANE_TRACK_INVALID, "no input or no place for the source");
        *source = nullptr;
        std::string error;
        auto frames = DecodeAhead::open(input, wake, error);
        if (!frames)
            return failed(MORVANE_TRACK_READ, error);
        *source = new morvane_track_source{std::move(frames), {}, {}};
        return MORVANE_TRACK_OK;
    });
}

int morvane_track_source_next(morvane_track_source *source, const unsigned char **pixels, int *width, int *height,
                              ptrdiff_t *stride)
{
    return guarded([&]() -> int {
        if (source == nullptr || pixels == nullptr || width == nullptr || height == nullptr || stride == nullptr)
            return failed(MORVANE_TRACK_INVALID, "no source or no place for the frame");
        std::string error;
        switch (source->frames->next(source->current, error)) {
        case FrameSequence::Read::frame: break;
        case FrameSequence::Read::end: return failed(MORVANE_TRACK_END, "no more frames");
        case FrameSequence::Read::woken: return failed(MORVANE_TRACK_WOKEN, "the wait for a frame was ended");
        case FrameSequence::Read::failed: return failed(MORVANE_TRACK_READ, error);
        }
        *pixels = source->current.ptr<unsigned char>();
        *width = source->current.cols;
        *height = source->current.rows;
        *stride = static_cast<ptrdiff_t>(source->current.step[0]);
        return MORVANE_TRACK_OK;
    });
}

const char *morvane_track_source_frame_name(const morvane_track_source *source)
{
    return source != nullptr ? source->frames->frame_name().c_str() : "";
}

long morvane_track_source_frame_count(const morvane_track_source *source)
{
    return source != nullptr ? source->frames->count().value_or(0) : 0;
}

double morvane_track_source_fps(const morvane_track_source *source)
{
    return source != nullptr ? source->frames->fps().value_or(0.0) : 0.0;
}

const char *morvane_track_source_overwritten(const morvane_track_source *source, const char *output, int folder)
{
    if (source == nullptr || output == nullptr)
        return nullptr;
    try {
        const auto input = morvane::track::overwritten_input(output, folder != 0, source->frames->sources());
        if (!input)
            return nullptr;
        source->overwritten = *input;
        return source->overwritten.c_str();
    } catch (...) {
        return nullptr;
    }
}

void morvane_track_source_close(morvane_track_source *source) { delete source; }

} // extern "C"
