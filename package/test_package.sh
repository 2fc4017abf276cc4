#!/usr/bin/env bash
# CI check of the Octave package as a lab uses it, in three Octave sessions
# of two users (each a HOME of its own in a temporary folder):
#   1. a lab member's private install with the README's commands, used;
#   2. another user's shared install of the same package (into stand-ins for
#      the system's folders and list), with its compiler commands kept;
#   3. the lab member's next session: the private copy still there; then
#      uninstalled.
# The machine's own package lists are read, never written (step 1 compares
# the global list's content before and after).
#   package/test_package.sh <eegmex-<version>.tar.gz> <CMake build folder>
set -euo pipefail
tarball=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lab" "$work/other"

# make package installs only what packaging needs: no Windows cross tools.
if make -n -C "$top" package | grep -q -e wine -e mingw; then
  echo "make package would install the Windows cross tools" >&2
  exit 1
fi

session() {   # session <home> <step> [arguments...]
  local home=$1 step=$2
  shift 2
  local args=""
  for a in "$tarball" "$top" "$@"; do args="$args, '$a'"; done
  (cd "$home" && HOME="$home" octave-cli --no-history --no-init-file --quiet --no-window-system \
    --eval "addpath('$here', '$top/tests/stubs', '$top/tests/inhost'); test_package('$step'$args);")
}

session "$work/lab" private
if ! session "$work/other" shared > "$work/shared.log" 2>&1; then
  cat "$work/shared.log"
  exit 1
fi
session "$work/lab" again "$work/other/shared" "$work/shared.log" "$build"
