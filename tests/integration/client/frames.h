/* Synthetic frames with an exactly known motion. */
#ifndef MORVANE_CLIENT_FRAMES_H
#define MORVANE_CLIENT_FRAMES_H

#include <windows.h>

/* Fills columns × lines bytes (rows contiguous) with a smooth texture moved by
 * (dx, dy): what lies at p in the unmoved frame lies at p + (dx, dy) here. */
void fill_textured_frame(BYTE *frame, int columns, int lines, double dx, double dy);

#endif
