// Every IMorvane member but IUnknown's answering through one hook, for tracker
// stand-ins that implement only what their caller uses.
#pragma once

#include <windows.h>

#include <morvane.h>

namespace morvane::test {

// A member that answers through unexpected, under its own name.
#define MORVANE_STUB(member, ...) \
    HRESULT STDMETHODCALLTYPE member(__VA_ARGS__) override { return unexpected(#member); }

class TrackerStub : public IMorvane {
public:
    MORVANE_STUB(GetTypeInfoCount, UINT *)
    MORVANE_STUB(GetTypeInfo, UINT, LCID, ITypeInfo **)
    MORVANE_STUB(GetIDsOfNames, REFIID, LPOLESTR *, UINT, LCID, DISPID *)
    MORVANE_STUB(Invoke, DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *)
    MORVANE_STUB(get_lines, LONG *)
    MORVANE_STUB(put_lines, LONG)
    MORVANE_STUB(get_columns, LONG *)
    MORVANE_STUB(put_columns, LONG)
    MORVANE_STUB(get_max_features, LONG *)
    MORVANE_STUB(put_max_features, LONG)
    MORVANE_STUB(track_corners, VARIANT, VARIANT, VARIANT, VARIANT *)
    MORVANE_STUB(create_morvane)
    MORVANE_STUB(destroy_morvane)
    MORVANE_STUB(get_stop_iterations, LONG *)
    MORVANE_STUB(put_stop_iterations, LONG)
    MORVANE_STUB(get_stop_epsilon, FLOAT *)
    MORVANE_STUB(put_stop_epsilon, FLOAT)
    MORVANE_STUB(get_feature_width, LONG *)
    MORVANE_STUB(put_feature_width, LONG)
    MORVANE_STUB(get_feature_height, LONG *)
    MORVANE_STUB(put_feature_height, LONG)
    MORVANE_STUB(get_pyramid_levels, LONG *)
    MORVANE_STUB(put_pyramid_levels, LONG)
    MORVANE_STUB(get_calc_match_residue, LONG *)
    MORVANE_STUB(put_calc_match_residue, LONG)
    MORVANE_STUB(get_match_residue, VARIANT *)

protected:
    // Called for every member a stand-in does not implement.
    virtual HRESULT unexpected(const char *) { return E_NOTIMPL; }
};

} // namespace morvane::test

#undef MORVANE_STUB
