/* The generated header seen from C: each member's slot in the table and its exact
 * signature, so that a C client calls what the component implements. */
#include <morvane.h>

#include <stddef.h>

#define SLOT(table, member, slot, type)                                                                      \
    _Static_assert(offsetof(table, member) == (slot) * sizeof(void *) &&                                   \
                       _Generic(((table *)0)->member, type: 1, default: 0),                                  \
                   #member " is slot " #slot)

_Static_assert(sizeof(IMorvaneVtbl) == 29 * sizeof(void *), "IMorvane has 29 slots");
SLOT(IMorvaneVtbl, Invoke, 6,
     HRESULT (*)(IMorvane *, DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *));
SLOT(IMorvaneVtbl, get_lines, 7, HRESULT (*)(IMorvane *, LONG *));
SLOT(IMorvaneVtbl, put_lines, 8, HRESULT (*)(IMorvane *, LONG));
SLOT(IMorvaneVtbl, track_corners, 13, HRESULT (*)(IMorvane *, VARIANT, VARIANT, VARIANT, VARIANT *));
SLOT(IMorvaneVtbl, destroy_morvane, 15, HRESULT (*)(IMorvane *));
SLOT(IMorvaneVtbl, put_stop_epsilon, 19, HRESULT (*)(IMorvane *, FLOAT));
SLOT(IMorvaneVtbl, put_calc_match_residue, 27, HRESULT (*)(IMorvane *, LONG));
SLOT(IMorvaneVtbl, get_match_residue, 28, HRESULT (*)(IMorvane *, VARIANT *));
_Static_assert(sizeof(_IMorvaneVtbl) == 4 * sizeof(void *), "_IMorvane has 4 slots");
SLOT(_IMorvaneVtbl, _track_corners, 3,
     HRESULT (*)(_IMorvane *, BYTE *, BYTE *, LONG, FLOAT *, FLOAT *, BYTE *, FLOAT *));
