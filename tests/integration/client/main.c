/* A C client of the installed Morvane component, built from the installed headers
 * and linked against the platform runtime only. The test driver runs it around
 * registration:
 *   client registered      after registration: uses the component end to end
 *   client unregistered    after unregistration: the component cannot be made
 * Every failed check is printed; the exit status is 1 when any failed, 2 on misuse. */
#include "check.h"
#include "tracker_use.h"

#include <stdio.h>
#include <string.h>

static IMorvane *create_by_class(const CLSID *clsid, const char *how)
{
    IMorvane *tracker = NULL;
    HRESULT hr = CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IMorvane, (void **)&tracker);
    if (!check(hr == S_OK && tracker != NULL, "CoCreateInstance %s gave 0x%08X", how, (unsigned)hr))
        return NULL;
    return tracker;
}

static void release_last(IMorvane *tracker, const char *which)
{
    if (tracker == NULL)
        return;
    ULONG left = tracker->lpVtbl->Release(tracker);
    check(left == 0, "the last Release of %s left a count of %lu", which, (unsigned long)left);
}

/* Trackers made through the ProgID and the class identifier are independent
 * objects of the one class. */
static void use_registered_component(void)
{
    CLSID clsid;
    IMorvane *by_prog_id, *tracker;
    LONG lines = 0;

    if (!check_hr(CoInitializeEx(NULL, COINIT_MULTITHREADED), S_OK, "CoInitializeEx"))
        return;
    memset(&clsid, 0, sizeof clsid);
    check_hr(CLSIDFromProgID(u"Morvane.CoMorvane", &clsid), S_OK, "CLSIDFromProgID(Morvane.CoMorvane)");
    check(IsEqualCLSID(&clsid, &CLSID_CoMorvane), "the ProgID names another class");
    by_prog_id = create_by_class(&clsid, "for Morvane.CoMorvane");
    tracker = create_by_class(&CLSID_CoMorvane, "by class identifier");
    if (by_prog_id && tracker) {
        check(by_prog_id != tracker, "two creations returned one object");
        check_hr(by_prog_id->lpVtbl->put_lines(by_prog_id, 96), S_OK, "writing lines");
        check(tracker->lpVtbl->get_lines(tracker, &lines) == S_OK && lines == 144,
              "a write to one tracker shows in another (%ld)", (long)lines);
        check_error_record(tracker);
        check_tracking(tracker);
    }
    release_last(by_prog_id, "the tracker made by its ProgID");
    release_last(tracker, "the tracking tracker");
    CoUninitialize();
}

static void check_nothing_registered(void)
{
    CLSID clsid;
    IMorvane *tracker = NULL;

    if (!check_hr(CoInitializeEx(NULL, COINIT_MULTITHREADED), S_OK, "CoInitializeEx"))
        return;
    check_hr(CLSIDFromProgID(u"Morvane.CoMorvane", &clsid), REGDB_E_CLASSNOTREG, "CLSIDFromProgID after removal");
    check_hr(CoCreateInstance(&CLSID_CoMorvane, NULL, CLSCTX_INPROC_SERVER, &IID_IMorvane, (void **)&tracker),
             REGDB_E_CLASSNOTREG, "CoCreateInstance after unregistration");
    check(tracker == NULL, "a failed creation handed out an object");
    CoUninitialize();
}

int main(int argc, char **argv)
{
    const char *step = argc == 2 ? argv[1] : "";
    if (strcmp(step, "registered") == 0)
        use_registered_component();
    else if (strcmp(step, "unregistered") == 0)
        check_nothing_registered();
    else {
        fprintf(stderr, "usage: %s registered | unregistered\n", argv[0]);
        return 2;
    }
    if (failures() > 0) {
        fprintf(stderr, "client %s: %d check(s) failed\n", step, failures());
        return 1;
    }
    printf("client %s: ok\n", step);
    return 0;
}
