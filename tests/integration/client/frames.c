#include "frames.h"

#include <math.h>

/* Plane waves of several directions and wavelengths between 20 and 45 pixels:
 * gradients in every direction everywhere, and an exact displacement because the
 * function itself is moved, not resampled. */
static double texture(double x, double y)
{
    return 128.0 + 38.0 * sin(0.21 * x + 0.06 * y + 0.4) + 30.0 * sin(0.05 * x - 0.23 * y + 1.3) +
           22.0 * cos(0.15 * x + 0.14 * y) + 14.0 * sin(0.30 * x - 0.17 * y + 2.1);
}

void fill_textured_frame(BYTE *frame, int columns, int lines, double dx, double dy)
{
    for (int y = 0; y < lines; ++y)
        for (int x = 0; x < columns; ++x)
            frame[(size_t)y * (size_t)columns + (size_t)x] =
                (BYTE)lround(texture((double)x - dx, (double)y - dy));
}
