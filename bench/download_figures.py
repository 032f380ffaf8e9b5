"""Download, digest and memory rows.

The real bootstrapper runs with a local remoteconfig.json whose downloadLink names a
256 MiB KelvraSetup.exe on a local HTTPS server (test CA trusted in the bench's
prefix only). It stages and starts the real front end, which downloads the file
beside itself, checks its MD5 and starts it: the file is the client setup stand-in
(tests/tools), padded with random bytes, so it exits at once. Meanwhile
process_monitor.exe watches both programs' peak working sets.

The front end's phases are timed by when its log lines arrive: download from
"Starting client download." to "Downloading client setup finished.", digest from
"Starting up client setup." to "launching: ...". Baselines, in the same run: curl
fetching the same URL into a file, md5sum reading the same file, and the peak
working set of an empty program under the same Wine.
"""
import hashlib
import http.server
import json
import os
import shutil
import ssl
import statistics
import subprocess
import sys
import threading
import time

import wine_bench
from table import MIB, Row, size_text, unmeasured, verdict

sys.path.insert(0, str(wine_bench.ROOT / "tests" / "scenario"))
import https_server  # noqa: E402  (the tests' certificate maker)

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


class FileServer:
    """Serves one file over HTTPS on 127.0.0.1 in 1 MiB writes; counts the requests for it."""

    def __init__(self, certificate, path):
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

        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*map(str, certificate))
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.httpd.socket = context.wrap_socket(self.httpd.socket, server_side=True)
        self.url = f"https://localhost:{self.httpd.server_address[1]}/{SETUP_NAME}"
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(timeout=10)


def _head(path, size):
    with path.open("rb") as source:
        return source.read(size)


def _setup_file(bench, work):
    """The client setup stand-in padded to FILE_SIZE with random bytes, and its MD5."""
    path = work / SETUP_NAME
    program = (bench.bin / "client_setup_standin.exe").read_bytes()
    if not path.exists() or path.stat().st_size != FILE_SIZE or _head(path, len(program)) != program:
        with path.open("wb") as out:
            out.write(program)
            left = FILE_SIZE - len(program)
            while left:
                chunk = os.urandom(min(MIB, left))
                out.write(chunk)
                left -= len(chunk)
    digest = hashlib.md5()
    with path.open("rb") as source:
        while chunk := source.read(MIB):
            digest.update(chunk)
    return path, digest.hexdigest()


def _median_seconds(command, runs=RUNS):
    times = []
    for _ in range(runs):
        began = time.monotonic()
        subprocess.run(command, check=True, capture_output=True, timeout=300)
        times.append(time.monotonic() - began)
    return statistics.median(times)


def _curl_seconds(server, ca, target):
    try:
        return _median_seconds(["curl", "--silent", "--show-error", "--fail", "--noproxy", "*", "--cacert", str(ca),
                                "--output", str(target), server.url])
    finally:
        target.unlink(missing_ok=True)


class FrontEndRun:
    """One run of the real bootstrapper and front end; the figures it yields or why not."""

    def __init__(self):
        self.download_seconds = None
        self.digest_seconds = None
        self.bootstrapper_peak = None
        self.front_end_peak = None
        self.problem = None


def _close_front_end(bench):
    """Closes the front end's window; ends it outright when that is not enough."""
    closer = bench.run([bench.bin / "front_end_window.exe", WINDOW_TITLE, 5000], timeout=60)
    if closer.returncode != 0:
        bench.run(["taskkill", "/F", "/IM", "KelvraInstaller.exe"], timeout=60)


def _wait_for_end(bench, bootstrapper, watch, server):
    """Waits until the bootstrapper ends; returns why it had to be helped, or None."""
    deadline = time.monotonic() + RUN_TIMEOUT_SECONDS
    problem = None
    while bootstrapper.poll() is None:
        if time.monotonic() > deadline:
            problem = f"failed: no end within {RUN_TIMEOUT_SECONDS} s"
        started = watch.first(lambda m: m == "Starting client download.")
        if problem is None and started and server.requests == 0 and \
                time.monotonic() - started[0] > REQUEST_GRACE_SECONDS:
            problem = NO_DOWNLOAD
        if problem is None and watch.errors():
            problem = "failed: front end logged: " + watch.errors()[0]
        if problem is not None:
            _close_front_end(bench)
            try:
                bootstrapper.wait(timeout=60)
            except subprocess.TimeoutExpired:
                bootstrapper.kill()
                bootstrapper.wait()
            return problem
        time.sleep(0.05)
    return None


def _front_end_run(bench, work, server, md5):
    cwd = work / "download"
    shutil.rmtree(cwd, ignore_errors=True)
    cwd.mkdir(parents=True)
    config = {"content": {"windows": {"version": "2.4.0", "downloadLink": server.url, "installerMd5": md5,
                                      "deprecated": False}}}
    (cwd / "remoteconfig.json").write_text(json.dumps(config))
    run = FrontEndRun()
    monitors = [wine_bench.ProcessMonitor(bench, name, RUN_TIMEOUT_SECONDS + 60)
                for name in ("InstallerBootstrapper.exe", "KelvraInstaller.exe")]
    watch = wine_bench.LogWatch(bench.front_end_log)
    bootstrapper = bench.background([bench.bin / "InstallerBootstrapper.exe"], cwd=cwd, env={"KELVRA_SETUP_EXIT": "0"},
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        run.problem = _wait_for_end(bench, bootstrapper, watch, server)
        run.bootstrapper_peak, run.front_end_peak = (monitor.peak(timeout=30) for monitor in monitors)
    finally:
        watch.stop()
        for monitor in monitors:
            monitor.close()
    if run.problem is None:
        run.download_seconds = _between(watch, "Starting client download.", "Downloading client setup finished.")
        run.digest_seconds = _between(watch, "Starting up client setup.", "launching: ")
        if run.download_seconds is None or run.digest_seconds is None:
            run.problem = "failed: the front end did not log its download and digest"
    return run


def _between(watch, first, last):
    start = watch.first(lambda m: m == first)
    end = watch.first(lambda m: m.startswith(last))
    return end[0] - start[0] if start and end and end[0] >= start[0] else None


def _idle_peak(bench):
    monitor = wine_bench.ProcessMonitor(bench, "bench_idle.exe", 60)
    try:
        bench.run([bench.bin / "bench_idle.exe"], timeout=60)
        return monitor.peak(timeout=30)
    finally:
        monitor.close()


def _throughput(seconds):
    return FILE_SIZE / MIB / seconds


def _rate_row(figure, seconds, baseline_seconds, baseline_name, budget):
    value, baseline = _throughput(seconds), _throughput(baseline_seconds)
    ratio = value / baseline
    return Row(figure, f"{value:.0f} MiB/s", f">= {budget:.1f} x {baseline_name}",
               f"{baseline:.0f} MiB/s ({baseline_name})", ratio, verdict(ratio >= budget))


def _memory_row(figure, peak, budget, idle, note=None):
    if peak is None:
        return unmeasured(figure, "failed: the monitor saw no such process")
    result = note or verdict(peak <= budget)
    return Row(figure, size_text(peak), f"<= {size_text(budget)}", f"{size_text(idle)} (empty program)",
               peak / idle if idle else None, result)


def download_rows(bench, work):
    download_figure = "download: 256 MiB over loopback HTTPS"
    digest_figure = "digest: MD5 of 256 MiB"
    bootstrapper_figure = "memory: bootstrapper peak working set"
    front_end_figure = "memory: front end peak working set (download)"
    work.mkdir(parents=True, exist_ok=True)
    setup, md5 = _setup_file(bench, work)
    certificates = https_server.Certificates(work / "certificates")
    trust = bench.run([bench.bin / "trust_test_root.exe", "add", bench.windows_path(certificates.ca)])
    if trust.returncode != 0:
        reason = "failed: the test CA could not be trusted in the prefix"
        return [unmeasured(f, reason) for f in (download_figure, digest_figure, bootstrapper_figure, front_end_figure)]
    server = FileServer(certificates.server, setup)
    try:
        idle = _idle_peak(bench)
        runs = []
        for n in range(RUNS):
            print(f"bench: download run {n + 1}/{RUNS}", file=sys.stderr)
            runs.append(_front_end_run(bench, work, server, md5))
            if runs[-1].problem is not None:
                break
        print("bench: curl and md5sum", file=sys.stderr)
        curl = _curl_seconds(server, certificates.ca, work / "curl-download.bin")
        md5sum = _median_seconds(["md5sum", str(setup)])
    finally:
        server.stop()
        bench.run([bench.bin / "trust_test_root.exe", "remove", bench.windows_path(certificates.ca)])

    bootstrapper_peak = max((r.bootstrapper_peak for r in runs if r.bootstrapper_peak), default=None)
    front_end_peak = max((r.front_end_peak for r in runs if r.front_end_peak), default=None)
    rows = [_memory_row(bootstrapper_figure, bootstrapper_peak, BOOTSTRAPPER_MEMORY_BUDGET, idle)]
    problem = next((r.problem for r in runs if r.problem), None)
    if problem is not None:
        rows += [unmeasured(download_figure, problem), unmeasured(digest_figure, problem),
                 _memory_row(front_end_figure, front_end_peak, FRONT_END_MEMORY_BUDGET, idle, note=problem)]
        return rows
    download = statistics.median(r.download_seconds for r in runs)
    digest = statistics.median(r.digest_seconds for r in runs)
    rows += [_rate_row(f"{download_figure} (median of {RUNS})", download, curl, "curl", DOWNLOAD_RATIO_BUDGET),
             _rate_row(f"{digest_figure} (median of {RUNS})", digest, md5sum, "md5sum", DIGEST_RATIO_BUDGET),
             _memory_row(front_end_figure, front_end_peak, FRONT_END_MEMORY_BUDGET, idle)]
    return rows
