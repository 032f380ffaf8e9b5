"""Runs the real programs in a Wine prefix of tests/wine/bench.sh and reads what they leave.

The scenario tests' prefix is started by ctest before any of them; `make bench`
starts its own (running). KELVRA_BUILD_DIR names the build whose programs run,
KELVRA_WINEBENCH the bench's state folder (BUILD/winebench/1 when unset).
"""
import base64
import binascii
import contextlib
import functools
import hashlib
import json
import os
import pathlib
import re
import struct
import subprocess
import time

import https_server
import setup_server

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("KELVRA_BUILD_DIR", "build")).resolve()
# The prefix ctest gave this test (tests/CMakeLists.txt); the first one when run by hand.
STATE = pathlib.Path(os.environ.get("KELVRA_WINEBENCH", BUILD / "winebench" / "1"))
BIN = BUILD / "bin"
BENCH = ROOT / "tests" / "wine" / "bench.sh"
PREFIX = STATE / "prefix"
DRIVE_C = PREFIX / "drive_c"
LOG_DIR = DRIVE_C / "ProgramData" / "ZAVsoft" / "Kelvra" / "logs"
LOG = LOG_DIR / "InstallerBootstrapper.log"
FRONT_END_LOG = LOG_DIR / "InstallerWebinstaller.log"
BOOTSTRAPPER = BIN / "InstallerBootstrapper.exe"
STAMP = pathlib.Path(os.environ.get("KELVRA_STAMP_TOOL", BUILD / "host" / "bin" / "kelvra-stamp"))
# The test bootstrappers' remote-configuration bound, in place of the product's 30 s.
CONFIG_BOUND_SECONDS = 4
SHORT_CONFIG_BOUND = {"KELVRA_TEST_CONFIG_DOWNLOAD_BOUND_MS": str(CONFIG_BOUND_SECONDS * 1000)}
# The root of the build's signing certificate (cmake/Signing.cmake): the front end
# runs only a setup signed by its own signer, through a chain the machine trusts.
SIGNING_ROOT = pathlib.Path(os.environ.get("KELVRA_SIGNING_CA_FILE", BUILD / "signing" / "test-signing-certificate.pem"))

# Each as (time, level, message): the bootstrapper's log, to the millisecond, and the front end's.
LINE_PATTERN = re.compile(
    r"^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\] \[fileLogger\] \[(info|warning|error)\] (.*)$")
FRONT_END_LINE = re.compile(r"^\[(.+?)\] \[(information|warning|error)\] (.*)$")


def z_path(unix_path):
    """The Z: drive path under which Wine sees a Unix path."""
    return "Z:" + str(pathlib.Path(unix_path).resolve()).replace("/", "\\")


def drive_c_path(unix_path):
    """The C: path of a file in the prefix's drive C:."""
    return "C:\\" + str(pathlib.Path(unix_path).relative_to(DRIVE_C)).replace("/", "\\")


def unix_path(path):
    """The Unix path of a C: drive path of the prefix."""
    assert path[:3].upper() == "C:\\", path
    return DRIVE_C.joinpath(*path[3:].split("\\"))


def build_setting(name, default=None):
    """A build-time setting from the build's CMake cache (default when it has none)."""
    for line in (BUILD / "CMakeCache.txt").read_text().splitlines():
        if line.startswith(name + ":"):
            return line.split("=", 1)[1]
    if default is None:
        raise KeyError(name)
    return default


def _environment(locale, extra):
    env = dict(os.environ)
    env["LC_ALL"] = locale
    env.update(extra or {})
    return env


def wine(args, locale="en_US.UTF-8", env=None, timeout=120, stdin=None, cwd=None):
    """Runs a Windows program to its end; returns the CompletedProcess.

    cwd, a Unix folder, is the program's current directory (its Windows path when
    it lies in the prefix's drive C:)."""
    return subprocess.run([str(BENCH), "run", str(STATE), *map(str, args)], env=_environment(locale, env),
                          capture_output=True, timeout=timeout, input=stdin, cwd=cwd)


@contextlib.contextmanager
def running(arch):
    """The prefix started for a while, then stopped with everything running in it."""
    try:
        result = subprocess.run([str(BENCH), "start", str(STATE), arch], capture_output=True, timeout=600)
        if result.returncode != 0:
            raise RuntimeError(f"the bench prefix did not start: {result.stderr.decode(errors='replace')}")
        yield
    finally:
        subprocess.run([str(BENCH), "stop", str(STATE)], capture_output=True, timeout=120)


def wine_background(args, locale="en_US.UTF-8", env=None, **popen):
    return subprocess.Popen([str(BENCH), "run", str(STATE), *map(str, args)], env=_environment(locale, env),
                            **popen)


def registry_set(key, name, value, kind="REG_SZ"):
    result = wine(["reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f"])
    assert result.returncode == 0, result.stderr


def registry_delete_key(key):
    wine(["reg", "delete", key, "/f"])


_VALUE_LINE = re.compile(r"^    (.*?)    (REG_[A-Z_]+)(?:    (.*))?$")


def registry_query(key, name):
    """A value as (kind, data as reg prints it), or None when it or its key is missing."""
    result = wine(["reg", "query", key, "/v", name])
    if result.returncode != 0:
        return None
    for line in result.stdout.decode("utf-8", errors="replace").splitlines():
        match = _VALUE_LINE.match(line)
        if match and match.group(1) == name:
            return match.group(2), match.group(3) or ""
    return None


@contextlib.contextmanager
def registry_values(changes):
    """Sets values, each (key, name, value, kind), for a while; then puts back what was there."""
    saved = [(key, name, registry_query(key, name)) for key, name, _, _ in changes]
    try:
        for key, name, value, kind in changes:
            registry_set(key, name, value, kind)
        yield
    finally:
        for key, name, old in saved:
            if old is None:
                wine(["reg", "delete", key, "/v", name, "/f"])
            else:
                registry_set(key, name, old[1], old[0])


@contextlib.contextmanager
def registry_key_restored(key):
    """Lets a test change a key and its subkeys freely; afterwards it is as it was, or gone."""
    export = STATE / f"registry-{os.getpid()}-{time.monotonic_ns()}.reg"
    existed = wine(["reg", "export", key, z_path(export), "/y"]).returncode == 0
    try:
        yield
    finally:
        registry_delete_key(key)
        if existed:
            result = wine(["reg", "import", z_path(export)])
            assert result.returncode == 0, result.stderr
            export.unlink()


INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"


def connection_settings_blob(proxy="", bypass="", script_url="", auto_detect=False):
    """DefaultConnectionSettings as Windows' Internet Options dialog writes it: version
    0x46, a change counter, flags (1 direct, 2 proxy, 4 script, 8 detect), then the
    proxy, the bypass list and the script's address, each as a length and ASCII text,
    then the detection state (left zero)."""
    flags = 1 | (2 if proxy else 0) | (4 if script_url else 0) | (8 if auto_detect else 0)
    texts = b"".join(struct.pack("<I", len(text)) + text.encode("ascii") for text in (proxy, bypass, script_url))
    return struct.pack("<III", 0x46, 1, flags) + texts + bytes(32)


@contextlib.contextmanager
def user_proxy_settings(proxy="", bypass="", script_url="", auto_detect=False):
    """The prefix user's proxy settings for a while, as Windows keeps them: the
    Connections blob (WinHTTP's source) and the values beside it (WinINet's)."""
    connections = INTERNET_SETTINGS + r"\Connections"
    blob = connection_settings_blob(proxy, bypass, script_url, auto_detect)
    values = [(INTERNET_SETTINGS, "ProxyEnable", 1 if proxy else 0, "REG_DWORD"),
              (INTERNET_SETTINGS, "ProxyServer", proxy, "REG_SZ"),
              (INTERNET_SETTINGS, "ProxyOverride", bypass, "REG_SZ")]
    if script_url:
        values.append((INTERNET_SETTINGS, "AutoConfigURL", script_url, "REG_SZ"))
    with registry_key_restored(connections), registry_values(values):
        registry_set(connections, "DefaultConnectionSettings", blob.hex(), "REG_BINARY")
        yield


@contextlib.contextmanager
def trusted_root(ca):
    """The CA certificate (a PEM file, which must still be there at the end) trusted
    in the prefix for a while."""
    trusted = wine([BIN / "trust_test_root.exe", "add", z_path(ca)])
    assert trusted.returncode == 0, trusted.stderr
    try:
        yield
    finally:
        wine([BIN / "trust_test_root.exe", "remove", z_path(ca)])


@contextlib.contextmanager
def trusted_certificates(folder):
    """Test certificates made in folder (https_server.Certificates), their CA trusted
    in the prefix while they are in use."""
    certificates = https_server.Certificates(folder)
    with trusted_root(certificates.ca):
        yield certificates


def serve_setup(test_class, content, folder):
    """For a test class: the client setup's content and its MD5, test certificates made
    in folder and trusted, the build's signing root trusted, and a
    setup_server.SetupServer offering the content; all undone when the class ends."""
    test_class.content = content
    test_class.md5 = hashlib.md5(content).hexdigest()
    test_class.certificates = test_class.enterClassContext(trusted_certificates(folder))
    test_class.enterClassContext(trusted_root(SIGNING_ROOT))
    test_class.server = setup_server.SetupServer(test_class.certificates.server, content)
    test_class.addClassCleanup(test_class.server.stop)


@contextlib.contextmanager
def windows_version(program, version):
    """Makes Wine report a Windows version ("winxp", "vista", "win7", "win10") to one program."""
    key = rf"HKCU\Software\Wine\AppDefaults\{program}"
    with registry_key_restored(key):
        registry_set(key, "Version", version)
        yield


@contextlib.contextmanager
def _holding(args):
    """A test tool that holds something (files, the mutex) from its "ready" line until
    its input closes."""
    holder = wine_background(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    try:
        line = holder.stdout.readline().strip()
        assert line == b"ready", line
        yield
    finally:
        holder.stdin.close()
        holder.wait(timeout=60)
        holder.stdout.close()


def held_open(paths):
    """The files kept open without sharing by another program, as a program still
    using them would; each is created when missing."""
    return _holding([BIN / "file_holder.exe", *(z_path(path) for path in paths)])


def mutex_held():
    """The bootstrapper's single-instance mutex held, as by a running copy."""
    return _holding([BIN / "mutex_holder.exe"])


@functools.cache
def _user_folder(variable):
    """The Unix path of a folder of the Windows user's environment (TEMP, LOCALAPPDATA)."""
    return unix_path(wine(["cmd", "/c", "echo", f"%{variable}%"]).stdout.decode().strip())


def temp_folder():
    """The Unix path of the Windows user's temporary folder in the prefix."""
    return _user_folder("TEMP")


def user_log_dir():
    """The Unix path of the Windows user's own log folder, where a run logs when the
    shared one can't be used."""
    return _user_folder("LOCALAPPDATA") / "ZAVsoft" / "Kelvra" / "logs"


def working_folders():
    return sorted(temp_folder().glob("KelvraInstaller_*"))


TWO_DAYS = 2 * 24 * 60 * 60


def plant_leftover(name, age=TWO_DAYS):
    """A working folder as a killed run leaves it, last changed age seconds ago."""
    folder = temp_folder() / name
    (folder / "de").mkdir(parents=True)
    (folder / "de" / "KelvraWebInstaller.resources.dll").write_bytes(b"MZ")
    (folder / "payload.base64").write_text("token")
    then = time.time() - age
    os.utime(folder, (then, then), follow_symlinks=False)
    return folder


def temporary_folder(path):
    """TMP and TEMP of the Windows user pointed at path (a Windows path) for a while."""
    temp_folder()  # looked up first: meanwhile the prefix would report path
    return registry_values([(r"HKCU\Environment", name, path, "REG_SZ") for name in ("TMP", "TEMP")])


_BASE64_RUN = re.compile(rb"[A-Za-z0-9+/]{4,}={0,2}")


def decoded_forms(data, depth=3):
    """data (bytes) and what each of its base64 runs decodes to, read from each of
    the four positions a run may start its groups at, and so on down to depth
    levels (a report's snippet is base64 of logs that hold base64)."""
    forms = [data]
    if depth == 0:
        return forms
    for run in _BASE64_RUN.findall(data):
        for start in range(4):
            piece = run[start:].rstrip(b"=")
            if len(piece) % 4 == 1:  # a lone character holds no whole byte
                piece = piece[:-1]
            try:
                decoded = base64.b64decode(piece + b"=" * (-len(piece) % 4))
            except binascii.Error:
                continue
            forms.extend(decoded_forms(decoded, depth - 1))
    return forms


def holds_secret(data, secret):
    """Whether secret (bytes) is in data in clear or in any base64 within it."""
    return any(secret in form for form in decoded_forms(data))


def log_size(log=LOG):
    return log.stat().st_size if log.exists() else 0


def log_lines(start=0, log=LOG):
    """The lines written to a log since the byte offset start, each ended by CR LF."""
    if not log.exists():
        return []
    with log.open("rb") as file:
        file.seek(start)
        raw = file.read()
    assert raw == b"" or raw.endswith(b"\r\n"), "log lines must end with CR LF"
    return [line for line in raw.decode("utf-8").split("\r\n") if line]


def messages(lines, pattern=LINE_PATTERN):
    """The log lines as (level, message); every line must have the log's format."""
    found = []
    for line in lines:
        match = pattern.match(line)
        assert match, f"malformed log line: {line!r}"
        found.append(match.group(2, 3))
    return found


class Notice:
    """What the user saw in a message box: caption, body, buttons, icon."""

    def __init__(self, record):
        self.caption = record["caption"]
        self.body = record["body"]
        self.buttons = record["buttons"]
        self.warning_icon = record["warningIcon"]
        self.owned = record["owned"]

    def __repr__(self):
        return f"Notice({self.caption!r}, {self.body!r})"


class Run:
    def __init__(self, code, notice, log_lines):
        self.code = code
        self.notice = notice
        self.log_lines = log_lines

    @property
    def messages(self):
        """The log lines of this run as (level, message)."""
        return messages(self.log_lines)


def run_with_notice_watch(args, locale="en_US.UTF-8", env=None, timeout=120, cwd=None, log=LOG):
    """Runs a program while a watcher answers the first message box it shows.

    Returns (exit code, Notice or None, new lines of the bootstrapper log at log)."""
    record = STATE / f"notice-{os.getpid()}-{time.monotonic_ns()}.json"
    watcher = wine_background([BIN / "notice_watcher.exe", z_path(record), timeout * 1000], locale=locale,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    start = log_size(log)
    try:
        result = wine(args, locale=locale, env=env, timeout=timeout, cwd=cwd)
    finally:
        if watcher.poll() is None:
            # The program ended without leaving a box for the watcher to answer.
            time.sleep(0.3)
            watcher.kill()
        watcher.wait()
    notice = None
    if record.exists():
        notice = Notice(json.loads(record.read_text(encoding="utf-8")))
        record.unlink()
    return result.returncode, notice, log_lines(start, log)


def run_bootstrapper(locale="en_US.UTF-8", env=None, timeout=120, exe=BOOTSTRAPPER, cwd=None, log=LOG):
    code, notice, lines = run_with_notice_watch([exe], locale=locale, env=env, timeout=timeout, cwd=cwd, log=log)
    return Run(code, notice, lines)
