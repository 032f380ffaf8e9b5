"""Runs the real installer front end in the test bench and drives its window.

A working folder is laid out as the bootstrapper leaves it (KelvraInstaller.exe,
the culture folders, icon.ico, payload.campaign, remoteconfig.json); the front end
is started from there by tests/tools/frontend_driver.exe, which also reads the
window, presses its buttons and takes screenshots (saved as PNG under
BUILD/screenshots/frontend for a person to look at).
"""
import json
import pathlib
import queue
import re
import shutil
import struct
import subprocess
import threading
import time
import zlib

import winebench as bench

STAGED = bench.BUILD / "staged"
DRIVER = bench.BIN / "frontend_driver.exe"
# The same front end, with its configuration host taken from KELVRA_TEST_CONFIG_HOST.
TEST_HOST_FRONT_END = bench.BIN / "frontend_test_host.exe"
ICON = bench.ROOT / "resources" / "application.ico"
STRINGS = bench.ROOT / "frontend" / "strings"
SCREENSHOTS = bench.BUILD / "screenshots" / "frontend"
LOG = bench.FRONT_END_LOG


def strings(culture):
    """The culture's string table as the build fills it: key -> text."""
    settings = {"SUPPORT_SITE": bench.build_setting("KELVRA_SUPPORT_SITE")}
    for setting in ("OUTDATED", "CONNECTION", "DOWNLOAD_FAIL", "UNEXPECTED"):
        settings[f"ARTICLE_{setting}_URL"] = bench.build_setting(f"KELVRA_ARTICLE_{setting}_URL")
    table = {}
    for line in (STRINGS / f"{culture}.txt").read_text(encoding="utf-8").splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        key, _, value = line.partition("=")
        table[key.strip()] = re.sub(r"@([A-Z_]+)@", lambda m: settings[m.group(1)], value.strip())
    return table


def compose(pattern, *values):
    """Fills "{0}", "{1}", ... as the front end does."""
    return re.sub(r"\{(\d+)\}", lambda m: values[int(m.group(1))], pattern)


def stage(folder, config=None, campaign=None, icon=True, program=None):
    """Lays out a working folder; config is a dict (written as JSON), bytes, or None for none."""
    folder = pathlib.Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    shutil.copy(program or STAGED / "KelvraInstaller.exe", folder / "KelvraInstaller.exe")
    for culture in STAGED.iterdir():
        if culture.is_dir():
            shutil.copytree(culture, folder / culture.name)
    if icon:
        shutil.copy(ICON, folder / "icon.ico")
    if campaign is not None:
        (folder / "payload.campaign").write_bytes(campaign)
    if config is not None:
        body = config if isinstance(config, bytes) else json.dumps(config).encode()
        (folder / "remoteconfig.json").write_bytes(body)
    return folder


def restart_bench():
    """Starts the bench anew, so that Wine's desktop takes up changed display settings (DPI)."""
    for action in ("stop", "start"):
        result = subprocess.run([str(bench.BENCH), action, str(bench.STATE)], capture_output=True, timeout=300)
        assert result.returncode == 0, result.stderr


def driver(*args, locale="en_US.UTF-8", timeout=60):
    result = bench.wine([DRIVER, *args], locale=locale, timeout=timeout)
    return result.returncode, result.stdout.decode("utf-8", errors="replace").strip()


class FrontEnd:
    """One run of the front end from a working folder, started by the driver."""

    def __init__(self, folder, args=(), locale="en_US.UTF-8", env=None):
        self.locale = locale
        self.log_start = bench.log_size(LOG)
        self.process = bench.wine_background(
            [DRIVER, "run", bench.z_path(pathlib.Path(folder) / "KelvraInstaller.exe"), *args],
            locale=locale, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._lines = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        first = self._next_line(60)
        assert first.startswith("shown "), first
        self.exit_code = None

    def _read(self):
        for line in self.process.stdout:
            self._lines.put(line.decode().strip())
        self._lines.put(None)

    def _next_line(self, timeout):
        line = self._lines.get(timeout=timeout)
        return "ended" if line is None else line

    def state(self):
        code, out = driver("state", locale=self.locale)
        assert code == 0, out
        return json.loads(out)

    def wait_page(self, page, timeout_ms=20000):
        code, out = driver("wait-page", page, timeout_ms, locale=self.locale, timeout=timeout_ms / 1000 + 30)
        assert code == 0, f"page {page} did not show: {out}"
        return json.loads(out)

    def press(self, control):
        code, out = driver("press", control, locale=self.locale)
        assert code == 0, out

    def close(self):
        code, out = driver("close", locale=self.locale)
        assert code == 0, out

    def probe(self):
        """What a screen reader finds on the shown page: {"page", "focus", "controls"}."""
        code, out = driver("probe", locale=self.locale)
        assert code == 0, out
        return json.loads(out)

    def key(self, name):
        """Posts a key (escape, tab, return, alt-f4) to the focused control."""
        code, out = driver("key", name, locale=self.locale)
        assert code == 0, out

    def unanswered_polls(self, seconds):
        """Asks the window every 200 ms for seconds whether its thread answers within a
        second; returns how many times it did not."""
        return self.start_polls(seconds)()

    def start_polls(self, seconds):
        """unanswered_polls in the background, from the moment the window is found (or
        until it is gone); returns the function that waits for them and counts."""
        poller = bench.wine_background([DRIVER, "responsive", seconds], locale=self.locale, stdout=subprocess.PIPE)
        first = poller.stdout.readline().decode().strip()
        assert first == "polling", first

        def unanswered():
            out = poller.communicate(timeout=seconds + 60)[0].decode().strip()
            assert poller.returncode == 0 and out.startswith("polls "), out
            polls, failed = int(out.split()[1]), int(out.split()[3])
            assert polls > 0, out
            return failed
        return unanswered

    def post(self, message, wparam=0, lparam=0):
        """Posts a message to the window, as any other program on the desktop can."""
        code, out = driver("post", message, wparam, lparam, locale=self.locale)
        assert code == 0, f"message {message:#x} not posted (is the window gone?): {out}"

    def show_page(self, page):
        code, out = driver("show-page", page, locale=self.locale)
        assert code == 0, out

    def screenshot(self, name):
        """Saves the window as SCREENSHOTS/name.png; returns the path."""
        SCREENSHOTS.mkdir(parents=True, exist_ok=True)
        bmp = SCREENSHOTS / f"{name}.bmp"
        code, out = driver("screenshot", bench.z_path(bmp), locale=self.locale)
        assert code == 0, out
        png = SCREENSHOTS / f"{name}.png"
        bmp_to_png(bmp, png)
        bmp.unlink()
        return png

    def wait_exit(self, timeout=60):
        """The front end's exit code (signed)."""
        deadline = time.monotonic() + timeout
        while self.exit_code is None:
            line = self._next_line(max(0.1, deadline - time.monotonic()))
            if line.startswith("exit "):
                self.exit_code = int(line.split()[1])
            elif line == "ended":
                raise AssertionError("the driver ended without an exit code")
        self.process.wait(timeout=30)
        return self.exit_code

    def kill(self):
        """Ends a run that a failed test left open, and lets go of the driver's output."""
        if self.process.poll() is None:
            driver("close", locale=self.locale)
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._reader.join(timeout=10)
        # A Wine process may still hold the pipe's other end, so that the reader never
        # sees its end: closing the pipe under that reader would wait for it for ever.
        if not self._reader.is_alive():
            self.process.stdout.close()

    def messages(self):
        """Log lines of this run as (level, message); every line must have the log's format."""
        return bench.messages(bench.log_lines(self.log_start, LOG), bench.FRONT_END_LINE)


def png_pixels(png_path):
    """The (r, g, b) rows of a PNG that bmp_to_png wrote, with its width and height."""
    data = pathlib.Path(png_path).read_bytes()
    width, height = struct.unpack_from(">II", data, 16)
    idat_length = struct.unpack_from(">I", data, 33)[0]
    raw = zlib.decompress(data[41:41 + idat_length])
    stride = width * 3 + 1
    rows = [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]
    return [[tuple(row[x * 3:x * 3 + 3]) for x in range(width)] for row in rows], width, height


def bmp_to_png(bmp_path, png_path):
    """Converts the driver's 24-bit bottom-up BMP to a PNG (standard library only)."""
    data = pathlib.Path(bmp_path).read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    assert struct.unpack_from("<H", data, 28)[0] == 24
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        start = offset + (height - 1 - y) * stride
        bgr = data[start:start + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    pathlib.Path(png_path).write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                                       chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
