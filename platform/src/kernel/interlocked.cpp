// Interlocked counters: sequentially consistent read-modify-write on a 32-bit LONG.
// Wrapping at the ends of the range is well defined for these atomic operations.
#include <winbase.h>

EXTERN_C LONG InterlockedIncrement(LONG volatile *Addend)
{
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}

EXTERN_C LONG InterlockedDecrement(LONG volatile *Addend)
{
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
