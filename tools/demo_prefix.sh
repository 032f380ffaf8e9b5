# shellcheck shell=bash disable=SC2034,SC2154  # set by or for the scripts that source this
# The test bench's prefix made ready for one whole demo run and put back after it;
# sourced by tools/demo.sh and tools/demo_install.sh once they have set bench
# (tests/wine/bench.sh) and state (the bench's folder). Nothing here waits unbounded.
framework_key='HKLM\Software\Microsoft\NET Framework Setup\NDP'
client_key='HKLM\Software\ZAVsoft'
demo="$state/prefix/drive_c/kelvra-demo"
demo_windows='C:\kelvra-demo'
logs="$state/prefix/drive_c/ProgramData/ZAVsoft/Kelvra/logs"

win() { timeout -k 5 60 "$bench" run "$state" "$@" >/dev/null 2>&1; }

# The Z: drive path under which Wine sees a Unix path.
z_path() { printf 'Z:%s' "${1//\//\\}"; }

save_key() {  # key, file: exports the key when it exists
  rm -f "$2"
  win reg export "$1" "$(z_path "$2")" /y || rm -f "$2"
}

restore_key() {  # key, file: the key as save_key found it
  win reg delete "$1" /f
  [ -f "$2" ] && win reg import "$(z_path "$2")"
  rm -f "$2"
}

# Saves the keys a run changes, registers .NET Framework 4.8, removes the client
# and makes a fresh current directory, $demo/cwd.
prepare_prefix() {
  save_key "$framework_key" "$state/demo-framework.reg"
  save_key "$client_key" "$state/demo-client.reg"
  win reg delete "$framework_key" /f
  win reg add "$framework_key\\v4\\Full" /v Release /t REG_DWORD /d 528040 /f ||
    { echo "demo: cannot register .NET Framework 4.8" >&2; exit 1; }
  win reg delete "$client_key" /f
  rm -rf "$demo"
  mkdir -p "$demo/cwd"
}

# Ends the bootstrapper EXE and the front end (which outlives a killed bootstrapper;
# both go by image name), puts the keys back, removes $demo and stops the bench.
restore_prefix() {  # exe
  win taskkill /f /im "$(basename "$1")" /im KelvraInstaller.exe
  restore_key "$framework_key" "$state/demo-framework.reg"
  restore_key "$client_key" "$state/demo-client.reg"
  rm -rf "$demo"
  "$bench" stop "$state" >/dev/null
}

# What lies in the Windows user's temporary folder under the name patterns given.
left_in_temp() {  # pattern...
  local temp pattern
  temp=$(timeout 60 "$bench" shell "$state" sh -c 'winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d "\r")"' 2>/dev/null)
  for pattern in "$@"; do ls -d "$temp"/$pattern 2>/dev/null; done
}
