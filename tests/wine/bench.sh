#!/usr/bin/env bash
# The Wine test bench: a private WINEPREFIX, one persistent wineserver and a private
# Xvfb display, all inside the build tree and all stopped by their own process ids.
#   bench.sh start STATE_DIR [ARCH]  create the prefix when missing, start Xvfb and wineserver;
#                              ARCH is the programs' architecture, i686 or x86_64 (default:
#                              the one the bench was last started with, else i686)
#   bench.sh stop STATE_DIR    stop both
#   bench.sh run STATE_DIR CMD ARGS...   run a Windows program (CMake's emulator)
#   bench.sh shell STATE_DIR CMD ARGS... run a Linux command with the bench's environment
set -u
action=${1:?action}
state=$(realpath -m "${2:?state directory}")
shift 2

bench_environment() {
  export WINEPREFIX="$state/prefix"
  export WINEDEBUG=${KELVRA_WINEDEBUG:--all}
  # No Mono or Gecko installer prompts in a test prefix.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  if [ "$(cat "$state/arch" 2>/dev/null)" = x86_64 ]; then
    # Debian's wine, wine-stable (and so wineboot and winepath) take the 32-bit
    # loader whenever it is installed, even where the kernel can't run it; the
    # loader shims of this bench take the 64-bit one. wineserver picks its own.
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 PATH="$state/wine64-loader:$PATH"
  else
    export WINEARCH=win32
  fi
  if [ -f "$state/display" ]; then export DISPLAY=$(cat "$state/display"); fi
}

# Records the bench's architecture; a prefix made for the other one is made anew.
choose_architecture() {
  local arch=$1
  case "$arch" in i686 | x86_64) ;; *) echo "unknown architecture $arch (i686 or x86_64)" >&2; exit 2 ;; esac
  if [ "$(cat "$state/arch" 2>/dev/null || echo i686)" != "$arch" ]; then rm -rf "$state/prefix"; fi
  echo "$arch" >"$state/arch"
  if [ "$arch" = x86_64 ]; then
    # A script, not a link: the loader finds its own files through its real name.
    mkdir -p "$state/wine64-loader"
    for name in wine wine-stable; do
      printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$state/wine64-loader/$name"
      chmod +x "$state/wine64-loader/$name"
    done
  fi
}

# Keeps the prefix off the internet: every host but a local name goes through a
# proxy on a closed local port, so a run that would reach a real service (the
# remote configuration, say) fails at once instead. Tests reach their own servers
# as localhost.
guard_network() {
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
  wine reg add "$key" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1 &&
    wine reg add "$key" /v ProxyServer /t REG_SZ /d 127.0.0.1:9 /f >/dev/null 2>&1 &&
    wine reg add "$key" /v ProxyOverride /t REG_SZ /d '<local>;localhost;127.0.0.1' /f >/dev/null 2>&1 ||
    { echo "cannot set the prefix's proxy guard" >&2; exit 1; }
}

# The bench's X server has no window manager. Wine waits 2 s for one whenever it
# takes a managed window off the screen (every closed window and message box);
# unmanaged windows it places and takes away itself, as Windows does.
unmanaged_windows() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 ||
    { echo "cannot set the prefix's window handling" >&2; exit 1; }
}

start_bench() {
  mkdir -p "$state"
  stop_bench quietly
  choose_architecture "${1:-$(cat "$state/arch" 2>/dev/null || echo i686)}"
  # Xvfb picks a free display itself and names it once it listens, so that benches
  # started side by side never race for one.
  rm -f "$state/display-number"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$state/display-number" >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 1 100); do [ -s "$state/display-number" ] && break; sleep 0.1; done
  [ -s "$state/display-number" ] || { echo "Xvfb did not start" >&2; cat "$state/xvfb.log" >&2; exit 1; }
  echo ":$(tr -d '[:space:]' <"$state/display-number")" >"$state/display"
  bench_environment
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$state/wineboot.log" 2>&1 || { echo "wineboot failed" >&2; cat "$state/wineboot.log" >&2; exit 1; }
    wineserver -w
  fi
  wineserver -f -p >"$state/wineserver.log" 2>&1 &
  echo $! >"$state/wineserver.pid"
  # The first process in a prefix pays for the start-up; later ones are cheap.
  wine cmd /c exit 0 >/dev/null 2>&1
  guard_network
  unmanaged_windows
  echo "bench ready: WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY"
}

stop_pid_file() {
  local file=$1
  [ -f "$file" ] || return 0
  local pid
  pid=$(cat "$file")
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  fi
  rm -f "$file"
}

stop_bench() {
  bench_environment
  # Ends the Windows processes of this prefix only, then its server.
  if [ -f "$state/wineserver.pid" ]; then wineserver -k >/dev/null 2>&1; fi
  stop_pid_file "$state/wineserver.pid"
  stop_pid_file "$state/xvfb.pid"
  rm -f "$state/display"
  [ "${1:-}" = quietly ] || echo "bench stopped"
}

case "$action" in
  start) start_bench "$@" ;;
  stop) stop_bench ;;
  run) bench_environment; exec wine "$@" ;;
  shell) bench_environment; exec "$@" ;;
  *) echo "unknown action $action" >&2; exit 2 ;;
esac
