/* Calls made from C through the generated tables, by slot index. */
#ifndef MORVANE_TEST_SLOT_CALLS_H
#define MORVANE_TEST_SLOT_CALLS_H

#include <morvane.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What the C caller saw: the member's result and the value of its out parameter. */
struct SlotResult {
    long result;
    LONG long_out;
    FLOAT float_out;
    VARIANT variant_out;
    void *pointer_out;
};

/* Calls slot `slot` of an IMorvane table with arguments derived from the slot number:
 * LONG slot * 10, FLOAT slot + 0.5, VARIANTs of type VT_I4 holding slot, slot + 1, slot + 2. */
void call_imorvane_slot(IMorvane *object, int slot, struct SlotResult *out);

/* The same for _IMorvane; slot 3 gets the buffers given here and count slot * 10. */
void call_raw_slot(_IMorvane *object, int slot, BYTE *bytes, FLOAT *floats, struct SlotResult *out);

/* The slots of the named members, as the C view lays them out. */
int imorvane_table_slots(void);
int raw_table_slots(void);

#ifdef __cplusplus
}
#endif

#endif
