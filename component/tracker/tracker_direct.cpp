// The direct tracking call: raw frames and float point arrays of the caller.
#include "flow_tracking.h"
#include "tracker.h"
#include "tracker_messages.h"

namespace morvane {

HRESULT Tracker::_track_corners(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA, FLOAT *featB,
                                BYTE *status, FLOAT *residue)
{
    const StateGuard guard(state_lock_);
    return track_frames(imgA, imgB, count, featA, featB, status, residue);
}

HRESULT Tracker::track_frames(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA, FLOAT *featB,
                              BYTE *status, FLOAT *residue)
{
    if (!imgA || !imgB || !featA || !featB || !status)
        return fail(E_POINTER, messages::null_pointer);
    if (count < 0)
        return fail(E_INVALIDARG, messages::negative_count);
    const auto window = flow_window(columns_, lines_, feature_width_, feature_height_);
    if (!window)
        return fail(E_INVALIDARG, messages::window_too_large);

    const FlowSettings settings{columns_,        lines_,           *window,
                               pyramid_levels_, stop_iterations_, static_cast<double>(stop_epsilon_)};
    const FlowBuffers buffers{imgA, imgB, count, featA, featB, status, residue};
    try {
        if (pyramid_a_ && pyramid_b_) {
            track_flow(settings, buffers, *pyramid_a_, *pyramid_b_);
        } else {
            // Released object: pyramid storage for this call only.
            FlowPyramid pyramid_a;
            FlowPyramid pyramid_b;
            track_flow(settings, buffers, pyramid_a, pyramid_b);
        }
    } catch (...) {
        // Nothing the imaging library throws may leave the component.
        return fail(E_FAIL, messages::tracking_failed);
    }
    return S_OK;
}

} // namespace morvane
