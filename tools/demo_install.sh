#!/usr/bin/env bash
# The whole installation under Wine, against the maker's services played on loopback
# by tools/local_services.py (a development aid). The bootstrapper is built a second
# time in BUILD/demo with its hosts pointing at those services (fixed ports below);
# the test tools come from BUILD/bin. The front end downloads the client setup
# stand-in (tests/tools/client_setup_standin.cpp), checks its digest and signer and runs it;
# the stand-in "installs" the client. Prints the exit code, the events and reports
# the services received, the end of both logs and the screenshots of the front
# end's pages (download, and done while the setup runs); fails when one is missing.
# Registry keys it touches are put back; nothing stays in the temporary folder; the
# services' test CA is trusted only inside the prefix.
set -u
build=$(realpath "${1:-build}")
arch=${2:-i686}  # the build's architecture: i686, or x86_64 where Wine can't run 32-bit programs
here=$(dirname "$(realpath "$0")")
source_dir=$(realpath "$here/..")
bench="$here/../tests/wine/bench.sh"
demo_build="$build/demo"
state="$demo_build/winebench"
https_port=47443
http_port=47080
client_number=4711
bin="$build/bin"
for tool in client_setup_standin trust_test_root frontend_driver; do
  [ -f "$bin/$tool.exe" ] || { echo "demo: $bin/$tool.exe is missing (make build)" >&2; exit 1; }
done

if [ ! -f "$demo_build/CMakeCache.txt" ]; then
  cmake -S "$source_dir" -B "$demo_build" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKELVRA_BUILD_TESTS=OFF \
    -DKELVRA_REMOTE_CONFIG_HOST=localhost:$https_port -DKELVRA_TELEMETRY_HOST=localhost:$https_port \
    -DKELVRA_PROBLEM_REPORT_HOST=127.0.0.1:$http_port -DKELVRA_TELEMETRY_CLIENT_NUMBER=$client_number \
    >"$demo_build.configure.log" 2>&1 || { echo "demo: configuring $demo_build failed" >&2; exit 1; }
fi
cmake --build "$demo_build" -j"${JOBS:-2}" --target InstallerBootstrapper >/dev/null ||
  { echo "demo: building the demo bootstrapper failed" >&2; exit 1; }
exe="$demo_build/bin/InstallerBootstrapper.exe"

services_state="$demo_build/services"
screenshots="$demo_build/screenshots"
services_pid=""
# shellcheck source=tools/demo_prefix.sh
source "$here/demo_prefix.sh"

# The front end runs only a setup signed by its own signer, through a trusted root:
# the setup stand-in is signed by the build's test certificate, the demo's front end
# by the demo build's, both of one subject.
signing_roots=("$build/signing/test-signing-certificate.pem" "$demo_build/signing/test-signing-certificate.pem")

# The test roots that exist, as the prefix sees them.
roots() {
  local root
  for root in "$services_state/certificates/ca.pem" "${signing_roots[@]}"; do
    [ -f "$root" ] && z_path "$root" && echo
  done
}

finish() {
  [ -n "$services_pid" ] && kill "$services_pid" 2>/dev/null && wait "$services_pid" 2>/dev/null
  mapfile -t trusted < <(roots)
  [ ${#trusted[@]} -gt 0 ] && win "$bin/trust_test_root.exe" remove "${trusted[@]}"
  restore_prefix "$exe"
}

timeout 300 "$bench" start "$state" "$arch" >/dev/null || exit 1
trap finish EXIT

prepare_prefix
rm -rf "$screenshots"
mkdir -p "$screenshots"
# A throttled download, so that the download page can be seen.
python3 "$here/local_services.py" --state "$services_state" --setup "$bin/client_setup_standin.exe" \
  --setup-mode slow --slow-seconds 3 --https-port $https_port --http-port $http_port \
  >"$demo_build/services.out" 2>"$demo_build/services.err" &
services_pid=$!
for _ in $(seq 100); do [ -s "$demo_build/services.out" ] && break; sleep 0.2; done
[ -s "$demo_build/services.out" ] || { echo "demo: the local services did not start:" >&2; cat "$demo_build/services.err" >&2; exit 1; }
mapfile -t trusted < <(roots)
win "$bin/trust_test_root.exe" add "${trusted[@]}" ||
  { echo "demo: cannot trust the test roots in the prefix: ${trusted[*]}" >&2; exit 1; }

before_boot=$( [ -f "$logs/InstallerBootstrapper.log" ] && wc -l <"$logs/InstallerBootstrapper.log" || echo 0 )
before_front=$( [ -f "$logs/InstallerWebinstaller.log" ] && wc -l <"$logs/InstallerWebinstaller.log" || echo 0 )

# No remoteconfig.json in the current directory: the bootstrapper asks the service.
(
  cd "$demo/cwd" &&
    KELVRA_SETUP_INSTALL=1 KELVRA_SETUP_CLIENT_DIR="$demo_windows\\client" \
    KELVRA_SETUP_WAIT_FOR="$demo_windows\\setup-may-end" \
    timeout -k 5 180 "$bench" run "$state" "$exe" >/dev/null 2>&1
) &
run_pid=$!
# A screenshot of each page the front end passes, while it runs. The done page
# lasts as long as the setup runs: the setup stand-in waits until it is taken.
missing=""
shoot() {  # page, name
  timeout 60 "$bench" run "$state" "$bin/frontend_driver.exe" screenshot "$(z_path "$screenshots")\\$2.bmp" \
    "$1" 30000 >/dev/null 2>&1 || missing="$missing $2"
}
shoot tabDownload download
shoot tabDone done
touch "$demo/setup-may-end"
wait "$run_pid"
code=$?
[ "$code" = 124 ] && echo "demo: the run did not end within 180 s and was stopped"

echo "$(basename "$exe") exit code: $code"
echo "--- events and reports the local services received"
python3 - "$services_state/received.jsonl" <<'EOF'
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    entry = json.loads(line)
    if entry["kind"] == "event":
        print(f"event {entry['json']['type'] if entry['json'] else '(not JSON)'}: {entry['body']}")
    elif entry["kind"] == "report":
        print(f"problem report: {entry['problem_message']}")
    else:
        print(f"{entry['method']} {entry['path']}")
EOF
echo "--- end of the bootstrapper's log ($logs/InstallerBootstrapper.log)"
tail -n +"$((before_boot + 1))" "$logs/InstallerBootstrapper.log" | tr -d '\r' | tail -n 15
echo "--- end of the front end's log ($logs/InstallerWebinstaller.log)"
tail -n +"$((before_front + 1))" "$logs/InstallerWebinstaller.log" | tr -d '\r' | tail -n 15
echo "--- screenshots of the front end's pages"
[ -z "$missing" ] || echo "demo: no screenshot of:$missing"
KELVRA_BUILD_DIR="$build" PYTHONPATH="$here/testbed" python3 - "$screenshots" "$source_dir/tests/scenario" <<'EOF'
import pathlib, sys
sys.path.insert(0, sys.argv[2])
from frontend_bench import bmp_to_png
for bmp in sorted(pathlib.Path(sys.argv[1]).glob("*.bmp")):
    png = bmp.with_suffix(".png")
    bmp_to_png(bmp, png)
    bmp.unlink()
    print(png)
EOF
echo "--- left in the temporary folder:"
left=$(left_in_temp 'KelvraInstaller_*' '*Setup*.exe')
echo "${left:-(nothing)}"
[ "$code" = 0 ] && [ -z "$left" ] && [ -z "$missing" ]
