// CoMorvane: the component's tracker object. One object with three views
// (ISupportErrorInfo, IMorvane, _IMorvane) and one reference count and identity,
// usable standalone or as the inner object of an aggregate.
#pragma once

#include "tracker.h"

#include <morvane.h>

namespace morvane {

class co_morvane final : public ISupportErrorInfo, public IMorvane, public _IMorvane {
public:
    // outer: the controlling unknown when aggregated, null when standalone.
    explicit co_morvane(IUnknown *outer);

    // Standalone creation: a new object queried for riid, or its teardown on failure.
    static HRESULT create_standalone(REFIID riid, void **object);

    // Construction step: defaults (already set by the tracker) and the
    // aggregated free-threaded marshaler.
    HRESULT construct();
    // Final-release step: frees the tracker's buffers and the marshaler.
    void final_release();
    // Releases the object's memory once final_release has run.
    void destroy();

    // The interface table search, without delegation to an outer unknown.
    HRESULT query_own_interface(REFIID riid, void **object);
    void release_marshaler();

    // IUnknown (every view): standalone counting, or delegation to the outer unknown.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ISupportErrorInfo, then the class's own virtual operation.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;
    virtual IUnknown *controlling_unknown();

    // IDispatch, through the module's type information.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo **info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID lcid,
                                            DISPID *ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception,
                                     UINT *arg_error) override;

    // IMorvane: the tracker's members.
    HRESULT STDMETHODCALLTYPE get_lines(LONG *value) override;
    HRESULT STDMETHODCALLTYPE put_lines(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_columns(LONG *value) override;
    HRESULT STDMETHODCALLTYPE put_columns(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_max_features(LONG *value) override;
    HRESULT STDMETHODCALLTYPE put_max_features(LONG value) override;
    HRESULT STDMETHODCALLTYPE track_corners(VARIANT imgA, VARIANT imgB, VARIANT features,
                                            VARIANT *matches) override;
    HRESULT STDMETHODCALLTYPE create_morvane() override;
    HRESULT STDMETHODCALLTYPE destroy_morvane() override;
    HRESULT STDMETHODCALLTYPE get_stop_iterations(LONG *value) override;
    HRESULT STDMETHODCALLTYPE put_stop_iterations(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_stop_epsilon(FLOAT *value) override;
    HRESULT STDMETHODCALLTYPE put_stop_epsilon(FLOAT value) override;
    HRESULT STDMETHODCALLTYPE get_feature_width(LONG *value) override;
    HRESULT STDMETHODCALLTYPE put_feature_width(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_feature_height(LONG *value) override;
    HRESULT STDMETHODCALLTYPE put_feature_height(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_pyramid_levels(LONG *value) override;
    HRESULT STDMETHODCALLTYPE put_pyramid_levels(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_calc_match_residue(LONG *value) override;
    HRESULT STDMETHODCALLTYPE put_calc_match_residue(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_match_residue(VARIANT *value) override;

    // _IMorvane
    HRESULT STDMETHODCALLTYPE _track_corners(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA,
                                             FLOAT *featB, BYTE *status, FLOAT *residue) override;

    LONG reference_count() const { return count_; }

private:
    ~co_morvane() = default;
    friend class co_morvane_aggregate;

    LONG count_ = 0;
    IUnknown *outer_;              // not counted: the outer object owns the inner one
    IUnknown *marshaler_ = nullptr; // inner unknown of the aggregated free-threaded marshaler
    Tracker tracker_;
};

// The instance creator of the class table: standalone without an outer unknown,
// aggregated with one.
HRESULT create_co_morvane(IUnknown *outer, REFIID riid, void **object);

} // namespace morvane
