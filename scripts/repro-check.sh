#!/usr/bin/env bash
# Checks that builds are reproducible: builds the setup program and the sample setup file again,
# from a copy of the source in another folder into another build tree, and compares their bytes
# with those of the given Win32 build tree. Only those two targets are built (one compile of the
# setup program, the sample's two small programs, one pack), and nothing depends on timing.
#   scripts/repro-check.sh WIN32_BUILD_DIR TSARIN_PACK
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
first=$(cd "$1" && pwd)
pack=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tsarin-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir "$work/source"
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/source" -xf -
cmake -S "$work/source" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$work/source/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DTSARIN_PACK="$pack" >"$work/log" 2>&1 &&
  cmake --build "$work/build" --target tsarin-sample-setup -j"$(nproc)" >>"$work/log" 2>&1 ||
  { tail -n 40 "$work/log"; echo "repro-check: the second build failed" >&2; exit 1; }

status=0
for file in setup/tsarin-setup.exe samples/TSARIN.EXE; do
  if cmp -s "$first/$file" "$work/build/$file"; then
    echo "same bytes from two builds in different folders: $file"
  else
    echo "NOT REPRODUCIBLE: $file differs between two builds ($(cmp -l "$first/$file" \
      "$work/build/$file" 2>/dev/null | wc -l) bytes; sizes $(stat -c %s "$first/$file") and" \
      "$(stat -c %s "$work/build/$file"))" >&2
    status=1
  fi
done
exit $status
