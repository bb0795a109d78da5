// The tracker's working buffers: construction, create_morvane and destroy_morvane.
#include "flow_tracking.h"
#include "morvane_assert.h"
#include "tracker.h"
#include "tracker_messages.h"

#include <cstdint>
#include <new>

namespace morvane {

namespace {

// Levels beyond this can never divide a positive 32-bit dimension.
constexpr LONG decimation_level_limit = 30;

bool fits_decimation(LONG columns, LONG lines, LONG levels)
{
    if (levels > decimation_level_limit)
        return false;
    const std::int64_t factor = std::int64_t{1} << levels;
    return columns % factor == 0 && lines % factor == 0;
}

} // namespace

Tracker::Tracker() = default;

Tracker::~Tracker() { release_buffers(); }

bool Tracker::holds_every_buffer() const
{
    return pyramid_a_ && pyramid_b_ && feat_a_ && feat_b_ && status_buf_ && residue_buf_;
}

bool Tracker::holds_any_buffer() const
{
    return pyramid_a_ || pyramid_b_ || feat_a_ || feat_b_ || status_buf_ || residue_buf_;
}

bool Tracker::allocated() const
{
    // Outside create_morvane the buffers are never a partial set.
    MORVANE_ASSERT(holds_every_buffer() == holds_any_buffer());
    return holds_every_buffer();
}

HRESULT Tracker::create_morvane()
{
    const StateGuard guard(state_lock_);
    if (holds_any_buffer())
        release_buffers();
    if (!fits_decimation(columns_, lines_, pyramid_levels_))
        return fail(E_FAIL, messages::decimation);
    if (FAILED(allocate_buffers())) {
        release_buffers();
        return fail(E_OUTOFMEMORY, messages::out_of_memory);
    }
    capacity_ = max_features_;
    residue_count_ = 0;
    props_changed_ = false;
    return S_OK;
}

// Allocates the six buffers in order; on failure the caller releases what was made.
HRESULT Tracker::allocate_buffers()
{
    try {
        pyramid_a_ = std::make_unique<FlowPyramid>();
        pyramid_b_ = std::make_unique<FlowPyramid>();
        // Base levels sized and padded for the current window, so that tracking
        // with unchanged settings reuses them; a window the tracking call would
        // refuse gets plain frame-sized images.
        const cv::Size frame(columns_, lines_);
        const cv::Size window =
            flow_window(columns_, lines_, feature_width_, feature_height_).value_or(cv::Size());
        pyramid_a_->reserve(frame, window);
        pyramid_b_->reserve(frame, window);
    } catch (...) {
        // Only allocation can fail here: the imaging library reports it with
        // its own exception, the standard library with std::bad_alloc.
        return E_OUTOFMEMORY;
    }
    const auto points = static_cast<std::size_t>(max_features_);
    feat_a_ = allocate_module_array<FLOAT>(2 * points);
    feat_b_ = allocate_module_array<FLOAT>(2 * points);
    status_buf_ = allocate_module_array<BYTE>(points);
    residue_buf_ = allocate_module_array<FLOAT>(points);
    return holds_every_buffer() ? S_OK : E_OUTOFMEMORY;
}

HRESULT Tracker::destroy_morvane()
{
    const StateGuard guard(state_lock_);
    return release_buffers();
}

HRESULT Tracker::release_buffers()
{
    pyramid_a_.reset();
    pyramid_b_.reset();
    feat_b_.reset();
    status_buf_.reset();
    residue_buf_.reset();
    feat_a_.reset();
    capacity_ = 0;
    return S_OK;
}

} // namespace morvane
