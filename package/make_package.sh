#!/usr/bin/env bash
# Writes the Octave package eegmex-<version>.tar.gz.
#   package/make_package.sh <source tree> <output folder>
# The package holds the sources, help texts, functions and demos named by
# eegmex_sources.mk (the build lists CMake writes) under src/, with a
# Makefile that builds them with mkoctfile when pkg install runs.
set -euo pipefail
top=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
lists="$top/eegmex_sources.mk"

# The value of a variable of the build lists.
value() {
  make -s --no-print-directory -f "$lists" -f - print V="$1" <<'MK'
print: ; @echo $($(V))
MK
}

version=$(value EEGMEX_VERSION)
if date=$(git -C "$top" log -1 --format=%cs 2>/dev/null) && [ -n "$date" ]; then :; else date=$(date +%F); fi
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
pkg="$stage/eegmex"
mkdir -p "$pkg/src"

files=()
for m in $(value EEGMEX_MEX); do
  files+=($(value "${m}_SOURCES") $(value "${m}_HELP"))
done
for s in $(value EEGMEX_SHARED); do
  files+=($(value "${s}_SOURCES"))
done
files+=($(value EEGMEX_MFILES) $(value EEGMEX_DEMOS) $(value EEGMEX_HEADERS))
for f in $(printf '%s\n' "${files[@]}" | sort -u); do
  mkdir -p "$pkg/src/$(dirname "$f")"
  cp "$top/$f" "$pkg/src/$f"
done
cp "$lists" "$pkg/src/eegmex_sources.mk"
cp "$top/package/Makefile" "$pkg/src/Makefile"
cp "$top/package/COPYING" "$top/package/post_install.m" "$pkg/"
sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$date/" "$top/package/DESCRIPTION.in" > "$pkg/DESCRIPTION"

# HELP EEGMEX: the toolbox's Contents.m under the package's name.
mkdir -p "$pkg/inst"
cp "$top/Contents.m" "$pkg/inst/eegmex.m"

# INDEX from Contents.m: its headings are the categories, its "name - text"
# lines the functions.
awk 'NR == 1 { next }
     /^%   [A-Za-z_0-9]+ +- / { printf " %s\n", $2; next }
     /^% [A-Za-z]/ { sub(/^% /, ""); print }' "$top/Contents.m" > "$stage/index"
{ sed -n '1s/^% *eegmex: *\(.\)/eegmex >> \u\1/p' "$top/Contents.m"; cat "$stage/index"; } > "$pkg/INDEX"

tarball="$out/eegmex-$version.tar.gz"
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner --mtime="$date 00:00Z" -czf "$tarball" eegmex
echo "$tarball"
