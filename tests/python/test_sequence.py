"""The sequence functions against the installed morvane-track's own CSV for the same frames."""

from __future__ import annotations

import os
import subprocess
from pathlib import Path

import numpy as np
import pytest

import morvane

PROGRAM = Path(morvane.__file__).resolve().parents[4] / "bin" / "morvane-track"


def run_program(*arguments: str) -> str:
    """The program's standard output; a sanitizer runtime preloaded for the interpreter is not
    handed on, since the program carries its own. Raises CalledProcessError when it fails."""
    environment = {name: value for name, value in os.environ.items() if name != "LD_PRELOAD"}
    return subprocess.run([str(PROGRAM), *arguments, "--quiet"], capture_output=True, text=True, check=True,
                          env=environment).stdout


def drifting_frames(count: int = 16, lines: int = 118, columns: int = 150) -> list[np.ndarray]:
    """A texture drifting by (0.43, 0.31) pixels a frame, with a patch of noise from frame 8 on."""
    y, x = np.mgrid[0:lines, 0:columns].astype(np.float64)
    frames = []
    for k in range(count):
        u, v = x - 0.43 * k, y - 0.31 * k
        grey = 128 + 50 * np.sin(0.23 * u + 0.13 * v) + 40 * np.cos(0.09 * u - 0.19 * v) + 25 * np.sin(0.05 * u * v / 30)
        frame = np.clip(np.rint(grey), 0, 255).astype(np.uint8)
        if k >= count // 2:
            frame[30:70, 90:140] = np.random.default_rng(5).integers(0, 256, (40, 50), dtype=np.uint8)
        frames.append(frame)
    return frames


def write_pgm(folder: Path, frames: list[np.ndarray]) -> None:
    """The frames as binary PGM files frame0.pgm, frame1.pgm, ..."""
    folder.mkdir()
    for k, frame in enumerate(frames):
        header = f"P5\n{frame.shape[1]} {frame.shape[0]}\n255\n".encode()
        (folder / f"frame{k}.pgm").write_bytes(header + frame.tobytes())


def as_csv(steps) -> str:
    """Rows as the program writes them."""
    lines = ["frame,track,x,y,residue,fb_error"]
    for step in steps:
        for track, (x, y), residue, fb_error in zip(step.tracks, step.points, step.residues, step.fb_errors):
            cells = [f"{x:.4f}", f"{y:.4f}", "" if np.isnan(residue) else f"{residue:.4f}",
                     "" if np.isnan(fb_error) else f"{fb_error:.4f}"]
            lines.append(",".join([str(step.frame), str(track)] + cells))
    return "\n".join(lines) + "\n"


@pytest.mark.parametrize(
    "arguments, settings",
    [
        ([], {}),
        (["--fb-max", "0", "--no-appearance", "--half-window", "4x6", "--levels", "2"],
         {"fb_max": 0, "appearance": False, "half_window": (4, 6), "levels": 2}),
        (["--max-features", "40", "--redetect", "0.9", "--appearance-min", "0.95", "--residue-max", "9"],
         {"max_features": 40, "redetect": 0.9, "appearance_min": 0.95, "residue_max": 9}),
    ],
)
def test_rows_equal_the_programs(tmp_path, arguments, settings):
    frames = drifting_frames()
    write_pgm(tmp_path / "frames", frames)
    program = run_program(str(tmp_path / "frames"), *arguments)
    assert as_csv(morvane.track_frames(frames, **settings)) == program
    # Views with other strides give the same; so does the library's own reading.
    padded = [np.pad(frame, ((0, 0), (0, 3)))[:, :-3] for frame in frames]
    assert as_csv(morvane.track_frames(iter(padded), **settings)) == program
    assert as_csv(morvane.track_video(tmp_path / "frames", **settings)) == program


def test_given_points_and_ends(tmp_path):
    frames = drifting_frames()
    points = np.array([[20.5, 20.25], [110.0, 50.0]])
    (tmp_path / "points.csv").write_text("x,y\n20.5,20.25\n110,50\n")
    write_pgm(tmp_path / "frames", frames)
    program = run_program(str(tmp_path / "frames"), "--points", str(tmp_path / "points.csv"))
    steps = list(morvane.track_frames(frames, points=points))
    assert as_csv(steps) == program
    assert [step.frame for step in steps] == list(range(len(frames)))
    np.testing.assert_array_equal(steps[0].points, points.astype(np.float32))
    # The point the noise covers ends where the noise appears; the other lives on.
    ended = [(step.frame, list(step.ended), step.reasons) for step in steps if len(step.ended)]
    assert len(ended) == 1 and ended[0][0] == 8 and ended[0][1] == [1]
    assert ended[0][2][0] in ("forward-backward", "appearance", "lost")
    assert list(steps[-1].tracks) == [0]


def test_refusals():
    frames = drifting_frames(3)
    cases = [
        ({"frames": frames, "bogus": 1}, TypeError, "unknown setting 'bogus'"),
        ({"frames": frames, "quality": 2.0}, morvane.SequenceError, "quality must lie in (0, 1], not 2"),
        ({"frames": [frames[0], frames[1][:, :-1]]}, morvane.SequenceError,
         "frame 1 is 149x118, not 150x118 as the first frame"),
        ({"frames": [frames[0].astype(np.float32)]}, ValueError, "2-D uint8 arrays, not 2-D float32"),
        ({"frames": [np.dstack([frames[0]] * 3)]}, ValueError, "2-D uint8 arrays, not 3-D uint8"),
    ]
    for arguments, error, message in cases:
        with pytest.raises(error) as raised:
            list(morvane.track_frames(**arguments))
        assert message in str(raised.value)
    with pytest.raises(morvane.SequenceError) as raised:
        list(morvane.track_video("no-such-input"))
    assert raised.value.code == morvane.sequence.READ and str(raised.value) == "no such file or folder"

