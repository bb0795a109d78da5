// The tracker component's class and interfaces as the program calls them, by slot.
#ifndef TRACKDEMO_TRACKER_INTERFACES_H
#define TRACKDEMO_TRACKER_INTERFACES_H

#include <windows.h>

// {0200236D-46C7-4C75-A2A1-8FEFAF32B081}
inline constexpr CLSID CLSID_CoMorvane = {0x0200236D, 0x46C7, 0x4C75, {0xA2, 0xA1, 0x8F, 0xEF, 0xAF, 0x32, 0xB0, 0x81}};
// {B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1}
inline constexpr IID IID_IMorvane = {0xB446F6D3, 0xDFB4, 0x4BD7, {0xAB, 0x15, 0x0E, 0xCA, 0xEE, 0x6F, 0xD3, 0xB1}};
// {4D861AE9-9CF0-4A2E-AA67-89CD7063B59A}
inline constexpr IID IID__IMorvane = {0x4D861AE9, 0x9CF0, 0x4A2E, {0xAA, 0x67, 0x89, 0xCD, 0x70, 0x63, 0xB5, 0x9A}};

struct IMorvane : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_lines(LONG *pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_lines(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_columns(LONG *pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_columns(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_max_features(LONG *pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_max_features(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE track_corners(VARIANT imgA, VARIANT imgB, VARIANT features, VARIANT *matches) = 0;
    virtual HRESULT STDMETHODCALLTYPE create_morvane() = 0;
    virtual HRESULT STDMETHODCALLTYPE destroy_morvane() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_stop_iterations(LONG *pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_stop_iterations(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_stop_epsilon(FLOAT *pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_stop_epsilon(FLOAT newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_feature_width(LONG *pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_feature_width(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_feature_height(LONG *pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_feature_height(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_pyramid_levels(LONG *pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_pyramid_levels(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_calc_match_residue(LONG *pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_calc_match_residue(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_match_residue(VARIANT *pVal) = 0;
};

struct _IMorvane : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE _track_corners(BYTE *imgA, BYTE *imgB, LONG count, FLOAT *featA, FLOAT *featB,
                                                     BYTE *status, FLOAT *residue) = 0;
};

#endif
