#!/usr/bin/env python3
"""Tracks a grid of points from the first sample frame into the second and prints
the motion found at each point and overall.

    track_samples.py [FOLDER]   # FOLDER holds image1.bmp and image2.bmp (default demo/samples)
"""

from __future__ import annotations

import sys
from pathlib import Path

import numpy as np

import morvane


def main(folder: Path) -> int:
    first = morvane.read_grey_bitmap(folder / "image1.bmp")
    second = morvane.read_grey_bitmap(folder / "image2.bmp")
    lines, columns = first.shape
    ys, xs = np.mgrid[40 : lines - 39 : 40, 40 : columns - 39 : 40]
    points = np.column_stack([xs.ravel(), ys.ravel()]).astype(np.float64)

    with morvane.Tracker(first.shape, half_window=(4, 4), levels=2, residues=True) as tracker:
        try:
            result = tracker.track(first, second, points)
        except morvane.ComError as error:
            print(f"tracking failed: {error}", file=sys.stderr)
            return 1

    motion = result.points - points
    print("     x      y        dx      dy   residue")
    for (x, y), (dx, dy), found, residue in zip(points, motion, result.found, result.residues):
        shown = f"{dx:+7.2f} {dy:+7.2f} {residue:9.3f}" if found else "   not found"
        print(f"{x:6.0f} {y:6.0f}   {shown}")
    dx, dy = np.median(motion[result.found], axis=0)
    print(f"motion: ({dx:+.2f}, {dy:+.2f}) pixels, found {result.found.sum()} of {len(points)} points")
    return 0


if __name__ == "__main__":
    default = Path(__file__).resolve().parents[1] / "demo" / "samples"
    sys.exit(main(Path(sys.argv[1]) if len(sys.argv) > 1 else default))
