"""The benchmark's own Wine prefix: started by tests/wine/bench.sh in BUILD/bench-wine
(never the tests' prefix, so a test run in the same build folder is not disturbed),
programs run in it with time-outs, and the logs they leave there.
"""
import contextlib
import datetime
import os
import pathlib
import re
import subprocess
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
BENCH_SCRIPT = ROOT / "tests" / "wine" / "bench.sh"

_BOOTSTRAPPER_LINE = re.compile(r"^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\] \[fileLogger\] \[(\w+)\] (.*)$")
_FRONT_END_LINE = re.compile(r"^\[(.+?)\] \[(information|warning|error)\] (.*)$")


class WineBench:
    def __init__(self, build, arch):
        self.build = pathlib.Path(build).resolve()
        self.arch = arch
        self.state = self.build / "bench-wine"
        self.bin = self.build / "bin"
        drive_c = self.state / "prefix" / "drive_c"
        self.drive_c = drive_c
        log_dir = drive_c / "ProgramData" / "ZAVsoft" / "Kelvra" / "logs"
        self.bootstrapper_log = log_dir / "InstallerBootstrapper.log"
        self.front_end_log = log_dir / "InstallerWebinstaller.log"
        self._started = False

    def start(self):
        result = subprocess.run([str(BENCH_SCRIPT), "start", str(self.state), self.arch], capture_output=True,
                                timeout=600)
        self._started = True
        if result.returncode != 0:
            raise RuntimeError(f"the bench prefix did not start: {result.stderr.decode(errors='replace')}")

    def stop(self):
        if self._started:
            subprocess.run([str(BENCH_SCRIPT), "stop", str(self.state)], capture_output=True, timeout=120)
            self._started = False

    def _command(self, args):
        return [str(BENCH_SCRIPT), "run", str(self.state), *map(str, args)]

    @staticmethod
    def _environment(extra):
        env = dict(os.environ)
        env["LC_ALL"] = "en_US.UTF-8"
        env.update(extra or {})
        return env

    def run(self, args, cwd=None, env=None, timeout=120):
        """Runs a Windows program to its end; returns the CompletedProcess."""
        return subprocess.run(self._command(args), cwd=cwd, env=self._environment(env), capture_output=True,
                              timeout=timeout)

    def background(self, args, cwd=None, env=None, **popen):
        return subprocess.Popen(self._command(args), cwd=cwd, env=self._environment(env), **popen)

    def registry_set(self, key, name, value, kind):
        result = self.run(["reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f"])
        if result.returncode != 0:
            raise RuntimeError(f"reg add {key} {name} failed: {result.stderr.decode(errors='replace')}")

    @staticmethod
    def windows_path(unix_path):
        """The Z: drive path under which Wine sees a Unix path."""
        return "Z:" + str(pathlib.Path(unix_path).resolve()).replace("/", "\\")


def log_size(path):
    return path.stat().st_size if path.exists() else 0


def new_lines(path, start):
    """The lines written to a log since the byte offset start."""
    if not path.exists():
        return []
    with path.open("rb") as log:
        log.seek(start)
        raw = log.read()
    return [line for line in raw.decode("utf-8", errors="replace").split("\r\n") if line]


def bootstrapper_messages(lines):
    """(time, level, message) of each bootstrapper log line; time to the millisecond."""
    found = []
    for line in lines:
        match = _BOOTSTRAPPER_LINE.match(line)
        if match:
            stamp = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S.%f")
            found.append((stamp, match.group(2), match.group(3)))
    return found


class LogWatch:
    """Notes when each new line of the front end's log arrives (its own timestamps have
    whole seconds only): a thread polls the file every two milliseconds."""

    def __init__(self, path):
        self.path = path
        self.lines = []  # (monotonic seconds, level, message)
        self._offset = log_size(path)
        self._partial = b""
        self._stop = threading.Event()
        self._lock = threading.Lock()
        self._thread = threading.Thread(target=self._watch, daemon=True)
        self._thread.start()

    def _watch(self):
        while not self._stop.is_set():
            self._poll()
            time.sleep(0.002)
        self._poll()

    def _poll(self):
        if not self.path.exists():
            return
        with self.path.open("rb") as log:
            log.seek(self._offset)
            raw = log.read()
        if not raw:
            return
        now = time.monotonic()
        self._offset += len(raw)
        *complete, self._partial = (self._partial + raw).split(b"\r\n")
        with self._lock:
            for line in complete:
                match = _FRONT_END_LINE.match(line.decode("utf-8", errors="replace"))
                if match:
                    self.lines.append((now, match.group(2), match.group(3)))

    def first(self, predicate):
        """(time, level, message) of the first line whose message satisfies predicate, or None."""
        with self._lock:
            return next((line for line in self.lines if predicate(line[2])), None)

    def errors(self):
        with self._lock:
            return [message for _, level, message in self.lines if level == "error"]

    def stop(self):
        self._stop.set()
        self._thread.join(timeout=10)


class ProcessMonitor:
    """bench/process_monitor.exe watching one image name; peak() gives its peak working set."""

    def __init__(self, bench, image_name, timeout_seconds):
        self.process = bench.background([bench.bin / "process_monitor.exe", image_name, int(timeout_seconds * 1000)],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        first = self.process.stdout.readline().strip()
        if first != b"ready":
            self.close()
            raise RuntimeError(f"process_monitor did not start: {first!r}")

    def peak(self, timeout):
        """Bytes, or None when the process never showed or outlived the monitor."""
        try:
            out, _ = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.close()
            return None
        values = dict(line.split("=", 1) for line in out.decode().split() if "=" in line)
        return int(values["peakWorkingSetSize"]) if "peakWorkingSetSize" in values else None

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        if self.process.stdout:
            self.process.stdout.close()


@contextlib.contextmanager
def running_bench(build, arch):
    bench = WineBench(build, arch)
    try:
        bench.start()
        yield bench
    finally:
        bench.stop()
