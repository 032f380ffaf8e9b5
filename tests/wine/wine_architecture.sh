#!/usr/bin/env bash
# Which build the Windows programs run from under Wine: prints the architectures
# (i686, x86_64 or both) on standard output and one line saying why on standard
# error. What users get is 32-bit; some machines refuse 32-bit Linux programs, and
# with them Debian's 32-bit Wine, so "auto" asks the machine by running that Wine.
#   wine_architecture.sh CHOICE WHO   CHOICE: auto, i686, x86_64 or both; WHO names the caller
choice=${1:-auto}
who=${2:-make}
# The 32-bit loader; a test of the choice itself may name another program.
wine32=${KELVRA_WINE32_LOADER:-/usr/lib/wine/wine}
case "$choice" in
  i686 | x86_64) echo "$choice"; echo "$who: Wine runs the $choice build (chosen: $choice)" >&2 ;;
  both) echo "i686 x86_64"; echo "$who: Wine runs the i686 build, then the x86_64 build (chosen: both)" >&2 ;;
  auto)
    if answer=$("$wine32" --version 2>&1); then
      echo i686
      echo "$who: Wine runs the i686 build, the one users get: this machine runs 32-bit programs ($answer)" >&2
    else
      echo x86_64
      echo "$who: Wine runs the x86_64 test build: this machine can't run 32-bit programs" \
        "($wine32 --version: ${answer:-no answer})" >&2
    fi ;;
  *) echo "$who: the architecture is auto, i686, x86_64 or both, not '$choice'" >&2; exit 2 ;;
esac
