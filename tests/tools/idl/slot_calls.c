/* A C client of the generated header: reaches every member by its position in the table. */
#include "slot_calls.h"

#include <stddef.h>
#include <string.h>

typedef void (*AnyMember)(void);

/* The table of an object seen as an array of slots. */
static AnyMember slot_of(const void *object, int slot)
{
    const AnyMember *table = *(const AnyMember *const *)object;
    return table[slot];
}

_Static_assert(offsetof(IMorvaneVtbl, get_lines) == 7 * sizeof(void *), "lines read is slot 7");
_Static_assert(offsetof(IMorvaneVtbl, track_corners) == 13 * sizeof(void *), "track_corners is slot 13");
_Static_assert(offsetof(IMorvaneVtbl, create_morvane) == 14 * sizeof(void *), "create_morvane is slot 14");
_Static_assert(offsetof(IMorvaneVtbl, destroy_morvane) == 15 * sizeof(void *), "destroy_morvane is slot 15");
_Static_assert(offsetof(IMorvaneVtbl, get_match_residue) == 28 * sizeof(void *), "match_residue is slot 28");
_Static_assert(sizeof(IMorvaneVtbl) == 29 * sizeof(void *), "IMorvane has 29 slots");
_Static_assert(offsetof(_IMorvaneVtbl, _track_corners) == 3 * sizeof(void *), "_track_corners is slot 3");
_Static_assert(sizeof(_IMorvaneVtbl) == 4 * sizeof(void *), "_IMorvane has 4 slots");

typedef HRESULT (*QueryFn)(void *, REFIID, void **);
typedef ULONG (*CountFn)(void *);
typedef HRESULT (*TypeInfoCountFn)(void *, UINT *);
typedef HRESULT (*TypeInfoFn)(void *, UINT, LCID, ITypeInfo **);
typedef HRESULT (*NamesFn)(void *, REFIID, LPOLESTR *, UINT, LCID, DISPID *);
typedef HRESULT (*InvokeFn)(void *, DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *);
typedef HRESULT (*GetLongFn)(void *, LONG *);
typedef HRESULT (*PutLongFn)(void *, LONG);
typedef HRESULT (*GetFloatFn)(void *, FLOAT *);
typedef HRESULT (*PutFloatFn)(void *, FLOAT);
typedef HRESULT (*GetVariantFn)(void *, VARIANT *);
typedef HRESULT (*TrackFn)(void *, VARIANT, VARIANT, VARIANT, VARIANT *);
typedef HRESULT (*PlainFn)(void *);
typedef HRESULT (*RawTrackFn)(void *, BYTE *, BYTE *, LONG, FLOAT *, FLOAT *, BYTE *, FLOAT *);

static VARIANT long_variant(LONG value)
{
    VARIANT v;
    memset(&v, 0, sizeof v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

/* Shared by both interfaces: the IUnknown slots. */
static int call_unknown_slot(void *object, int slot, struct SlotResult *out)
{
    switch (slot) {
    case 0:
        out->result = ((QueryFn)slot_of(object, 0))(object, &IID_IUnknown, &out->pointer_out);
        return 1;
    case 1: out->result = (long)((CountFn)slot_of(object, 1))(object); return 1;
    case 2: out->result = (long)((CountFn)slot_of(object, 2))(object); return 1;
    default: return 0;
    }
}

void call_imorvane_slot(IMorvane *object, int slot, struct SlotResult *out)
{
    const LONG long_arg = slot * 10;
    const FLOAT float_arg = (FLOAT)slot + 0.5f;
    UINT count = 0;
    DISPID id = 0;
    LPOLESTR name = NULL;
    ITypeInfo *info = NULL;
    AnyMember member = slot_of(object, slot);
    if (call_unknown_slot(object, slot, out))
        return;
    switch (slot) {
    case 3:
        out->result = ((TypeInfoCountFn)member)(object, &count);
        out->long_out = (LONG)count;
        break;
    case 4:
        out->result = ((TypeInfoFn)member)(object, (UINT)long_arg, 0x0409, &info);
        out->pointer_out = info;
        break;
    case 5:
        out->result = ((NamesFn)member)(object, &IID_NULL, &name, (UINT)long_arg, 0x0409, &id);
        out->long_out = id;
        break;
    case 6:
        out->result = ((InvokeFn)member)(object, long_arg, &IID_NULL, 0x0409, DISPATCH_METHOD, NULL, NULL, NULL, NULL);
        break;
    case 7: case 9: case 11: case 16: case 20: case 22: case 24: case 26:
        out->result = ((GetLongFn)member)(object, &out->long_out);
        break;
    case 8: case 10: case 12: case 17: case 21: case 23: case 25: case 27:
        out->result = ((PutLongFn)member)(object, long_arg);
        break;
    case 13:
        out->result = ((TrackFn)member)(object, long_variant(slot), long_variant(slot + 1),
                                        long_variant(slot + 2), &out->variant_out);
        break;
    case 14: case 15:
        out->result = ((PlainFn)member)(object);
        break;
    case 18:
        out->result = ((GetFloatFn)member)(object, &out->float_out);
        break;
    case 19:
        out->result = ((PutFloatFn)member)(object, float_arg);
        break;
    case 28:
        out->result = ((GetVariantFn)member)(object, &out->variant_out);
        break;
    default:
        out->result = -1;
        break;
    }
}

void call_raw_slot(_IMorvane *object, int slot, BYTE *bytes, FLOAT *floats, struct SlotResult *out)
{
    if (call_unknown_slot(object, slot, out))
        return;
    if (slot == 3) {
        out->result = ((RawTrackFn)slot_of(object, 3))(object, bytes, bytes + 1, slot * 10, floats,
                                                       floats + 1, bytes + 2, floats + 2);
        return;
    }
    out->result = -1;
}

int imorvane_table_slots(void) { return (int)(sizeof(IMorvaneVtbl) / sizeof(void *)); }
int raw_table_slots(void) { return (int)(sizeof(_IMorvaneVtbl) / sizeof(void *)); }
