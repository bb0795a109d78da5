/* Type libraries: ITypeLib, ITypeInfo and their descriptions. */
#ifndef MORVANE_OATYPELIB_H
#define MORVANE_OATYPELIB_H

#include "oaidl.h"

typedef enum tagSYSKIND { SYS_WIN16 = 0, SYS_WIN32 = 1, SYS_MAC = 2, SYS_WIN64 = 3 } SYSKIND;

#endif
