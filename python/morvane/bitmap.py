"""Grey frames from 8-bit palette bitmaps such as the project's sample frames."""

from __future__ import annotations

import struct
from pathlib import Path

import numpy as np


def read_grey_bitmap(path: str | Path) -> np.ndarray:
    """An uncompressed 8-bit bitmap as a C-ordered (lines, columns) uint8 array of grey values."""
    data = Path(path).read_bytes()
    if data[:2] != b"BM" or len(data) < 54:
        raise ValueError(f"{path}: not a bitmap")
    (offset,) = struct.unpack_from("<I", data, 10)
    header, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if bits != 8 or compression != 0 or width <= 0 or height == 0:
        raise ValueError(f"{path}: only uncompressed 8-bit bitmaps are read")
    (colours,) = struct.unpack_from("<I", data, 46)
    palette = np.frombuffer(data, np.uint8, 4 * (colours or 256), 14 + header).reshape(-1, 4)
    # Grey of each palette entry (blue, green, red, unused), rounded as integers.
    grey = ((299 * palette[:, 2].astype(np.uint32) + 587 * palette[:, 1] + 114 * palette[:, 0] + 500) // 1000).astype(
        np.uint8
    )
    stride = (width + 3) & ~3
    rows = np.frombuffer(data, np.uint8, stride * abs(height), offset).reshape(abs(height), stride)[:, :width]
    if height > 0:  # stored bottom-up
        rows = rows[::-1]
    return np.ascontiguousarray(grey[rows])
