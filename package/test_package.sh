#!/usr/bin/env bash
# CI check of the Octave package: install, use, test, uninstall, in a
# temporary prefix and HOME, so that no package list of the machine or the
# user is touched.
#   package/test_package.sh <eegmex-<version>.tar.gz>
set -euo pipefail
tarball=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
HOME="$work" octave-cli --no-history --no-init-file --quiet --no-window-system \
  --eval "addpath('$here'); test_package('$tarball');"
