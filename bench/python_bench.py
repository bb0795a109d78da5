#!/usr/bin/env python3
"""Calls from Python against the same calls through IDispatch::Invoke from C, in one run.

    /usr/bin/python3 bench/python_bench.py DISPATCH_BENCH PREFIX [--rounds N]

DISPATCH_BENCH is the built dispatch_bench, PREFIX an installation of the same
build (``cmake --install``). Each round runs dispatch_bench's Invoke cases
(track_corners on two 640 × 480 frames with 400 points, the lines read), which
also write their frames and points, and then times the same calls from Python
on those inputs: Tracker.track and a property read through the package. Each
side's figure is its best repetition, which a shared machine disturbs least. A last
step times one thread tracking against four threads tracking at once, with
OpenCV's default threads and with one (OPENCV_FOR_THREADS_NUM=1), each in a
process of its own.
"""

from __future__ import annotations

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

REPETITIONS = 10
TRACKS = 50
READS = 20_000


def c_best(bench: Path, inputs: Path) -> dict[str, float]:
    """Best seconds per call over dispatch_bench's repetitions of its Invoke cases."""
    shown = subprocess.run(
        [str(bench), "--benchmark_filter=^(TrackCornersByInvoke|PropertyGetByInvoke)$",
         f"--benchmark_repetitions={REPETITIONS}", "--benchmark_min_time=0.03", "--benchmark_format=json"],
        env={**os.environ, "MORVANE_BENCH_INPUTS": str(inputs)}, capture_output=True, text=True, check=True)
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    best: dict[str, float] = {}
    for case in json.loads(shown.stdout)["benchmarks"]:
        if case.get("run_type") == "iteration":
            seconds = case["real_time"] * scale[case["time_unit"]]
            best[case["run_name"]] = min(seconds, best.get(case["run_name"], seconds))
    return best


def python_best(action, calls: int) -> float:
    """Best seconds per call over the repetitions."""
    times = []
    for _ in range(REPETITIONS):
        start = time.perf_counter()
        for _ in range(calls):
            action()
        times.append((time.perf_counter() - start) / calls)
    return min(times)


def component_tracker(morvane, shape):
    """A Tracker with the settings dispatch_bench's tracker has: the component's own
    defaults (5 x 5 window, no pyramid, 5 iterations, epsilon 0.1), not Tracker's."""
    return morvane.Tracker(shape, half_window=(2, 2), levels=0, iterations=5, epsilon=0.1, max_features=400)


def threads_ratio(morvane, frames, points, tracks: int) -> float:
    """Wall time of four threads each tracking `tracks` times over one thread's."""
    def work() -> None:
        with component_tracker(morvane, frames[0].shape) as tracker:
            for _ in range(tracks):
                tracker.track(*frames, points)

    start = time.perf_counter()
    work()
    alone = time.perf_counter() - start
    threads = [threading.Thread(target=work) for _ in range(4)]
    start = time.perf_counter()
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return (time.perf_counter() - start) / alone


def read_inputs(folder: Path):
    """The frames and points that dispatch_bench wrote."""
    import numpy as np

    frames = [np.fromfile(folder / name, np.uint8).reshape(480, 640) for name in ("frame_a.raw", "frame_b.raw")]
    return frames, np.fromfile(folder / "points.raw", np.float64).reshape(2, -1).T


def compare(options: argparse.Namespace, scratch: Path, morvane) -> None:
    rows = []
    for _ in range(options.rounds):
        c = c_best(options.bench, scratch)
        frames, points = read_inputs(scratch)
        with component_tracker(morvane, (480, 640)) as tracker:
            track = python_best(lambda: tracker.track(*frames, points), TRACKS)
            dispatched = tracker._object
            read = python_best(lambda: dispatched.lines, READS)
        rows.append((c["TrackCornersByInvoke"], track, c["PropertyGetByInvoke"], read))
        print("round: track %.0f µs (C) %.0f µs (Python) ratio %.3f; lines read %.0f ns (C) %.2f µs (Python)"
              % (rows[-1][0] * 1e6, track * 1e6, track / rows[-1][0], rows[-1][2] * 1e9, read * 1e6), flush=True)
    best = [min(r[k] for r in rows) for k in range(4)]
    print("best of all rounds: track %.0f µs (C) %.0f µs (Python) ratio %.3f; lines read %.0f ns (C) %.2f µs (Python)"
          % (best[0] * 1e6, best[1] * 1e6, best[1] / best[0], best[2] * 1e9, best[3] * 1e6))
    ratios = sorted(r[1] / r[0] for r in rows)
    reads = sorted(r[3] for r in rows)
    print("Tracker.track / Invoke from C, best times: median over rounds %.3f (%.3f-%.3f)"
          % (statistics.median(ratios), ratios[0], ratios[-1]))
    print("property read from Python, best time: median over rounds %.2f µs (%.2f-%.2f)"
          % (statistics.median(reads) * 1e6, reads[0] * 1e6, reads[-1] * 1e6))
    for label, environment in (("default", {}), ("one", {"OPENCV_FOR_THREADS_NUM": "1"})):
        shown = subprocess.run(
            [sys.executable, __file__, str(options.bench), str(options.prefix), "--threads-only", str(scratch)],
            env={**os.environ, **environment}, capture_output=True, text=True, check=True)
        print("four threads / one thread, 50 tracks each, OpenCV threads %s: %s" % (label, shown.stdout.strip()))


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bench", type=Path)
    parser.add_argument("prefix", type=Path)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--threads-only", type=Path, help=argparse.SUPPRESS)  # the folder of the inputs
    options = parser.parse_args()
    sys.path.insert(0, str(options.prefix / "lib/python3/dist-packages"))
    if options.threads_only:
        import morvane

        print("%.2f" % threads_ratio(morvane, *read_inputs(options.threads_only), 50))
        return 0
    with tempfile.TemporaryDirectory(prefix="python-bench.") as folder:
        scratch = Path(folder)
        os.environ["MORVANE_REGISTRY"] = str(scratch / "registry.db")
        os.environ["MORVANE_MACHINE_REGISTRY"] = str(scratch / "machine.db")
        subprocess.run([str(options.prefix / "bin/regsvr"), str(options.prefix / "lib/Morvane.so")],
                       check=True, capture_output=True)
        import morvane

        compare(options, scratch, morvane)
    return 0


if __name__ == "__main__":
    sys.exit(main())
