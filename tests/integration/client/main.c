/* A C client of the installed Morvane component, built from the installed headers
 * and linked against the platform runtime only, calling members by slot:
 *   client registered      after registration: uses the component end to end
 *   client unregistered    after unregistration: the component cannot be made
 * Every failed check is printed; the exit status is 1 when any failed, 2 on misuse. */
#include <windows.h>

#include <morvane.h>

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

enum { COLUMNS = 320, LINES = 240, GRID_X = 8, GRID_Y = 6, POINTS = GRID_X * GRID_Y };
static const double motion_x = 2.6, motion_y = -1.7;
/* Sub-pixel accuracy a 15 x 15 window reaches on smooth 8-bit texture. */
static const double tolerance = 0.1;
static int failure_count;

static int check(int ok, const char *format, ...) __attribute__((format(printf, 2, 3)));
static int check(int ok, const char *format, ...)
{
    if (!ok) {
        va_list args;
        va_start(args, format);
        fputs("client: FAILED: ", stderr);
        vfprintf(stderr, format, args);
        fputc('\n', stderr);
        va_end(args);
        ++failure_count;
    }
    return ok;
}

static int check_hr(HRESULT got, HRESULT want, const char *what)
{
    return check(got == want, "%s returned 0x%08X, expected 0x%08X", what, (unsigned)got, (unsigned)want);
}

static int wide_equals(const OLECHAR *got, const OLECHAR *want)
{
    for (; got != NULL && *got != 0 && *got == *want; ++got, ++want) {}
    return got != NULL && *got == *want;
}

/* A refused write leaves the thread an error record with the message, the
 * component's ProgID as source and the null interface identifier. */
static void check_error_record(IMorvane *t)
{
    IErrorInfo *info = NULL;
    BSTR description = NULL, source = NULL;
    GUID guid;

    check_hr(t->lpVtbl->put_lines(t, 0), E_INVALIDARG, "writing 0 to lines");
    if (!check(GetErrorInfo(0, &info) == S_OK && info != NULL, "no error record after a refused write"))
        return;
    memset(&guid, 0xA5, sizeof guid);
    check(info->lpVtbl->GetDescription(info, &description) == S_OK && info->lpVtbl->GetSource(info, &source) == S_OK &&
              info->lpVtbl->GetGUID(info, &guid) == S_OK &&
              wide_equals(description, u"Number of lines must be a positive integer") &&
              wide_equals(source, u"Morvane.CoMorvane.1") && IsEqualGUID(&guid, &GUID_NULL),
          "wrong description, source or interface in the error record");
    SysFreeString(description);
    SysFreeString(source);
    info->lpVtbl->Release(info);
}

/* Plane waves of several directions: gradients everywhere, and an exact
 * displacement because the function itself is moved, not resampled. */
static void fill_textured_frame(BYTE *frame, double dx, double dy)
{
    for (int y = 0; y < LINES; ++y)
        for (int x = 0; x < COLUMNS; ++x) {
            const double u = (double)x - dx, v = (double)y - dy;
            frame[(size_t)y * COLUMNS + (size_t)x] =
                (BYTE)lround(128.0 + 38.0 * sin(0.21 * u + 0.06 * v + 0.4) + 30.0 * sin(0.05 * u - 0.23 * v + 1.3) +
                             22.0 * cos(0.15 * u + 0.14 * v) + 14.0 * sin(0.30 * u - 0.17 * v + 2.1));
        }
}

static struct Scene {
    BYTE first[COLUMNS * LINES], second[COLUMNS * LINES];
    FLOAT points[2 * POINTS], found[2 * POINTS], residue[POINTS];
    BYTE status[POINTS];
} scene;

/* Tracks a grid of points between two frames moved by a known amount through _IMorvane. */
static void check_tracking(IMorvane *t)
{
    const IMorvaneVtbl *v = t->lpVtbl;
    struct Scene *s = &scene;
    _IMorvane *raw = NULL;

    fill_textured_frame(s->first, 0.0, 0.0);
    fill_textured_frame(s->second, motion_x, motion_y);
    for (int i = 0; i < POINTS; ++i) {
        s->points[2 * i] = 40.25f + 34.0f * (FLOAT)(i % GRID_X);
        s->points[2 * i + 1] = 36.5f + 32.0f * (FLOAT)(i / GRID_X);
    }
    check(v->put_columns(t, COLUMNS) == S_OK && v->put_lines(t, LINES) == S_OK && v->put_feature_width(t, 7) == S_OK &&
              v->put_feature_height(t, 7) == S_OK && v->put_pyramid_levels(t, 2) == S_OK &&
              v->put_stop_iterations(t, 30) == S_OK && v->put_stop_epsilon(t, 0.01f) == S_OK,
          "a setting's write failed");
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
    }
    if (raw != NULL)
        raw->lpVtbl->Release(raw);
}

int main(int argc, char **argv)
{
    const char *step = argc == 2 ? argv[1] : "";
    const int registered = strcmp(step, "registered") == 0;
    const HRESULT expected = registered ? S_OK : REGDB_E_CLASSNOTREG;
    IMorvane *tracker = NULL;

    if (!registered && strcmp(step, "unregistered") != 0) {
        fprintf(stderr, "usage: %s registered | unregistered\n", argv[0]);
        return 2;
    }
    /* Registered: the class used end to end; unregistered: it cannot be made. */
    if (check_hr(CoInitializeEx(NULL, COINIT_MULTITHREADED), S_OK, "CoInitializeEx")) {
        check_hr(CoCreateInstance(&CLSID_CoMorvane, NULL, CLSCTX_INPROC_SERVER, &IID_IMorvane, (void **)&tracker),
                 expected, "CoCreateInstance");
        check(registered == (tracker != NULL), "creation handed out %s", tracker ? "an object" : "nothing");
        if (tracker != NULL) {
            check_error_record(tracker);
            check_tracking(tracker);
            check(tracker->lpVtbl->Release(tracker) == 0, "the last Release of a tracker left references");
        }
        CoUninitialize();
    }
    if (failure_count > 0) {
        fprintf(stderr, "client %s: %d check(s) failed\n", step, failure_count);
        return 1;
    }
    printf("client %s: ok\n", step);
    return 0;
}
