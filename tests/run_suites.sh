#!/usr/bin/env bash
# make test, after the host build: builds what the Wine suites here run, runs the
# host tests, the static checks of the shipped 32-bit files where their own Wine
# suite is not run, and each chosen Wine suite. Both architectures always build;
# where only the 32-bit suite runs, the 64-bit build is compiled at low priority
# while the suite runs, which mostly waits on Wine, and its result is awaited last.
#   run_suites.sh I686_DIR X86_64_DIR HOST_DIR JOBS CHOICE
set -u
i686_dir=$1 x86_64_dir=$2 host_dir=$3 jobs=$4 choice=$5
here=$(dirname "$0")
arches=$("$here/wine/wine_architecture.sh" "$choice" "make test") || exit 2

build() { cmake --build "$1" -j"$jobs" --target all kelvra_tests; }
suite() { ctest --test-dir "$1" --output-on-failure -j"$jobs" "${@:2}"; }

# The 32-bit files are checked (statically at least) on every machine.
build "$i686_dir" || exit 1
background=""
case " $arches " in
  *" x86_64 "*) build "$x86_64_dir" || exit 1 ;;
  *)
    log="$x86_64_dir/build-during-tests.log"
    nice -n 19 cmake --build "$x86_64_dir" -j"$jobs" --target all kelvra_tests >"$log" 2>&1 &
    background=$!
    ;;
esac

status=0
suite "$host_dir" || status=1
case " $arches " in
  *" i686 "*) ;;
  *) echo "make test: the static checks of the shipped 32-bit files"; suite "$i686_dir" -L static || status=1 ;;
esac
for arch in $arches; do
  if [ "$arch" = i686 ]; then suite "$i686_dir" || status=1; else suite "$x86_64_dir" || status=1; fi
done
if [ -n "$background" ]; then
  if wait "$background"; then
    echo "make test: the x86_64 test build compiled"
  else
    echo "make test: the x86_64 test build failed ($log):"; tail -n 40 "$log"; status=1
  fi
fi
exit $status
