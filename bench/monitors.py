"""The benchmark's watchers of programs running in the bench's prefix: when each line
of the front end's log arrives, and a process's peak working set.
"""
import subprocess
import threading
import time

import winebench as bench


class LogWatch:
    """Notes when each new line of the front end's log arrives (its own timestamps have
    whole seconds only): a thread polls the file every two milliseconds."""

    def __init__(self, path):
        self.path = path
        self.lines = []  # (monotonic seconds, level, message)
        self._offset = bench.log_size(path)
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
                match = bench.FRONT_END_LINE.match(line.decode("utf-8", errors="replace"))
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

    def __init__(self, image_name, timeout_seconds):
        self.process = bench.wine_background([bench.BIN / "process_monitor.exe", image_name,
                                              int(timeout_seconds * 1000)],
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
