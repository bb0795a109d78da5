// CoMorvane's object frame: construction and final release, identity and reference counting,
// error-information support and the IDispatch members that go to the late-bound layer.
#include "co_morvane.h"

#include "co_morvane_aggregate.h"
#include "dispatch.h"
#include "module.h"
#include "module_heap.h"

#include <boundary.h>

#include <new>

namespace morvane {

co_morvane::co_morvane(IUnknown *outer) : outer_(outer) {}

HRESULT co_morvane::construct()
{
    // The tracker's constructor has marked its buffers absent and set the defaults.
    return CoCreateFreeThreadedMarshaler(controlling_unknown(), &marshaler_);
}

void co_morvane::final_release()
{
    static_cast<IMorvane *>(this)->destroy_morvane();
    release_marshaler();
}

void co_morvane::release_marshaler()
{
    if (IUnknown *marshaler = marshaler_) {
        marshaler_ = nullptr;
        marshaler->Release();
    }
}

void co_morvane::destroy()
{
    this->~co_morvane();
    module_free(this);
}

IUnknown *co_morvane::controlling_unknown()
{
    return outer_ ? outer_ : static_cast<IMorvane *>(this);
}

HRESULT co_morvane::query_own_interface(REFIID riid, void **object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    IUnknown *view = nullptr;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMorvane) ||
        IsEqualGUID(riid, IID_IDispatch)) {
        view = static_cast<IMorvane *>(this);
    } else if (IsEqualGUID(riid, IID_ISupportErrorInfo)) {
        view = static_cast<ISupportErrorInfo *>(this);
    } else if (IsEqualGUID(riid, IID_IMarshal)) {
        // Handed on to the aggregated free-threaded marshaler.
        return marshaler_ ? marshaler_->QueryInterface(riid, object) : E_NOINTERFACE;
    } else if (IsEqualGUID(riid, IID__IMorvane)) {
        view = static_cast<_IMorvane *>(this);
    } else {
        return E_NOINTERFACE;
    }
    view->AddRef();
    *object = view;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE co_morvane::QueryInterface(REFIID riid, void **object)
{
    if (!outer_)
        return query_own_interface(riid, object);
    HRESULT result = outer_->QueryInterface(riid, object);
    if (FAILED(result))
        result = query_own_interface(riid, object);
    return result;
}

ULONG STDMETHODCALLTYPE co_morvane::AddRef()
{
    if (outer_)
        return outer_->AddRef();
    return static_cast<ULONG>(InterlockedIncrement(&count_));
}

ULONG STDMETHODCALLTYPE co_morvane::Release()
{
    if (outer_)
        return outer_->Release();
    LONG count = InterlockedDecrement(&count_);
    if (count == 0) {
        // Teardown: a count of 1 keeps references taken and dropped by the
        // final-release step from starting a second teardown.
        count_ = 1;
        final_release();
        unlock_module();
        release_marshaler();
        destroy();
    }
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE co_morvane::InterfaceSupportsErrorInfo(REFIID riid)
{
    return tracker_.InterfaceSupportsErrorInfo(riid);
}

HRESULT STDMETHODCALLTYPE co_morvane::GetTypeInfoCount(UINT *count)
{
    return guarded(hresult_failures, [&] { return dispatch_type_info_count(count); });
}

HRESULT STDMETHODCALLTYPE co_morvane::GetTypeInfo(UINT index, LCID lcid, ITypeInfo **info)
{
    return guarded(hresult_failures, [&] { return dispatch_type_info(index, lcid, info); });
}

HRESULT STDMETHODCALLTYPE co_morvane::GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count,
                                                    LCID lcid, DISPID *ids)
{
    return guarded(hresult_failures,
                   [&] { return dispatch_ids_of_names(riid, names, count, lcid, ids); });
}

HRESULT STDMETHODCALLTYPE co_morvane::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                             DISPPARAMS *params, VARIANT *result,
                                             EXCEPINFO *exception, UINT *arg_error)
{
    return guarded(hresult_failures, [&] {
        return dispatch_invoke(static_cast<IMorvane *>(this), id, riid, lcid, flags, params, result,
                               exception, arg_error);
    });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_lines(LONG *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_lines(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::put_lines(LONG value)
{
    return guarded(hresult_failures, [&] { return tracker_.put_lines(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_columns(LONG *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_columns(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::put_columns(LONG value)
{
    return guarded(hresult_failures, [&] { return tracker_.put_columns(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_max_features(LONG *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_max_features(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::put_max_features(LONG value)
{
    return guarded(hresult_failures, [&] { return tracker_.put_max_features(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::track_corners(VARIANT imgA, VARIANT imgB, VARIANT features,
                                                    VARIANT *matches)
{
    return guarded(hresult_failures,
                   [&] { return tracker_.track_corners(imgA, imgB, features, matches); });
}

HRESULT STDMETHODCALLTYPE co_morvane::create_morvane()
{
    return guarded(hresult_failures, [&] { return tracker_.create_morvane(); });
}

HRESULT STDMETHODCALLTYPE co_morvane::destroy_morvane()
{
    return guarded(hresult_failures, [&] { return tracker_.destroy_morvane(); });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_stop_iterations(LONG *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_stop_iterations(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::put_stop_iterations(LONG value)
{
    return guarded(hresult_failures, [&] { return tracker_.put_stop_iterations(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_stop_epsilon(FLOAT *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_stop_epsilon(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::put_stop_epsilon(FLOAT value)
{
    return guarded(hresult_failures, [&] { return tracker_.put_stop_epsilon(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_feature_width(LONG *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_feature_width(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::put_feature_width(LONG value)
{
    return guarded(hresult_failures, [&] { return tracker_.put_feature_width(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_feature_height(LONG *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_feature_height(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::put_feature_height(LONG value)
{
    return guarded(hresult_failures, [&] { return tracker_.put_feature_height(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_pyramid_levels(LONG *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_pyramid_levels(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::put_pyramid_levels(LONG value)
{
    return guarded(hresult_failures, [&] { return tracker_.put_pyramid_levels(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_calc_match_residue(LONG *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_calc_match_residue(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::put_calc_match_residue(LONG value)
{
    return guarded(hresult_failures, [&] { return tracker_.put_calc_match_residue(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::get_match_residue(VARIANT *value)
{
    return guarded(hresult_failures, [&] { return tracker_.get_match_residue(value); });
}

HRESULT STDMETHODCALLTYPE co_morvane::_track_corners(BYTE *imgA, BYTE *imgB, LONG count,
                                                     FLOAT *featA, FLOAT *featB, BYTE *status,
                                                     FLOAT *residue)
{
    return guarded(hresult_failures, [&] {
        return tracker_._track_corners(imgA, imgB, count, featA, featB, status, residue);
    });
}

HRESULT co_morvane::create_standalone(REFIID riid, void **object)
{
    void *block = module_alloc(sizeof(co_morvane));
    if (!block)
        return E_OUTOFMEMORY;
    auto *tracker = new (block) co_morvane(nullptr);
    lock_module();
    // A temporary reference keeps references taken and dropped during
    // construction from destroying the object.
    InterlockedIncrement(&tracker->count_);
    HRESULT result = tracker->construct();
    InterlockedDecrement(&tracker->count_);
    if (result == S_OK) {
        result = tracker->QueryInterface(riid, object);
        if (result == S_OK)
            return S_OK;
    }
    tracker->count_ = 1;
    tracker->Release();
    return result;
}

HRESULT create_co_morvane(IUnknown *outer, REFIID riid, void **object)
{
    if (!outer)
        return co_morvane::create_standalone(riid, object);
    return co_morvane_aggregate::create(outer, riid, object);
}

} // namespace morvane
