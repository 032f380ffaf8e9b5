#!/usr/bin/env bash
# Runs the bootstrapper end to end under Wine in the test bench's prefix, along its
# success path: the test build whose front end is the stand-in (tests/tools), told
# to install the client and exit with 0; a local remote configuration in a fresh
# current directory; .NET Framework 4.8 registered. Shows the exit code, the run's
# log lines, two figures from the run and what it left in the temporary folder.
# The registry keys it touches are put back afterwards; no step waits unbounded.
set -u
build=$(realpath "${1:-build}")
arch=${2:-i686}  # the build's architecture: i686, or x86_64 where Wine can't run 32-bit programs
here=$(dirname "$(realpath "$0")")
bench="$here/../tests/wine/bench.sh"
state="$build/winebench"
exe="$build/bin/InstallerBootstrapperWithStandin.exe"
watcher="$build/bin/notice_watcher.exe"
[ -f "$exe" ] && [ -f "$watcher" ] || { echo "demo: $exe or $watcher is missing (make build)" >&2; exit 1; }

# shellcheck source=tools/demo_prefix.sh
source "$here/demo_prefix.sh"

finish() {
  restore_prefix "$exe"
}

timeout 300 "$bench" start "$state" "$arch" || exit 1
trap finish EXIT

prepare_prefix
printf '{"content":{"windows":{"version":"2.0.1"}}}' >"$demo/cwd/remoteconfig.json"

log="$logs/InstallerBootstrapper.log"
before=$( [ -f "$log" ] && wc -l <"$log" || echo 0 )
# Answers any notice, so that a run that fails can't sit behind a message box.
"$bench" run "$state" "$watcher" "$(z_path "$state")\\demo-notice.json" 60000 >/dev/null 2>&1 &
watcher_pid=$!
(
  cd "$demo/cwd" &&
    KELVRA_STANDIN_EXIT_CODE=0 KELVRA_STANDIN_CLIENT_FOLDER="$demo_windows\\client" \
    KELVRA_STANDIN_REPORT="$demo_windows\\report.txt" \
    timeout -k 5 120 "$bench" run "$state" "$exe"
)
code=$?
sleep 0.3
kill "$watcher_pid" 2>/dev/null
wait "$watcher_pid" 2>/dev/null
[ "$code" = 124 ] && echo "demo: the run did not end within 120 s and was stopped"

echo "$(basename "$exe") exit code: $code"
if [ -f "$state/demo-notice.json" ]; then
  echo "--- notice shown: $(cat "$state/demo-notice.json")"
  rm -f "$state/demo-notice.json"
fi
echo "--- log lines of this run ($log)"
tail -n +"$((before + 1))" "$log" | tr -d '\r' | tee "$demo/run.log"
echo "--- figures of this run"
python3 - "$demo/run.log" "$demo/report.txt" <<'EOF'
import datetime, sys
lines = open(sys.argv[1], encoding="utf-8").read().splitlines()
stamp = lambda line: datetime.datetime.strptime(line[1:24], "%Y-%m-%d %H:%M:%S.%f")
launch = [line for line in lines if "] Executing installer. Path [" in line]
if lines and launch:
    print(f"start to launch: {(stamp(launch[0]) - stamp(lines[0])).total_seconds() * 1000:.0f} ms")
try:
    report = dict(line.split("=", 1) for line in open(sys.argv[2], encoding="utf-8").read().splitlines())
    print(f"peak working set at launch: {int(report['parentPeakWorkingSetSize']) / 2 ** 20:.1f} MiB")
except (OSError, KeyError, ValueError):
    print("peak working set: no report from the front end")
EOF
echo "--- working folders left in the temporary folder:"
left=$(left_in_temp 'KelvraInstaller_*')
echo "${left:-(none)}"
[ "$code" = 0 ] && [ -z "$left" ]
