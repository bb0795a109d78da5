/* A C client of the generated header: calls every member through the C tables by
 * name, in table order, with arguments a wrong slot or type would garble. */
#include <morvane.h>

#include <string.h>

_Static_assert(sizeof(IMorvaneVtbl) == 29 * sizeof(void *), "IMorvane has 29 slots");
_Static_assert(sizeof(_IMorvaneVtbl) == 4 * sizeof(void *), "_IMorvane has 4 slots");

void call_every_member(IMorvane *o)
{
    const IMorvaneVtbl *t = o->lpVtbl;
    void *any = NULL;
    UINT count = 0;
    ITypeInfo *info = NULL;
    LPOLESTR name = NULL;
    DISPID id = 0;
    LONG value = 0;
    FLOAT real = 0;
    VARIANT a, b, f, result;
    memset(&a, 0, sizeof a);
    a.vt = VT_I4;
    b = f = a;
    a.lVal = 13, b.lVal = 14, f.lVal = 15;
    t->QueryInterface(o, &IID_IUnknown, &any);
    t->AddRef(o);
    t->Release(o);
    t->GetTypeInfoCount(o, &count);
    t->GetTypeInfo(o, 0, 0x0409, &info);
    t->GetIDsOfNames(o, &IID_NULL, &name, 1, 0x0409, &id);
    t->Invoke(o, 6, &IID_NULL, 0x0409, DISPATCH_METHOD, NULL, NULL, NULL, NULL);
    t->get_lines(o, &value);
    t->put_lines(o, 8);
    t->get_columns(o, &value);
    t->put_columns(o, 10);
    t->get_max_features(o, &value);
    t->put_max_features(o, 12);
    t->track_corners(o, a, b, f, &result);
    t->create_morvane(o);
    t->destroy_morvane(o);
    t->get_stop_iterations(o, &value);
    t->put_stop_iterations(o, 17);
    t->get_stop_epsilon(o, &real);
    t->put_stop_epsilon(o, 19.5f);
    t->get_feature_width(o, &value);
    t->put_feature_width(o, 21);
    t->get_feature_height(o, &value);
    t->put_feature_height(o, 23);
    t->get_pyramid_levels(o, &value);
    t->put_pyramid_levels(o, 25);
    t->get_calc_match_residue(o, &value);
    t->put_calc_match_residue(o, 27);
    t->get_match_residue(o, &result);
}

void call_raw_member(_IMorvane *o, BYTE *bytes, FLOAT *floats)
{
    o->lpVtbl->_track_corners(o, bytes, bytes + 1, 30, floats, floats + 1, bytes + 2, floats + 2);
}
