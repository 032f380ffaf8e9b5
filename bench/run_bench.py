"""make bench: what we ship against its budgets, in one table.

Sizes of the bootstrapper, the front end and each packed part; the bootstrapper's
staging time; the front end's time to its window, its download and digest
throughput; the peak working set of both programs. Each figure stands beside a baseline measured in the same run.
The Windows programs run in a Wine prefix of the benchmark's own (KELVRA_WINEBENCH,
BUILD/bench-wine for the CMake target `bench`), which is stopped, with everything
running in it, however the run ends.

usage: run_bench.py ARCH     (the targets of the CMake target `bench` built)
ARCH is the architecture (i686 or x86_64) of the build in KELVRA_BUILD_DIR. Sizes are
those of what users get, the 32-bit build: that build, or the one in KELVRA_SIZE_BUILD_DIR.
Exit code 0 when every figure was measured, 1 when one could not be, whether or
not the figures keep their budgets: the table is the result.
"""
import os
import pathlib
import sys

import download_figures
import size_figures
import staging_figures
import startup_figures
import winebench as bench
from table import render


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    arch = argv[1]
    build = bench.BUILD
    work = build / "bench-work"
    work.mkdir(parents=True, exist_ok=True)
    shipped = os.environ.get("KELVRA_SIZE_BUILD_DIR") or (build if arch == "i686" else None)
    if shipped is None:
        print("bench: no sizes: they are measured on the 32-bit build (KELVRA_SIZE_BUILD_DIR)", file=sys.stderr)
        rows = []
    else:
        rows = size_figures.size_rows(pathlib.Path(shipped).resolve())
    # Times are wall-clock: a busy machine shows in them.
    load = os.getloadavg()[0]
    print(f"bench: {os.cpu_count()} CPUs, load average {load:.2f}; starting the bench prefix for the {arch} build",
          file=sys.stderr)
    with bench.running(arch):
        rows.extend(staging_figures.staging_rows(work))
        rows.append(startup_figures.startup_row(work))
        rows += download_figures.download_rows(work)
    print(render(rows))
    return 1 if any(row.result.startswith("failed") for row in rows) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
