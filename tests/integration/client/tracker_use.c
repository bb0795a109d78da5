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

void check_error_record(IMorvane *t)
{
    LONG lines = 0;
    IErrorInfo *info = NULL;
    BSTR text = NULL;
    GUID guid;

    SetErrorInfo(0, NULL);
    check_hr(t->lpVtbl->put_lines(t, 0), E_INVALIDARG, "writing 0 to lines");
    /* A later successful call leaves the record as it was. */
    check(t->lpVtbl->get_lines(t, &lines) == S_OK && lines == 144, "a refused write changed lines to %ld",
          (long)lines);
    if (!check(GetErrorInfo(0, &info) == S_OK && info != NULL, "no error record after a refused write"))
        return;
    if (check(info->lpVtbl->GetDescription(info, &text) == S_OK, "GetDescription failed"))
        check(wide_equals(text, "Number of lines must be a positive integer"), "description is \"%s\"",
              narrow(text));
    SysFreeString(text);
    text = NULL;
    if (check(info->lpVtbl->GetSource(info, &text) == S_OK, "GetSource failed"))
        check(wide_equals(text, "Morvane.CoMorvane.1"), "source is \"%s\"", narrow(text));
    SysFreeString(text);
    memset(&guid, 0xA5, sizeof guid);
    check(info->lpVtbl->GetGUID(info, &guid) == S_OK && IsEqualGUID(&guid, &GUID_NULL),
          "the record names an interface, expected the null identifier");
    info->lpVtbl->Release(info);
    info = NULL;
    check(GetErrorInfo(0, &info) == S_FALSE && info == NULL, "the error record was not handed over once");
}

struct Scene {
    BYTE first[COLUMNS * LINES];
    BYTE second[COLUMNS * LINES];
    FLOAT points[2 * POINTS];
    FLOAT found[2 * POINTS + 2];
    BYTE status[POINTS + 1];
    FLOAT residue[POINTS + 1];
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
    /* Entries past the count are the caller's and must stay as they were. */
    s->found[2 * POINTS] = s->found[2 * POINTS + 1] = -99.0f;
    s->status[POINTS] = 0xAB;
    s->residue[POINTS] = -7.0f;
}

void check_tracking(IMorvane *t)
{
    const IMorvaneVtbl *v = t->lpVtbl;
    struct Scene *s = malloc(sizeof *s);
    _IMorvane *raw = NULL;

    if (!check(s != NULL, "no memory for the frames"))
        return;
    make_scene(s);
    check_hr(v->put_columns(t, COLUMNS), S_OK, "writing columns");
    check_hr(v->put_lines(t, LINES), S_OK, "writing lines");
    check_hr(v->put_feature_width(t, 7), S_OK, "writing feature_width");
    check_hr(v->put_feature_height(t, 7), S_OK, "writing feature_height");
    check_hr(v->put_pyramid_levels(t, 2), S_OK, "writing pyramid_levels");
    check_hr(v->put_stop_iterations(t, 30), S_OK, "writing stop_iterations");
    check_hr(v->put_stop_epsilon(t, 0.01f), S_OK, "writing stop_epsilon");
    if (check_hr(v->create_morvane(t), S_OK, "create_morvane for 320 x 240") &&
        check_hr(v->QueryInterface(t, &IID__IMorvane, (void **)&raw), S_OK, "querying _IMorvane") &&
        check_hr(raw->lpVtbl->_track_corners(raw, s->first, s->second, POINTS, s->points, s->found, s->status,
                                             s->residue),
                 S_OK, "_track_corners")) {
        for (int i = 0; i < POINTS; ++i) {
            const double ex = s->points[2 * i] + motion_x, ey = s->points[2 * i + 1] + motion_y;
            check(s->status[i] == 1 && fabs(s->found[2 * i] - ex) <= tolerance &&
                      fabs(s->found[2 * i + 1] - ey) <= tolerance && s->residue[i] >= 0.0f,
                  "point %d tracked to (%.3f, %.3f) with status %d, expected (%.3f, %.3f)", i,
                  (double)s->found[2 * i], (double)s->found[2 * i + 1], s->status[i], ex, ey);
        }
        check(s->found[2 * POINTS] == -99.0f && s->found[2 * POINTS + 1] == -99.0f && s->status[POINTS] == 0xAB &&
                  s->residue[POINTS] == -7.0f,
              "_track_corners wrote past the given count");
    }
    if (raw != NULL)
        raw->lpVtbl->Release(raw);
    free(s);
}
