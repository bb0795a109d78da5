// The tracker's properties: readers, validated writers and their messages.
#include "tracker.h"
#include "tracker_messages.h"

namespace morvane {

template <typename T>
HRESULT Tracker::read(T *location, T value)
{
    if (!location)
        return fail(E_POINTER, messages::null_pointer);
    *location = value;
    return S_OK;
}

template <typename T>
HRESULT Tracker::write(T &field, T value, bool accepted, const char *message)
{
    if (!accepted)
        return fail(E_INVALIDARG, message);
    field = value;
    return S_OK;
}

// Frame size and capacity: every accepted write, even of the same value, makes
// the buffers stale until the next create_morvane.
HRESULT Tracker::write_geometry(LONG &field, LONG value, const char *message)
{
    const HRESULT result = write(field, value, value > 0, message);
    if (SUCCEEDED(result))
        props_changed_ = true;
    return result;
}

HRESULT Tracker::get_lines(LONG *value)
{
    const StateGuard guard(state_lock_);
    return read(value, lines_);
}
HRESULT Tracker::put_lines(LONG value)
{
    const StateGuard guard(state_lock_);
    return write_geometry(lines_, value, messages::lines);
}

HRESULT Tracker::get_columns(LONG *value)
{
    const StateGuard guard(state_lock_);
    return read(value, columns_);
}
HRESULT Tracker::put_columns(LONG value)
{
    const StateGuard guard(state_lock_);
    return write_geometry(columns_, value, messages::columns);
}

HRESULT Tracker::get_max_features(LONG *value)
{
    const StateGuard guard(state_lock_);
    return read(value, max_features_);
}
HRESULT Tracker::put_max_features(LONG value)
{
    const StateGuard guard(state_lock_);
    return write_geometry(max_features_, value, messages::max_features);
}

HRESULT Tracker::get_stop_iterations(LONG *value)
{
    const StateGuard guard(state_lock_);
    return read(value, stop_iterations_);
}
HRESULT Tracker::put_stop_iterations(LONG value)
{
    const StateGuard guard(state_lock_);
    return write(stop_iterations_, value, value > 0, messages::stop_iterations);
}

HRESULT Tracker::get_stop_epsilon(FLOAT *value)
{
    const StateGuard guard(state_lock_);
    return read(value, stop_epsilon_);
}
HRESULT Tracker::put_stop_epsilon(FLOAT value)
{
    const StateGuard guard(state_lock_);
    // NaN and -0.0 fail this comparison; +infinity passes.
    return write(stop_epsilon_, value, value > 0.0f, messages::stop_epsilon);
}

HRESULT Tracker::get_feature_width(LONG *value)
{
    const StateGuard guard(state_lock_);
    return read(value, feature_width_);
}
HRESULT Tracker::put_feature_width(LONG value)
{
    const StateGuard guard(state_lock_);
    return write(feature_width_, value, value > 0, messages::feature_width);
}

HRESULT Tracker::get_feature_height(LONG *value)
{
    const StateGuard guard(state_lock_);
    return read(value, feature_height_);
}
HRESULT Tracker::put_feature_height(LONG value)
{
    const StateGuard guard(state_lock_);
    return write(feature_height_, value, value > 0, messages::feature_height);
}

HRESULT Tracker::get_pyramid_levels(LONG *value)
{
    const StateGuard guard(state_lock_);
    return read(value, pyramid_levels_);
}
HRESULT Tracker::put_pyramid_levels(LONG value)
{
    const StateGuard guard(state_lock_);
    return write(pyramid_levels_, value, value >= 0, messages::pyramid_levels);
}

HRESULT Tracker::get_calc_match_residue(LONG *value)
{
    const StateGuard guard(state_lock_);
    return read(value, calc_match_residue_);
}
HRESULT Tracker::put_calc_match_residue(LONG value)
{
    const StateGuard guard(state_lock_);
    calc_match_residue_ = value;
    return S_OK;
}

} // namespace morvane
