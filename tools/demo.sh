#!/usr/bin/env bash
# Runs the built InstallerBootstrapper.exe under Wine in the test bench's prefix and
# shows its exit code, its log and what it left in the temporary folder.
set -u
build=$(realpath "${1:-build}")
bench="$(dirname "$0")/../tests/wine/bench.sh"
state="$build/winebench"

"$bench" start "$state" || exit 1
trap '"$bench" stop "$state" >/dev/null' EXIT

log="$state/prefix/drive_c/ProgramData/ZAVsoft/Kelvra/logs/InstallerBootstrapper.log"
before=$( [ -f "$log" ] && wc -l <"$log" || echo 0 )
"$bench" run "$state" "$build/bin/InstallerBootstrapper.exe"
code=$?
echo "InstallerBootstrapper.exe exit code: $code"
echo "--- log lines of this run ($log)"
tail -n +"$((before + 1))" "$log" | tr -d '\r'
echo "--- working folders left in the temporary folder:"
temp=$("$bench" shell "$state" sh -c 'winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d "\r")"' 2>/dev/null)
ls -d "$temp"/KelvraInstaller_* 2>/dev/null || echo "(none)"
