/* A C client of the installed Morvane component, built from the installed headers
 * and linked against the platform runtime only, calling members by slot:
 *   client registered      after registration: uses the component end to end
 *   client unregistered    after unregistration: the component cannot be made
 * Every failed check is printed; the exit status is 1 when any failed, 2 on misuse. */
#include <windows.h>

#include <morvane.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

enum { COLUMNS = 64, LINES = 48, POINTS = 4 };
static int failure_count;

__attribute__((format(printf, 2, 3))) static int check(int ok, const char *format, ...)
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

/* The direct call through _IMorvane on blank frames: how well points are tracked is the
 * component's tests' concern; that a C client reaches each member is this one's. */
static void check_tracking(IMorvane *t)
{
    static BYTE first[COLUMNS * LINES], second[COLUMNS * LINES], status[POINTS];
    static FLOAT points[2 * POINTS] = {20, 15, 40, 15, 20, 30, 40, 30}, found[2 * POINTS], residue[POINTS];
    const IMorvaneVtbl *v = t->lpVtbl;
    _IMorvane *raw = NULL;

    check(v->put_columns(t, COLUMNS) == S_OK && v->put_lines(t, LINES) == S_OK && v->put_stop_epsilon(t, 0.01f) == S_OK,
          "a setting's write failed");
    if (check_hr(v->create_morvane(t), S_OK, "create_morvane for 64 x 48") &&
        check_hr(v->QueryInterface(t, &IID__IMorvane, (void **)&raw), S_OK, "querying _IMorvane"))
        check_hr(raw->lpVtbl->_track_corners(raw, first, second, POINTS, points, found, status, residue), S_OK,
                 "_track_corners");
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
