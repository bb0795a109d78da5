/* A C client of the installed Morvane component, built from the installed headers
 * and linked against the platform runtime only. The test driver runs it in three
 * steps around registration:
 *   client prepare              before registration: adds another class's key
 *   client registered MODULE    after registration: uses the component end to end
 *   client unregistered         after unregistration: nothing of it is left
 * Every failed check is printed; the exit status is 1 when any failed, 2 on misuse. */
#include "check.h"
#include "identity.h"
#include "registry_state.h"
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

static void check_type_library(HRESULT want)
{
    ITypeLib *library = NULL;
    HRESULT hr = LoadRegTypeLib(&LIBID_MORVANELib, 1, 0, 0x0409, &library);
    if (want == S_OK)
        check_hr(hr, S_OK, "LoadRegTypeLib of MORVANELib 1.0");
    else
        check(FAILED(hr) && library == NULL, "LoadRegTypeLib still finds MORVANELib (0x%08X)", (unsigned)hr);
    if (library != NULL)
        ((IUnknown *)(void *)library)->lpVtbl->Release((IUnknown *)(void *)library);
}

static void check_prog_ids(void)
{
    LPOLESTR prog_id = NULL;
    if (check_hr(ProgIDFromCLSID(&CLSID_CoMorvane, &prog_id), S_OK, "ProgIDFromCLSID"))
        check(wide_equals(prog_id, "Morvane.CoMorvane.1"), "ProgIDFromCLSID gave \"%s\"", narrow(prog_id));
    CoTaskMemFree(prog_id);
}

/* Trackers made through both ProgIDs are independent objects of the one class. */
static void use_prog_ids(void)
{
    CLSID versioned, independent;
    IMorvane *a = NULL, *b = NULL;
    LONG lines = 0;

    memset(&versioned, 0, sizeof versioned);
    memset(&independent, 0, sizeof independent);
    check_hr(CLSIDFromProgID(u"Morvane.CoMorvane.1", &versioned), S_OK, "CLSIDFromProgID(Morvane.CoMorvane.1)");
    check_hr(CLSIDFromProgID(u"Morvane.CoMorvane", &independent), S_OK, "CLSIDFromProgID(Morvane.CoMorvane)");
    check(IsEqualCLSID(&versioned, &CLSID_CoMorvane) && IsEqualCLSID(&independent, &CLSID_CoMorvane),
          "a ProgID names another class");
    a = create_by_class(&versioned, "for Morvane.CoMorvane.1");
    b = create_by_class(&independent, "for Morvane.CoMorvane");
    if (a && b) {
        check(a != b, "two creations returned one object");
        check_hr(a->lpVtbl->put_lines(a, 96), S_OK, "writing lines");
        check(b->lpVtbl->get_lines(b, &lines) == S_OK && lines == 144,
              "a write to one tracker shows in another (%ld)", (long)lines);
    }
    release_last(a, "the tracker made by Morvane.CoMorvane.1");
    release_last(b, "the tracker made by Morvane.CoMorvane");
}

static void use_registered_component(const char *module_path)
{
    IMorvane *tracker;

    check_registered_entries(module_path);
    if (!check_hr(CoInitializeEx(NULL, COINIT_MULTITHREADED), S_OK, "CoInitializeEx"))
        return;
    check_type_library(S_OK);
    check_prog_ids();

    tracker = create_by_class(&CLSID_CoMorvane, "by class identifier");
    if (tracker) {
        check_properties(tracker);
        release_last(tracker, "the first tracker");
    }
    use_prog_ids();

    tracker = create_by_class(&CLSID_CoMorvane, "by class identifier");
    if (tracker) {
        check_identity(tracker);
        check_error_record(tracker);
        check_tracking(tracker);
        check_name_resolution(tracker);
        check_invoke(tracker);
        release_last(tracker, "the tracking tracker");
    }
    CoUninitialize();
}

static void check_nothing_registered(void)
{
    CLSID clsid;
    IMorvane *tracker = NULL;

    check_entries_removed();
    if (!check_hr(CoInitializeEx(NULL, COINIT_MULTITHREADED), S_OK, "CoInitializeEx"))
        return;
    check(FAILED(CLSIDFromProgID(u"Morvane.CoMorvane", &clsid)), "Morvane.CoMorvane still resolves");
    check_hr(CoCreateInstance(&CLSID_CoMorvane, NULL, CLSCTX_INPROC_SERVER, &IID_IMorvane, (void **)&tracker),
             REGDB_E_CLASSNOTREG, "CoCreateInstance after unregistration");
    check(tracker == NULL, "a failed creation handed out an object");
    check_type_library(TYPE_E_LIBNOTREGISTERED);
    CoUninitialize();
}

int main(int argc, char **argv)
{
    const char *step = argc > 1 ? argv[1] : "";
    if (strcmp(step, "prepare") == 0 && argc == 2)
        create_sibling_class();
    else if (strcmp(step, "registered") == 0 && argc == 3)
        use_registered_component(argv[2]);
    else if (strcmp(step, "unregistered") == 0 && argc == 2)
        check_nothing_registered();
    else {
        fprintf(stderr, "usage: %s prepare | registered MODULE | unregistered\n", argv[0]);
        return 2;
    }
    if (failures() > 0) {
        fprintf(stderr, "client %s: %d check(s) failed\n", step, failures());
        return 1;
    }
    printf("client %s: ok\n", step);
    return 0;
}
