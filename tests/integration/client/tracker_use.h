/* A tracker used as a compiled client uses it: members called by slot through
 * the C tables. */
#ifndef MORVANE_CLIENT_TRACKER_USE_H
#define MORVANE_CLIENT_TRACKER_USE_H

#include <morvane.h>

/* A refused write leaves the thread an error record with the message, the
 * component's ProgID as source and the null interface identifier. */
void check_error_record(IMorvane *tracker);

/* Tracks a grid of points between two frames moved by a known amount through
 * _IMorvane and compares them with the motion. */
void check_tracking(IMorvane *tracker);

#endif
