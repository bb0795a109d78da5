// The tracker's properties: readers, validated writers and their messages.
#include "tracker.h"
#include "tracker_messages.h"

namespace morvane {

// Each reader and writer holds the object's lock while it touches the field.
template <typename T>
HRESULT Tracker::read(T *location, const T &field)
{
    if (!location)
        return fail(E_POINTER, messages::null_pointer);
    const StateGuard guard(state_lock_);
    *location = field;
    return S_OK;
}

// A geometry write (frame size, capacity) makes the buffers stale until the next
// create_morvane, even when it writes the value already there.
template <typename T>
HRESULT Tracker::write(T &field, T value, bool accepted, const char *message, bool geometry)
{
    if (!accepted)
        return fail(E_INVALIDARG, message);
    const StateGuard guard(state_lock_);
    field = value;
    if (geometry)
        props_changed_ = true;
    return S_OK;
}

HRESULT Tracker::get_lines(LONG *value)
{
    return read(value, lines_);
}
HRESULT Tracker::put_lines(LONG value)
{
    return write(lines_, value, value > 0, messages::lines, true);
}

HRESULT Tracker::get_columns(LONG *value)
{
    return read(value, columns_);
}
HRESULT Tracker::put_columns(LONG value)
{
    return write(columns_, value, value > 0, messages::columns, true);
}

HRESULT Tracker::get_max_features(LONG *value)
{
    return read(value, max_features_);
}
HRESULT Tracker::put_max_features(LONG value)
{
    return write(max_features_, value, value > 0, messages::max_features, true);
}

HRESULT Tracker::get_stop_iterations(LONG *value)
{
    return read(value, stop_iterations_);
}
HRESULT Tracker::put_stop_iterations(LONG value)
{
    return write(stop_iterations_, value, value > 0, messages::stop_iterations);
}

HRESULT Tracker::get_stop_epsilon(FLOAT *value)
{
    return read(value, stop_epsilon_);
}
HRESULT Tracker::put_stop_epsilon(FLOAT value)
{
    // NaN and -0.0 fail this comparison; +infinity passes.
    return write(stop_epsilon_, value, value > 0.0f, messages::stop_epsilon);
}

HRESULT Tracker::get_feature_width(LONG *value)
{
    return read(value, feature_width_);
}
HRESULT Tracker::put_feature_width(LONG value)
{
    return write(feature_width_, value, value > 0, messages::feature_width);
}

HRESULT Tracker::get_feature_height(LONG *value)
{
    return read(value, feature_height_);
}
HRESULT Tracker::put_feature_height(LONG value)
{
    return write(feature_height_, value, value > 0, messages::feature_height);
}

HRESULT Tracker::get_pyramid_levels(LONG *value)
{
    return read(value, pyramid_levels_);
}
HRESULT Tracker::put_pyramid_levels(LONG value)
{
    return write(pyramid_levels_, value, value >= 0, messages::pyramid_levels);
}

HRESULT Tracker::get_calc_match_residue(LONG *value)
{
    return read(value, calc_match_residue_);
}
HRESULT Tracker::put_calc_match_residue(LONG value)
{
    const StateGuard guard(state_lock_);
    calc_match_residue_ = value;
    return S_OK;
}

} // namespace morvane
