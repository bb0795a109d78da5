/* One object, one identity, one reference count across every interface it answers. */
#ifndef MORVANE_CLIENT_IDENTITY_H
#define MORVANE_CLIENT_IDENTITY_H

#include <morvane.h>

/* Queries each interface of the object's table from the given reference (the
 * caller's only one) and checks identity, counts and the error-information answer. */
void check_identity(IMorvane *tracker);

#endif
