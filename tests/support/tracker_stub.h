// Every IMorvane member but IUnknown's answering through one hook, for tracker
// stand-ins that implement only what their caller uses.
#pragma once

#include <windows.h>

#include <morvane.h>

namespace morvane::test {

class TrackerStub : public IMorvane {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override { return unexpected("GetTypeInfoCount"); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return unexpected("GetTypeInfo"); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override
    {
        return unexpected("GetIDsOfNames");
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return unexpected("Invoke");
    }
    HRESULT STDMETHODCALLTYPE get_lines(LONG *) override { return unexpected("get_lines"); }
    HRESULT STDMETHODCALLTYPE put_lines(LONG) override { return unexpected("put_lines"); }
    HRESULT STDMETHODCALLTYPE get_columns(LONG *) override { return unexpected("get_columns"); }
    HRESULT STDMETHODCALLTYPE put_columns(LONG) override { return unexpected("put_columns"); }
    HRESULT STDMETHODCALLTYPE get_max_features(LONG *) override { return unexpected("get_max_features"); }
    HRESULT STDMETHODCALLTYPE put_max_features(LONG) override { return unexpected("put_max_features"); }
    HRESULT STDMETHODCALLTYPE track_corners(VARIANT, VARIANT, VARIANT, VARIANT *) override
    {
        return unexpected("track_corners");
    }
    HRESULT STDMETHODCALLTYPE create_morvane() override { return unexpected("create_morvane"); }
    HRESULT STDMETHODCALLTYPE destroy_morvane() override { return unexpected("destroy_morvane"); }
    HRESULT STDMETHODCALLTYPE get_stop_iterations(LONG *) override { return unexpected("get_stop_iterations"); }
    HRESULT STDMETHODCALLTYPE put_stop_iterations(LONG) override { return unexpected("put_stop_iterations"); }
    HRESULT STDMETHODCALLTYPE get_stop_epsilon(FLOAT *) override { return unexpected("get_stop_epsilon"); }
    HRESULT STDMETHODCALLTYPE put_stop_epsilon(FLOAT) override { return unexpected("put_stop_epsilon"); }
    HRESULT STDMETHODCALLTYPE get_feature_width(LONG *) override { return unexpected("get_feature_width"); }
    HRESULT STDMETHODCALLTYPE put_feature_width(LONG) override { return unexpected("put_feature_width"); }
    HRESULT STDMETHODCALLTYPE get_feature_height(LONG *) override { return unexpected("get_feature_height"); }
    HRESULT STDMETHODCALLTYPE put_feature_height(LONG) override { return unexpected("put_feature_height"); }
    HRESULT STDMETHODCALLTYPE get_pyramid_levels(LONG *) override { return unexpected("get_pyramid_levels"); }
    HRESULT STDMETHODCALLTYPE put_pyramid_levels(LONG) override { return unexpected("put_pyramid_levels"); }
    HRESULT STDMETHODCALLTYPE get_calc_match_residue(LONG *) override { return unexpected("get_calc_match_residue"); }
    HRESULT STDMETHODCALLTYPE put_calc_match_residue(LONG) override { return unexpected("put_calc_match_residue"); }
    HRESULT STDMETHODCALLTYPE get_match_residue(VARIANT *) override { return unexpected("get_match_residue"); }

protected:
    // Called for every member a stand-in does not implement.
    virtual HRESULT unexpected(const char *) { return E_NOTIMPL; }
};

} // namespace morvane::test
