#!/usr/bin/env bash
# make test: the Wine suite starts as soon as what it runs is built (the chosen
# architecture's build and the host's kelvra-stamp); the rest (the host build with
# its fuzz targets, the architecture no Wine suite runs here) compiles at low
# priority meanwhile, since the suite mostly waits on Wine, and is tested last:
# the host tests, and the static checks of the shipped 32-bit files where their own
# Wine suite is not run. Both architectures always build.
#   run_suites.sh I686_DIR X86_64_DIR HOST_DIR JOBS CHOICE
set -u
i686_dir=$1 x86_64_dir=$2 host_dir=$3 jobs=$4 choice=$5
here=$(dirname "$0")
arches=$("$here/wine/wine_architecture.sh" "$choice" "make test") || exit 2

directory() { if [ "$1" = i686 ]; then echo "$i686_dir"; else echo "$x86_64_dir"; fi; }
build() { cmake --build "$1" -j"$jobs" --target "${2:-all}" "${@:3}"; }
suite() { ctest --test-dir "$1" --output-on-failure -j"$jobs" "${@:2}"; }

unrun=""
case " $arches " in
  *" i686 "*" x86_64 "* | *" x86_64 "*" i686 "*) ;;
  *" i686 "*) unrun=x86_64 ;;
  *) unrun=i686 ;;
esac

build "$host_dir" kelvra-stamp || exit 1
for arch in $arches; do build "$(directory "$arch")" all kelvra_tests || exit 1; done
background_log="$host_dir/build-during-tests.log"
(
  renice -n 19 -p "$BASHPID" >/dev/null
  build "$host_dir" all || exit 1
  if [ -n "$unrun" ]; then build "$(directory "$unrun")" all kelvra_tests || exit 1; fi
) >"$background_log" 2>&1 &
background=$!

status=0
# A Wine test that fails is run once more: on a loaded machine Wine's window and
# message-box timing is seen to slip now and then; ctest's output keeps both tries.
for arch in $arches; do suite "$(directory "$arch")" --repeat until-pass:2 || status=1; done
if ! wait "$background"; then
  echo "make test: a build beside the Wine suite failed ($background_log):"; tail -n 40 "$background_log"; exit 1
fi
echo "make test: the host build${unrun:+ and the $unrun build} compiled beside the Wine suite"
suite "$host_dir" || status=1
if [ "$unrun" = i686 ]; then
  echo "make test: the static checks of the shipped 32-bit files"; suite "$i686_dir" -L static || status=1
fi
exit $status
