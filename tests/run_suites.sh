#!/usr/bin/env bash
# make test, after the host build: builds what the Wine suites here run, runs the
# host tests, each chosen Wine suite (two prefixes side by side, ctest -j), and the
# static checks of the shipped 32-bit files where their own Wine suite is not run.
# Both architectures always build; the one no Wine suite runs is compiled at low
# priority while the suites run, which mostly wait on Wine, and is checked last.
#   run_suites.sh I686_DIR X86_64_DIR HOST_DIR JOBS CHOICE
set -u
i686_dir=$1 x86_64_dir=$2 host_dir=$3 jobs=$4 choice=$5
here=$(dirname "$0")
arches=$("$here/wine/wine_architecture.sh" "$choice" "make test") || exit 2

directory() { if [ "$1" = i686 ]; then echo "$i686_dir"; else echo "$x86_64_dir"; fi; }
build() { cmake --build "$1" -j"$jobs" --target all kelvra_tests; }
suite() { ctest --test-dir "$1" --output-on-failure -j"$jobs" "${@:2}"; }

for arch in $arches; do build "$(directory "$arch")" || exit 1; done
background="" unrun=""
case " $arches " in
  *" i686 "*" x86_64 "* | *" x86_64 "*" i686 "*) ;;
  *" i686 "*) unrun=x86_64 ;;
  *) unrun=i686 ;;
esac
if [ -n "$unrun" ]; then
  log="$(directory "$unrun")/build-during-tests.log"
  nice -n 19 cmake --build "$(directory "$unrun")" -j"$jobs" --target all kelvra_tests >"$log" 2>&1 &
  background=$!
fi

status=0
suite "$host_dir" || status=1
for arch in $arches; do suite "$(directory "$arch")" || status=1; done
if [ -n "$background" ]; then
  if wait "$background"; then
    echo "make test: the $unrun build compiled"
    if [ "$unrun" = i686 ]; then
      echo "make test: the static checks of the shipped 32-bit files"; suite "$i686_dir" -L static || status=1
    fi
  else
    echo "make test: the $unrun build failed ($log):"; tail -n 40 "$log"; status=1
  fi
fi
exit $status
