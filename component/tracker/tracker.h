// The tracker object: frame geometry and tracking parameters as validated
// properties, the working buffers that create_morvane allocates, the direct and
// the matrix tracking calls, and the error record every failing member leaves.
// The component's class object holds one Tracker and forwards each member of
// its interfaces to it.
//
// The class hands out the free-threaded marshaler, so any client thread may
// call any member at any time. Every member that reads or changes the object's
// state holds the object's own lock for its whole duration: concurrent calls on
// one object run one after the other, with the results of some serial order.
#pragma once

#include "module_array.h"

#include <windows.h>

#include <memory>
#include <mutex>

namespace morvane {

class FlowPyramid;

class Tracker {
public:
    Tracker();
    ~Tracker();
    Tracker(const Tracker &) = delete;
    Tracker &operator=(const Tracker &) = delete;

    // Properties. Readers return E_POINTER for a null location; writers refuse
    // invalid values with E_INVALIDARG and leave the stored value.
    HRESULT get_lines(LONG *value);
    HRESULT put_lines(LONG value);
    HRESULT get_columns(LONG *value);
    HRESULT put_columns(LONG value);
    HRESULT get_max_features(LONG *value);
    HRESULT put_max_features(LONG value);
    HRESULT get_stop_iterations(LONG *value);
    HRESULT put_stop_iterations(LONG value);
    HRESULT get_stop_epsilon(FLOAT *value);
    HRESULT put_stop_epsilon(FLOAT value);
    HRESULT get_feature_width(LONG *value);
    HRESULT put_feature_width(LONG value);
    HRESULT get_feature_height(LONG *value);
    HRESULT put_feature_height(LONG value);
    HRESULT get_pyramid_levels(LONG *value);
    HRESULT put_pyramid_levels(LONG value);
    HRESULT get_calc_match_residue(LONG *value);
    HRESULT put_calc_match_residue(LONG value);

    // Working buffers.
    HRESULT create_morvane();
    HRESULT destroy_morvane();

    // Tracking over raw frames and float point arrays owned by the caller.
    HRESULT _track_corners(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA, FLOAT *featB,
                           BYTE *status, FLOAT *residue);
    // Tracking over automation matrices; matches receives a new n × 3 matrix.
    HRESULT track_corners(VARIANT imgA, VARIANT imgB, VARIANT features, VARIANT *matches);
    // The residues of the last run that computed them, as a new vector.
    HRESULT get_match_residue(VARIANT *value);

    HRESULT InterfaceSupportsErrorInfo(REFIID riid);
    // Publishes message as the calling thread's error record; returns DISP_E_EXCEPTION.
    HRESULT report_error(const char *message);

    // State views for the component's own checks and tests.
    bool allocated() const;
    bool properties_changed() const { return props_changed_; }
    const FlowPyramid *pyramid_a() const { return pyramid_a_.get(); }
    const FlowPyramid *pyramid_b() const { return pyramid_b_.get(); }

private:
    using StateGuard = std::scoped_lock<std::mutex>;

    // The direct tracking call without taking the lock, for track_corners,
    // which holds it already.
    HRESULT track_frames(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA, FLOAT *featB,
                         BYTE *status, FLOAT *residue);
    HRESULT release_buffers();
    // Reports message and returns code, the shape of every failure.
    HRESULT fail(HRESULT code, const char *message);
    template <typename T> HRESULT read(T *location, const T &field);
    template <typename T>
    HRESULT write(T &field, T value, bool accepted, const char *message, bool geometry = false);
    HRESULT allocate_buffers();
    bool holds_every_buffer() const;
    bool holds_any_buffer() const;

    LONG lines_ = 144;
    LONG columns_ = 192;
    LONG max_features_ = 400;
    LONG stop_iterations_ = 5;
    FLOAT stop_epsilon_ = 0.1f;
    LONG feature_width_ = 2;
    LONG feature_height_ = 2;
    LONG pyramid_levels_ = 0;
    LONG calc_match_residue_ = 0;

    bool props_changed_ = false;

    // Held by every member that reads or changes what follows or the settings above.
    std::mutex state_lock_;

    // Present together after a successful create_morvane, absent together otherwise.
    std::unique_ptr<FlowPyramid> pyramid_a_;
    std::unique_ptr<FlowPyramid> pyramid_b_;
    ModuleArray<FLOAT> feat_a_;      // max_features (x, y) pairs
    ModuleArray<FLOAT> feat_b_;      // max_features (x, y) pairs
    ModuleArray<BYTE> status_buf_;   // max_features found flags
    ModuleArray<FLOAT> residue_buf_; // max_features residues
    LONG capacity_ = 0;              // points the arrays hold
    LONG residue_count_ = 0;         // valid entries of residue_buf_
};

} // namespace morvane
