/* A tracker used as a compiled client uses it: members called by slot through
 * the C tables, and by name through IDispatch. */
#ifndef MORVANE_CLIENT_TRACKER_USE_H
#define MORVANE_CLIENT_TRACKER_USE_H

#include <morvane.h>

/* A fresh object reads back the documented defaults; written values read back. */
void check_properties(IMorvane *tracker);

/* A refused write leaves the thread an error record with the message, the
 * component's ProgID as source and the null interface identifier. */
void check_error_record(IMorvane *tracker);

/* Tracks a grid of points between two frames moved by a known amount through
 * _IMorvane, then through the matrix call, and compares both with the motion. */
void check_tracking(IMorvane *tracker);

/* Member names resolve to their dispatch IDs through IDispatch, exactly spelled
 * or in other letter case; unknown names are refused. */
void check_name_resolution(IMorvane *tracker);

/* Members called by dispatch ID: a property read and write, a method, and a
 * refused write that leaves the same error record as through the table. */
void check_invoke(IMorvane *tracker);

#endif
