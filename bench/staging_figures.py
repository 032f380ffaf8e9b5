"""Staging rows: the bootstrapper's own time from its first log line to the launch
line, median of ten runs, against the same build with its resources stored
uncompressed (run in turn with it, so that a busy machine slows both alike); and
that uncompressed build against cp copying the same bytes into a fresh folder.

The runs use the test builds whose front end is the stand-in (tests/tools), which
exits at once, so nothing waits; a local remoteconfig.json in the current directory
keeps the network out, and .NET 4.8 is registered so that the requirements pass.
"""
import datetime
import json
import shutil
import statistics
import subprocess
import sys
import time

import winebench as bench
from https_server import remote_config
from table import Row, unmeasured, verdict

RUNS = 10
BUDGET_MS = 30.0
# Inflating may cost at most this much over staging the same resources uncompressed.
BUDGET_RATIO = 1.3
PACKED = "InstallerBootstrapperWithStandin.exe"
STORED = "InstallerBootstrapperWithStandinStored.exe"
NET_4 = r"HKLM\Software\Microsoft\NET Framework Setup\NDP\v4\Full"
FIRST_LINE = "Initializing installer bootstrapper."
LAUNCH_PREFIX = "Executing installer. Path ["
LOCAL_CONFIG = remote_config("https://localhost:9/KelvraSetup.exe", "0123456789abcdef0123456789abcdef")


def _staging_milliseconds(lines):
    """From (time, level, message) of a run's log lines."""
    first = next((stamp for stamp, _, message in lines if message == FIRST_LINE), None)
    launch = next((stamp for stamp, _, message in lines if message.startswith(LAUNCH_PREFIX)), None)
    if first is None or launch is None:
        raise RuntimeError("the run logged no first or no launch line: " + " | ".join(m for _, _, m in lines[-3:]))
    return (_time(launch) - _time(first)).total_seconds() * 1000


def _time(stamp):
    return datetime.datetime.strptime(stamp, "%Y-%m-%d %H:%M:%S.%f")


def _run_once(program, cwd, env):
    start = bench.log_size()
    bench.wine([bench.BIN / program], cwd=cwd, env=env, timeout=120)
    return _staging_milliseconds([bench.LINE_PATTERN.match(line).groups() for line in bench.log_lines(start)])


def _copy_milliseconds(source, target):
    shutil.rmtree(target, ignore_errors=True)
    began = time.monotonic()
    subprocess.run(["cp", "-r", str(source), str(target)], check=True, timeout=60)
    return (time.monotonic() - began) * 1000


def staging_rows(work):
    figure = f"staging: first log line to launch (median of {RUNS})"
    stored_figure = f"staging: the same, resources uncompressed (median of {RUNS})"
    cwd = work / "staging"
    staged = work / "staged"
    for folder in (cwd, staged):
        shutil.rmtree(folder, ignore_errors=True)
    cwd.mkdir(parents=True)
    (cwd / "remoteconfig.json").write_text(json.dumps(LOCAL_CONFIG))
    bench.registry_set(NET_4, "Release", 528040, "REG_DWORD")
    try:
        # The first runs warm the caches and leave a copy of what was staged for cp.
        _run_once(STORED, cwd, {})
        _run_once(PACKED, cwd, {"KELVRA_STANDIN_COPY_TO": bench.z_path(staged)})
        times, stored_times = [], []
        for n in range(RUNS):
            print(f"bench: staging run {n + 1}/{RUNS}", file=sys.stderr)
            times.append(_run_once(PACKED, cwd, {}))
            stored_times.append(_run_once(STORED, cwd, {}))
    except (RuntimeError, subprocess.TimeoutExpired) as error:
        return [unmeasured(figure, f"failed: {error}")]
    if not staged.is_dir():
        return [unmeasured(figure, "failed: the stand-in front end copied nothing")]
    copies = [_copy_milliseconds(staged, work / f"copy-{n}") for n in range(RUNS)]
    for n in range(RUNS):
        shutil.rmtree(work / f"copy-{n}", ignore_errors=True)
    median = statistics.median(times)
    stored = statistics.median(stored_times)
    copy = statistics.median(copies)
    size = sum(f.stat().st_size for f in staged.rglob("*") if f.is_file())
    ratio = median / stored if stored else None
    within = median <= BUDGET_MS and ratio is not None and ratio <= BUDGET_RATIO
    return [
        Row(figure, f"{median:.1f} ms", f"<= {BUDGET_MS:.0f} ms, <= {BUDGET_RATIO} x uncompressed",
            f"{stored:.1f} ms (resources uncompressed)", ratio,
            verdict(within) + f" (runs {min(times):.0f}-{max(times):.0f} ms)"),
        Row(stored_figure, f"{stored:.1f} ms", "-", f"{copy:.1f} ms (cp -r of the {size / 1048576:.2f} MiB staged)",
            stored / copy if copy else None, f"- (runs {min(stored_times):.0f}-{max(stored_times):.0f} ms)"),
    ]
