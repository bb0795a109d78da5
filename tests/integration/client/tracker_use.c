#include "tracker_use.h"

#include "check.h"
#include "frames.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

enum { COLUMNS = 320, LINES = 240, GRID_X = 8, GRID_Y = 6, POINTS = GRID_X * GRID_Y };
static const double motion_x = 2.6, motion_y = -1.7;
/* Sub-pixel accuracy a 15 × 15 window reaches on smooth 8-bit texture. */
static const double tolerance = 0.1;

static void put_ok(HRESULT hr, const char *what) { check_hr(hr, S_OK, what); }

typedef HRESULT(STDMETHODCALLTYPE *LongRead)(IMorvane *, LONG *);
typedef HRESULT(STDMETHODCALLTYPE *LongWrite)(IMorvane *, LONG);

struct LongProperty {
    const char *name;
    LongRead read;
    LongWrite write;
    LONG initial;
    LONG written;
};

static void expect_long(IMorvane *t, const struct LongProperty *p, LONG want)
{
    LONG value = -12345;
    HRESULT hr = p->read(t, &value);
    check(hr == S_OK && value == want, "reading %s gave 0x%08X and %ld, expected %ld", p->name, (unsigned)hr,
          (long)value, (long)want);
}

static void expect_epsilon(IMorvane *t, FLOAT want)
{
    FLOAT epsilon = 0.0f;
    check(t->lpVtbl->get_stop_epsilon(t, &epsilon) == S_OK && epsilon == want,
          "stop_epsilon reads %g, expected %g", (double)epsilon, (double)want);
}

void check_properties(IMorvane *t)
{
    const IMorvaneVtbl *v = t->lpVtbl;
    /* Distinct written values, so that a write reaching another setting shows. */
    const struct LongProperty properties[] = {
        {"lines", v->get_lines, v->put_lines, 144, 11},
        {"columns", v->get_columns, v->put_columns, 192, 12},
        {"max_features", v->get_max_features, v->put_max_features, 400, 13},
        {"stop_iterations", v->get_stop_iterations, v->put_stop_iterations, 5, 14},
        {"feature_width", v->get_feature_width, v->put_feature_width, 2, 16},
        {"feature_height", v->get_feature_height, v->put_feature_height, 2, 17},
        {"pyramid_levels", v->get_pyramid_levels, v->put_pyramid_levels, 0, 18},
        {"calc_match_residue", v->get_calc_match_residue, v->put_calc_match_residue, 0, -7},
    };
    const size_t count = sizeof properties / sizeof properties[0];

    for (size_t i = 0; i < count; ++i)
        expect_long(t, &properties[i], properties[i].initial);
    expect_epsilon(t, 0.1f);

    for (size_t i = 0; i < count; ++i)
        check(properties[i].write(t, properties[i].written) == S_OK, "writing %ld to %s failed",
              (long)properties[i].written, properties[i].name);
    put_ok(v->put_stop_epsilon(t, 1.5f), "writing stop_epsilon");
    for (size_t i = 0; i < count; ++i)
        expect_long(t, &properties[i], properties[i].written);
    expect_epsilon(t, 1.5f);

    /* 2^18 divides neither 11 nor 12. */
    check_hr(v->create_morvane(t), E_FAIL, "create_morvane with 18 pyramid levels");
    check_hr(v->destroy_morvane(t), S_OK, "destroy_morvane on a released object");
}

/* Takes the thread's error record and checks its three fields. */
static void expect_record(const char *description, const char *after)
{
    IErrorInfo *info = NULL;
    BSTR text = NULL;
    GUID guid;
    if (!check(GetErrorInfo(0, &info) == S_OK && info != NULL, "no error record after %s", after))
        return;
    if (check(info->lpVtbl->GetDescription(info, &text) == S_OK, "GetDescription failed after %s", after))
        check(wide_equals(text, description), "description after %s is \"%s\", expected \"%s\"", after,
              narrow(text), description);
    SysFreeString(text);
    text = NULL;
    if (check(info->lpVtbl->GetSource(info, &text) == S_OK, "GetSource failed after %s", after))
        check(wide_equals(text, "Morvane.CoMorvane.1"), "source after %s is \"%s\"", after, narrow(text));
    SysFreeString(text);
    memset(&guid, 0xA5, sizeof guid);
    check(info->lpVtbl->GetGUID(info, &guid) == S_OK && IsEqualGUID(&guid, &GUID_NULL),
          "the record after %s names an interface, expected the null identifier", after);
    info->lpVtbl->Release(info);
}

void check_error_record(IMorvane *t)
{
    LONG lines = 0;
    IErrorInfo *info = NULL;

    SetErrorInfo(0, NULL);
    check_hr(t->lpVtbl->put_lines(t, 0), E_INVALIDARG, "writing 0 to lines");
    /* A later successful call leaves the record as it was. */
    check_hr(t->lpVtbl->get_lines(t, &lines), S_OK, "reading lines");
    check(lines == 144, "a refused write changed lines to %ld", (long)lines);
    expect_record("Number of lines must be a positive integer", "writing 0 to lines");
    check(GetErrorInfo(0, &info) == S_FALSE && info == NULL, "the error record was not handed over once");

    check_hr(t->lpVtbl->put_stop_epsilon(t, -0.0f), E_INVALIDARG, "writing -0.0 to stop_epsilon");
    expect_record("Epsilon stop valoue must be a positive number", "writing -0.0 to stop_epsilon");
}

struct Scene {
    BYTE first[COLUMNS * LINES];
    BYTE second[COLUMNS * LINES];
    FLOAT points[2 * POINTS];
};

static void make_scene(struct Scene *s)
{
    fill_textured_frame(s->first, COLUMNS, LINES, 0.0, 0.0);
    fill_textured_frame(s->second, COLUMNS, LINES, motion_x, motion_y);
    for (int j = 0; j < GRID_Y; ++j)
        for (int i = 0; i < GRID_X; ++i) {
            FLOAT *p = s->points + 2 * (j * GRID_X + i);
            p[0] = 40.25f + 34.0f * (FLOAT)i;
            p[1] = 36.5f + 32.0f * (FLOAT)j;
        }
}

static VARIANT matrix_variant(VARTYPE type, ULONG dimension1, ULONG dimension2, const void *elements,
                              size_t size)
{
    SAFEARRAYBOUND bounds[2] = {{dimension1, 0}, {dimension2, 0}};
    VARIANT v;
    void *data = NULL;
    VariantInit(&v);
    v.parray = SafeArrayCreate(type, 2, bounds);
    if (check(v.parray != NULL, "SafeArrayCreate of a %lu x %lu matrix", (unsigned long)dimension1,
              (unsigned long)dimension2) &&
        check(SafeArrayAccessData(v.parray, &data) == S_OK, "SafeArrayAccessData")) {
        memcpy(data, elements, size);
        SafeArrayUnaccessData(v.parray);
        v.vt = (VARTYPE)(VT_ARRAY | type);
    }
    return v;
}

/* Dimension d of a safe array spans 1 … count. */
static int has_extent(SAFEARRAY *a, UINT d, LONG count)
{
    LONG low = -1, high = -1;
    return SafeArrayGetLBound(a, d, &low) == S_OK && SafeArrayGetUBound(a, d, &high) == S_OK && low == 1 &&
           high == count;
}

/* The matrix call on the same object must give the direct call's results exactly. */
static void check_matrix_call(IMorvane *t, const struct Scene *s, const FLOAT *found, const BYTE *status,
                              const FLOAT *residue)
{
    double features[2 * POINTS];
    VARIANT a, b, f, matches, residues;
    double *m = NULL;

    for (int i = 0; i < POINTS; ++i) {
        features[i] = s->points[2 * i];
        features[POINTS + i] = s->points[2 * i + 1];
    }
    a = matrix_variant(VT_UI1, COLUMNS, LINES, s->first, sizeof s->first);
    b = matrix_variant(VT_UI1, COLUMNS, LINES, s->second, sizeof s->second);
    f = matrix_variant(VT_R8, POINTS, 2, features, sizeof features);
    VariantInit(&matches);
    VariantInit(&residues);

    check_hr(t->lpVtbl->put_calc_match_residue(t, 1), S_OK, "switching residues on");
    if (check_hr(t->lpVtbl->track_corners(t, a, b, f, &matches), S_OK, "track_corners") &&
        check(matches.vt == (VT_ARRAY | VT_R8) && matches.parray != NULL, "matches has type 0x%X",
              matches.vt) &&
        check(SafeArrayGetDim(matches.parray) == 2 && has_extent(matches.parray, 1, POINTS) &&
                  has_extent(matches.parray, 2, 3),
              "matches is not a %d x 3 matrix with lower bounds 1", POINTS) &&
        check(SafeArrayAccessData(matches.parray, (void **)&m) == S_OK, "reading matches")) {
        for (int i = 0; i < POINTS; ++i)
            check(m[i] == (double)found[2 * i] && m[POINTS + i] == (double)found[2 * i + 1] &&
                      m[2 * POINTS + i] == (double)status[i],
                  "point %d: matrix call gave (%g, %g, %g), direct call (%g, %g, %d)", i, m[i],
                  m[POINTS + i], m[2 * POINTS + i], (double)found[2 * i], (double)found[2 * i + 1],
                  status[i]);
        SafeArrayUnaccessData(matches.parray);
    }

    if (check_hr(t->lpVtbl->get_match_residue(t, &residues), S_OK, "reading match_residue") &&
        check(residues.vt == (VT_ARRAY | VT_R8) && SafeArrayGetDim(residues.parray) == 1 &&
                  has_extent(residues.parray, 1, POINTS),
              "match_residue is not a vector of %d with lower bound 1", POINTS) &&
        check(SafeArrayAccessData(residues.parray, (void **)&m) == S_OK, "reading match_residue")) {
        for (int i = 0; i < POINTS; ++i)
            check(m[i] == (double)residue[i], "residue %d: matrix call %g, direct call %g", i, m[i],
                  (double)residue[i]);
        SafeArrayUnaccessData(residues.parray);
    }

    VariantClear(&a);
    VariantClear(&b);
    VariantClear(&f);
    VariantClear(&matches);
    VariantClear(&residues);
}

void check_tracking(IMorvane *t)
{
    const IMorvaneVtbl *v = t->lpVtbl;
    struct Scene *s = malloc(sizeof *s);
    FLOAT found[2 * POINTS + 2];
    BYTE status[POINTS + 1];
    FLOAT residue[POINTS + 1];
    _IMorvane *raw = NULL;

    if (!check(s != NULL, "no memory for the frames"))
        return;
    make_scene(s);
    put_ok(v->put_columns(t, COLUMNS), "writing columns");
    put_ok(v->put_lines(t, LINES), "writing lines");
    put_ok(v->put_max_features(t, POINTS), "writing max_features");
    put_ok(v->put_feature_width(t, 7), "writing feature_width");
    put_ok(v->put_feature_height(t, 7), "writing feature_height");
    put_ok(v->put_pyramid_levels(t, 2), "writing pyramid_levels");
    put_ok(v->put_stop_iterations(t, 30), "writing stop_iterations");
    put_ok(v->put_stop_epsilon(t, 0.01f), "writing stop_epsilon");
    put_ok(v->put_calc_match_residue(t, 0), "writing calc_match_residue");
    if (!check_hr(v->create_morvane(t), S_OK, "create_morvane for 320 x 240") ||
        !check_hr(v->QueryInterface(t, &IID__IMorvane, (void **)&raw), S_OK, "querying _IMorvane")) {
        free(s);
        return;
    }

    /* Entries past the count are the caller's and must stay as they were. */
    found[2 * POINTS] = found[2 * POINTS + 1] = -99.0f;
    status[POINTS] = 0xAB;
    residue[POINTS] = -7.0f;
    if (check_hr(raw->lpVtbl->_track_corners(raw, s->first, s->second, POINTS, s->points, found, status,
                                             residue),
                 S_OK, "_track_corners")) {
        for (int i = 0; i < POINTS; ++i) {
            const double ex = s->points[2 * i] + motion_x, ey = s->points[2 * i + 1] + motion_y;
            check(status[i] == 1 && fabs(found[2 * i] - ex) <= tolerance &&
                      fabs(found[2 * i + 1] - ey) <= tolerance,
                  "point %d at (%.2f, %.2f) tracked to (%.3f, %.3f) with status %d, expected (%.3f, %.3f)",
                  i, (double)s->points[2 * i], (double)s->points[2 * i + 1], (double)found[2 * i],
                  (double)found[2 * i + 1], status[i], ex, ey);
            check(residue[i] >= 0.0f && residue[i] < 10.0f, "point %d: residue %g for an exact match", i,
                  (double)residue[i]);
        }
        check(found[2 * POINTS] == -99.0f && found[2 * POINTS + 1] == -99.0f && status[POINTS] == 0xAB &&
                  residue[POINTS] == -7.0f,
              "_track_corners wrote past the given count");
        check_matrix_call(t, s, found, status, residue);
    }
    check_hr(raw->lpVtbl->_track_corners(raw, s->first, s->second, POINTS, s->points, found, NULL, NULL),
             E_POINTER, "_track_corners without a status array");
    raw->lpVtbl->Release(raw);
    free(s);
}

static DISPID id_of(IDispatch *d, const char16_t *name, HRESULT *hr)
{
    LPOLESTR names[1] = {(LPOLESTR)name};
    DISPID id = -99;
    *hr = d->lpVtbl->GetIDsOfNames(d, &IID_NULL, names, 1, 0x0409, &id);
    return id;
}

void check_name_resolution(IMorvane *t)
{
    static const struct {
        const char16_t *name;
        const char *text;
        DISPID id;
    } members[] = {{u"lines", "lines", 1}, {u"track_corners", "track_corners", 4},
                   {u"create_morvane", "create_morvane", 5}, {u"match_residue", "match_residue", 13},
                   {u"LINES", "LINES", 1}};
    IDispatch *d = NULL;
    HRESULT hr;

    if (!check_hr(t->lpVtbl->QueryInterface(t, &IID_IDispatch, (void **)&d), S_OK, "querying IDispatch"))
        return;
    for (size_t i = 0; i < sizeof members / sizeof members[0]; ++i) {
        const DISPID id = id_of(d, members[i].name, &hr);
        check(hr == S_OK && id == members[i].id, "GetIDsOfNames(\"%s\") gave 0x%08X and %ld, expected %ld",
              members[i].text, (unsigned)hr, (long)id, (long)members[i].id);
    }
    (void)id_of(d, u"no_such_member", &hr);
    check(FAILED(hr), "GetIDsOfNames found a member that does not exist");

    d->lpVtbl->Release(d);
}

void check_invoke(IMorvane *t)
{
    IDispatch *d = NULL;
    DISPPARAMS none = {NULL, NULL, 0, 0};
    VARIANT result, argument;
    DISPID put_id = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&argument, &put_id, 1, 1};
    LONG lines = 0;
    HRESULT hr;

    if (!check_hr(t->lpVtbl->QueryInterface(t, &IID_IDispatch, (void **)&d), S_OK, "querying IDispatch"))
        return;
    t->lpVtbl->get_lines(t, &lines);
    memset(&result, 0, sizeof result);
    hr = d->lpVtbl->Invoke(d, 1, &IID_NULL, 0x0409, DISPATCH_PROPERTYGET, &none, &result, NULL, NULL);
    check(hr == S_OK && result.vt == VT_I4 && result.lVal == lines,
          "Invoke reading lines gave 0x%08X, type %u, value %ld; expected %ld", (unsigned)hr, result.vt,
          (long)result.lVal, (long)lines);
    VariantClear(&result);

    /* A write by name reaches the same setting as the table's. */
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = lines + 4;
    check_hr(d->lpVtbl->Invoke(d, 1, &IID_NULL, 0x0409, DISPATCH_PROPERTYPUT, &put, NULL, NULL, NULL), S_OK,
             "Invoke writing lines");
    check(t->lpVtbl->get_lines(t, &lines) == S_OK && lines == argument.lVal,
          "a write by Invoke reads back as %ld", (long)lines);
    check_hr(d->lpVtbl->Invoke(d, 5, &IID_NULL, 0x0409, DISPATCH_METHOD, &none, NULL, NULL, NULL), S_OK,
             "Invoke of create_morvane");

    /* A refused write fails by name as by the table, with the same record. */
    SetErrorInfo(0, NULL);
    argument.lVal = 0;
    hr = d->lpVtbl->Invoke(d, 1, &IID_NULL, 0x0409, DISPATCH_PROPERTYPUT, &put, NULL, NULL, NULL);
    if (check(FAILED(hr), "Invoke writing 0 to lines succeeded"))
        expect_record("Number of lines must be a positive integer", "Invoke writing 0 to lines");
    d->lpVtbl->Release(d);
}
