"""Download, digest and memory rows.

The real bootstrapper runs with a local remoteconfig.json whose downloadLink names a
256 MiB KelvraSetup.exe on a local HTTPS server (test CA trusted in the bench's
prefix only). It stages and starts the real front end, which downloads the file
beside itself, checks its MD5 and its signer and starts it: the file is the client
setup stand-in (tests/tools), which exits at once, padded with random bytes to 256
MiB and signed again with the build's certificate, whose root the prefix trusts
meanwhile (the front end runs only a setup of its own signer).
Meanwhile process_monitor.exe watches both programs' peak working sets.

The front end's phases are timed by when its log lines arrive: download from
"Starting client download." to "Downloading client setup finished.", digest from
"Starting up client setup." to "Checking the client setup's signature." (the
signature check after it is not timed), and the start from launching the
bootstrapper to the front end's first line after its window shows. Each round also
runs the front end once with installerSha256 in the configuration, so that it checks
MD5 and SHA-256 in one pass: that digest row's baseline is the MD5-only run. Baselines, in the same run: curl
fetching the same URL into a file, md5sum reading the same file, and for memory an
idle program that loads the same DLLs as the program measured (bench_idle.exe).
A bare WinHTTP download under the same Wine (https_fetch.exe) shows how much of the
gap to curl is the platform's.
"""
import hashlib
import http.server
import json
import os
import shutil
import statistics
import subprocess
import sys
import time

import https_server
import pe_image
import winebench as bench
from monitors import LogWatch, ProcessMonitor
from table import MIB, Row, size_text, unmeasured, verdict

FILE_SIZE = 256 * MIB
RUNS = 3
DOWNLOAD_RATIO_BUDGET = 0.9
DIGEST_RATIO_BUDGET = 0.8
BOOTSTRAPPER_MEMORY_BUDGET = 12 * MIB
FRONT_END_MEMORY_BUDGET = 40 * MIB
NO_DOWNLOAD = "n/a (front end has no download yet)"
WINDOW_TITLE = "ZAV Kelvra Web Installer"
# How long the front end may take to ask for the file once it says it is downloading.
REQUEST_GRACE_SECONDS = 30
RUN_TIMEOUT_SECONDS = 600
SETUP_NAME = "KelvraSetup.exe"
# The front end's first line after ShowWindow (frontend/window/window_startup.cpp).
WINDOW_SHOWN_PREFIX = "Installer running as user "
WINDOW_FIGURE = "start: bootstrapper launch to front end window"


class FileServer(https_server.HttpsService):
    """Serves one file over HTTPS on 127.0.0.1 in 1 MiB writes; counts the requests for it."""

    def __init__(self, certificate, path):
        super().__init__()
        self.requests = 0
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                if self.path != "/" + SETUP_NAME:
                    self.send_error(404)
                    return
                server.requests += 1
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(path.stat().st_size))
                self.end_headers()
                with path.open("rb") as source:
                    while chunk := source.read(MIB):
                        self.wfile.write(chunk)

            def log_message(self, *args):
                pass

        self.serve(Handler, certificate)
        self.url = f"https://localhost:{self.port}/{SETUP_NAME}"


def _signing():
    """The build's signing certificate, key and trusted root (cmake/Signing.cmake)."""
    folder = bench.BUILD / "signing"
    certificate = bench.build_setting("KELVRA_SIGNING_CERT", "") or str(folder / "test-signing-certificate.pem")
    key = bench.build_setting("KELVRA_SIGNING_KEY", "") or str(folder / "test-signing-key.pem")
    root = bench.build_setting("KELVRA_SIGNING_CA_FILE", "") or certificate
    return certificate, key, root


def _setup_file(work):
    """The client setup stand-in padded to FILE_SIZE with random bytes and signed, its
    MD5 and SHA-256. Made again when the stand-in changed."""
    path = work / SETUP_NAME
    program = (bench.BIN / "client_setup_standin.exe").read_bytes()
    made_from = work / (SETUP_NAME + ".from")
    if not path.exists() or not made_from.exists() or made_from.read_bytes() != hashlib.sha256(program).digest():
        unsigned = work / "unsigned.exe"
        subprocess.run(["osslsigncode", "remove-signature", "-in", str(bench.BIN / "client_setup_standin.exe"),
                        "-out", str(unsigned)], check=True, capture_output=True, timeout=120)
        certificate, key, _ = _signing()
        padded = FILE_SIZE - 16 * 1024  # room for the signature, then exactly what it took
        for _ in range(3):
            with unsigned.open("r+b") as out:
                out.truncate(min(padded, out.seek(0, os.SEEK_END)))
                while (left := padded - out.seek(0, os.SEEK_END)) > 0:
                    out.write(os.urandom(min(MIB, left)))
            path.unlink(missing_ok=True)
            subprocess.run(["osslsigncode", "sign", "-h", "sha256", "-certs", certificate, "-key", key,
                            "-in", str(unsigned), "-out", str(path)], check=True, capture_output=True, timeout=300)
            if path.stat().st_size == FILE_SIZE:
                break
            padded += FILE_SIZE - path.stat().st_size
        unsigned.unlink()
        made_from.write_bytes(hashlib.sha256(program).digest())
    md5, sha256 = hashlib.md5(), hashlib.sha256()
    with path.open("rb") as source:
        while chunk := source.read(MIB):
            md5.update(chunk)
            sha256.update(chunk)
    return path, md5.hexdigest(), sha256.hexdigest()


def _timed(command):
    """Seconds that a Linux command takes to its end."""
    began = time.monotonic()
    subprocess.run(command, check=True, capture_output=True, timeout=300)
    return time.monotonic() - began


def _curl_seconds(server, ca, target):
    try:
        return _timed(["curl", "--silent", "--show-error", "--fail", "--noproxy", "*", "--cacert", str(ca),
                       "--output", str(target), server.url])
    finally:
        target.unlink(missing_ok=True)


def _winhttp_seconds(server, target):
    """https_fetch.exe's own time for the whole file, or None when it did not get it."""
    host_port, path = server.url.removeprefix("https://").split("/", 1)
    host, port = host_port.split(":")
    try:
        result = bench.wine([bench.BIN / "https_fetch.exe", host, port, "/" + path, bench.z_path(target)],
                           timeout=300)
    finally:
        target.unlink(missing_ok=True)
    values = dict(line.split("=", 1) for line in result.stdout.decode().split() if "=" in line)
    if result.returncode != 0 or int(values.get("bytes", 0)) != FILE_SIZE:
        return None
    return int(values["milliseconds"]) / 1000


class FrontEndRun:
    """One run of the real bootstrapper and front end; the figures it yields or why not."""

    def __init__(self):
        self.download_seconds = None
        self.digest_seconds = None
        self.bootstrapper_peak = None
        self.front_end_peak = None
        self.window_seconds = None
        self.problem = None


def _end_front_end(bootstrapper):
    """Closes the front end's window, ends it outright when that is not enough (a
    close during the download asks first), and waits for the bootstrapper."""
    bench.wine([bench.BIN / "front_end_window.exe", WINDOW_TITLE, 5000], timeout=60)
    for attempt in range(2):
        try:
            bootstrapper.wait(timeout=15)
            return
        except subprocess.TimeoutExpired:
            if attempt == 0:
                bench.wine(["taskkill", "/F", "/IM", "KelvraInstaller.exe"], timeout=60)
    bootstrapper.kill()
    bootstrapper.wait()


def _wait_for_end(bootstrapper, watch, server):
    """Waits until the bootstrapper ends; returns why it had to be helped, or None."""
    deadline = time.monotonic() + RUN_TIMEOUT_SECONDS
    requests_before = server.requests
    while bootstrapper.poll() is None:
        started = watch.first(lambda m: m == "Starting client download.")
        problem = None
        if time.monotonic() > deadline:
            problem = f"failed: no end within {RUN_TIMEOUT_SECONDS} s"
        elif started and server.requests == requests_before and \
                time.monotonic() - started[0] > REQUEST_GRACE_SECONDS:
            problem = NO_DOWNLOAD
        elif watch.errors():
            problem = "failed: front end logged: " + watch.errors()[0]
        if problem is not None:
            _end_front_end(bootstrapper)
            return problem
        time.sleep(0.05)
    return None


def _front_end_run(work, server, md5, sha256=None):
    cwd = work / "download"
    shutil.rmtree(cwd, ignore_errors=True)
    cwd.mkdir(parents=True)
    (cwd / "remoteconfig.json").write_text(json.dumps(https_server.remote_config(server.url, md5, sha256)))
    run = FrontEndRun()
    monitors = [ProcessMonitor(name, RUN_TIMEOUT_SECONDS + 60)
                for name in ("InstallerBootstrapper.exe", "KelvraInstaller.exe")]
    watch = LogWatch(bench.FRONT_END_LOG)
    launched = time.monotonic()
    bootstrapper = bench.wine_background([bench.BOOTSTRAPPER], cwd=cwd, env={"KELVRA_SETUP_EXIT": "0"},
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        run.problem = _wait_for_end(bootstrapper, watch, server)
        run.bootstrapper_peak, run.front_end_peak = (monitor.peak(timeout=30) for monitor in monitors)
    finally:
        watch.stop()
        for monitor in monitors:
            monitor.close()
    shown = watch.first(lambda m: m.startswith(WINDOW_SHOWN_PREFIX))
    if shown:
        run.window_seconds = shown[0] - launched
    if run.problem is None:
        run.download_seconds = _between(watch, "Starting client download.", "Downloading client setup finished.")
        run.digest_seconds = _between(watch, "Starting up client setup.", "Checking the client setup's signature.")
        if run.download_seconds is None or run.digest_seconds is None:
            run.problem = "failed: the front end did not log its download and digest"
    return run


def _between(watch, first, last):
    start = watch.first(lambda m: m == first)
    end = watch.first(lambda m: m.startswith(last))
    return end[0] - start[0] if start and end and end[0] >= start[0] else None


def _floor_peak(program, loaded_at_start=()):
    """Peak working set of an idle program that loads the DLLs that program imports,
    and those it loads itself at start-up instead of importing them."""
    dlls = pe_image.imported_dlls(program.read_bytes()) + list(loaded_at_start)
    monitor = ProcessMonitor("bench_idle.exe", 60)
    try:
        bench.wine([bench.BIN / "bench_idle.exe", *dlls], timeout=60)
        return monitor.peak(timeout=30)
    finally:
        monitor.close()


def _throughput(seconds):
    return FILE_SIZE / MIB / seconds


def _rate_row(figure, seconds, baseline_seconds, baseline_name, budget, note=""):
    value, baseline = _throughput(seconds), _throughput(baseline_seconds)
    ratio = value / baseline
    return Row(figure, f"{value:.0f} MiB/s", f">= {budget:.1f} x {baseline_name}" if budget else "-",
               f"{baseline:.0f} MiB/s ({baseline_name})", ratio, (verdict(ratio >= budget) if budget else "-") + note)


def _memory_row(figure, peak, budget, floor, note=None):
    if peak is None:
        return unmeasured(figure, "failed: the monitor saw no such process")
    result = note or verdict(peak <= budget)
    if floor and not note:
        result += f" ({size_text(peak - floor)} above its DLLs)"
    return Row(figure, size_text(peak), f"<= {size_text(budget)}", f"{size_text(floor)} (its DLLs, no work)",
               peak / floor if floor else None, result)


class _Measurements:
    """Every round runs each contender once, in turn, so that a busy machine slows
    them alike; the figures are medians over the rounds."""

    def __init__(self):
        self.front_end = []
        self.front_end_sha256 = []
        self.winhttp = []
        self.curl = []
        self.md5sum = []
        self.in_order = []  # every front-end run, the first in the prefix first

    def problem(self):
        return next((run.problem for run in self.front_end + self.front_end_sha256 if run.problem), None)

    def peak(self, attribute):
        runs = self.front_end + self.front_end_sha256
        return max((getattr(run, attribute) for run in runs if getattr(run, attribute)), default=None)


def _measure(work, server, certificates, setup, md5, sha256):
    measured = _Measurements()
    for n in range(RUNS):
        print(f"bench: download round {n + 1}/{RUNS}", file=sys.stderr)
        measured.front_end.append(_front_end_run(work, server, md5))
        measured.front_end_sha256.append(_front_end_run(work, server, md5, sha256))
        measured.in_order += [measured.front_end[-1], measured.front_end_sha256[-1]]
        if measured.problem() is not None:
            break
        measured.winhttp.append(_winhttp_seconds(server, work / "winhttp-download.bin"))
        measured.curl.append(_curl_seconds(server, certificates.ca, work / "curl-download.bin"))
        measured.md5sum.append(_timed(["md5sum", str(setup)]))
    return measured


def _window_row(runs):
    """The later runs' median start against that of the first run since the bench started."""
    figure = WINDOW_FIGURE
    times = [run.window_seconds for run in runs]
    if len(times) < 2 or None in times:
        return unmeasured(figure, "failed: a front end logged no line after showing its window")
    first, later = times[0], times[1:]
    median = statistics.median(later)
    return Row(f"{figure} (median of runs 2-{len(times)})", f"{median:.2f} s", "-", f"{first:.2f} s (first run)",
               median / first, f"- (runs 2-{len(times)}: {min(later):.2f}-{max(later):.2f} s)")


def download_rows(work):
    """Rows: front end download, WinHTTP alone, digest, bootstrapper memory, front end memory, digest with
    SHA-256, start to the front end's window."""
    figures = ["download: 256 MiB over loopback HTTPS", "download: WinHTTP alone, same Wine", "digest: MD5 of 256 MiB",
               "memory: bootstrapper peak working set", "memory: front end peak working set (download)",
               "digest: MD5 + SHA-256 of 256 MiB, one pass", WINDOW_FIGURE]
    work.mkdir(parents=True, exist_ok=True)
    setup, md5, sha256 = _setup_file(work)
    certificates = https_server.Certificates(work / "certificates")
    signing_root = _signing()[2]
    for ca in (certificates.ca, signing_root):
        if bench.wine([bench.BIN / "trust_test_root.exe", "add", bench.z_path(ca)]).returncode != 0:
            return [unmeasured(f, "failed: the test CA could not be trusted in the prefix") for f in figures]
    server = FileServer(certificates.server, setup)
    try:
        bootstrapper_floor = _floor_peak(bench.BIN / "InstallerBootstrapper.exe")
        # Loaded by the front end before its window shows (frontend/window/program.cpp, window.cpp).
        front_end_floor = _floor_peak(bench.BUILD / "staged" / "KelvraInstaller.exe",
                                      ("winhttp.dll", "bcrypt.dll", "crypt32.dll", "wintrust.dll", "comctl32.dll"))
        measured = _measure(work, server, certificates, setup, md5, sha256)
    finally:
        server.stop()
        for ca in (certificates.ca, signing_root):
            bench.wine([bench.BIN / "trust_test_root.exe", "remove", bench.z_path(ca)])

    bootstrapper_row = _memory_row(figures[3], measured.peak("bootstrapper_peak"), BOOTSTRAPPER_MEMORY_BUDGET,
                                   bootstrapper_floor)
    problem = measured.problem()
    if problem is not None:
        return [unmeasured(figures[0], problem), unmeasured(figures[1], problem), unmeasured(figures[2], problem),
                bootstrapper_row,
                _memory_row(figures[4], measured.peak("front_end_peak"), FRONT_END_MEMORY_BUDGET, front_end_floor,
                            note=problem),
                unmeasured(figures[5], problem), _window_row(measured.in_order)]
    rounds = f" (median of {RUNS})"
    curl = statistics.median(measured.curl)
    download = statistics.median(run.download_seconds for run in measured.front_end)
    if None in measured.winhttp:
        winhttp = None
        winhttp_row = unmeasured(figures[1], "failed: https_fetch.exe did not fetch the file")
    else:
        winhttp = statistics.median(measured.winhttp)
        winhttp_row = _rate_row(figures[1] + rounds, winhttp, curl, "curl", None)
    note = f" ({winhttp / download:.2f} x WinHTTP alone)" if winhttp else ""
    md5_digest = statistics.median(run.digest_seconds for run in measured.front_end)
    both_digests = statistics.median(run.digest_seconds for run in measured.front_end_sha256)
    return [_rate_row(figures[0] + rounds, download, curl, "curl", DOWNLOAD_RATIO_BUDGET, note),
            winhttp_row,
            _rate_row(figures[2] + rounds, md5_digest, statistics.median(measured.md5sum), "md5sum",
                      DIGEST_RATIO_BUDGET),
            bootstrapper_row,
            _memory_row(figures[4], measured.peak("front_end_peak"), FRONT_END_MEMORY_BUDGET, front_end_floor),
            _rate_row(figures[5] + rounds, both_digests, md5_digest, "MD5 alone", None,
                      f" ({both_digests - md5_digest:+.2f} s: {md5_digest:.2f} s -> {both_digests:.2f} s)"),
            _window_row(measured.in_order)]
