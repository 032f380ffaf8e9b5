"""Start-up row: the front end's time from the start of its process to its window,
median of a few runs after a warm-up, as frontend_driver.exe (tests/tools) sees it:
the driver starts the program and polls for its top-level window.

The front end runs from a working folder laid out as the bootstrapper leaves it,
with a local remoteconfig.json whose download link names a closed local port, so
that nothing waits on the network; each run is ended once its window is there.
"""
import json
import shutil
import statistics
import subprocess
import sys

import winebench as bench
from https_server import remote_config
from table import Row, unmeasured

RUNS = 5
LOCAL_CONFIG = remote_config("https://localhost:9/KelvraSetup.exe", "0123456789abcdef0123456789abcdef")


def _stage(folder):
    staged = bench.BUILD / "staged"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    shutil.copy(staged / "KelvraInstaller.exe", folder / "KelvraInstaller.exe")
    for culture in staged.iterdir():
        if culture.is_dir():
            shutil.copytree(culture, folder / culture.name)
    shutil.copy(bench.ROOT / "resources" / "application.ico", folder / "icon.ico")
    (folder / "remoteconfig.json").write_text(json.dumps(LOCAL_CONFIG))


def _milliseconds_to_window(program):
    """One run: the driver's "shown N" line, then the front end ended."""
    driver = bench.wine_background([bench.BIN / "frontend_driver.exe", "run", bench.z_path(program)],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        first = driver.stdout.readline().decode(errors="replace").strip()
    finally:
        bench.wine(["taskkill", "/F", "/IM", "KelvraInstaller.exe"], timeout=60)
        try:
            driver.wait(timeout=60)
        except subprocess.TimeoutExpired:
            driver.kill()
            driver.wait()
        driver.stdout.close()
    if not first.startswith("shown "):
        raise RuntimeError(f"the front end showed no window: {first or 'no answer from the driver'}")
    return int(first.split()[1])


def startup_row(work):
    figure = f"front end: start to window shown (median of {RUNS})"
    folder = work / "startup"
    _stage(folder)
    try:
        # The first run warms the caches.
        _milliseconds_to_window(folder / "KelvraInstaller.exe")
        times = []
        for n in range(RUNS):
            print(f"bench: front-end start-up run {n + 1}/{RUNS}", file=sys.stderr)
            times.append(_milliseconds_to_window(folder / "KelvraInstaller.exe"))
    except (RuntimeError, subprocess.TimeoutExpired) as error:
        return unmeasured(figure, f"failed: {error}")
    median = statistics.median(times)
    return Row(figure, f"{median:.0f} ms", result=f"- (runs {min(times)}-{max(times)} ms)")
