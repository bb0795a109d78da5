/* Failure accounting for the integration client: every check prints what it
 * expected when it fails and counts, so that one run reports every fault. */
#ifndef MORVANE_CLIENT_CHECK_H
#define MORVANE_CLIENT_CHECK_H

#include <windows.h>

/* Records a failed check when ok is zero; returns ok. */
int check(int ok, const char *format, ...) __attribute__((format(printf, 2, 3)));

/* Records a failure when got differs from want; returns whether they were equal. */
int check_hr(HRESULT got, HRESULT want, const char *what);

/* True when the BSTR (or wide string) holds exactly the ASCII text. */
int wide_equals(const OLECHAR *wide, const char *ascii);

/* The ASCII text of a wide string for messages (non-ASCII shown as '?'). */
const char *narrow(const OLECHAR *wide);

/* Number of failed checks so far. */
int failures(void);

#endif
