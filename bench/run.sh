#!/usr/bin/env bash
# Builds a Release native tree and runs the decoder benchmark: throughput (best of N runs, noisy
# on a shared machine), then instructions per output byte as counted by callgrind, which do not
# depend on the machine's load.
#   bench/run.sh [repetitions]     (BENCH_BUILD_DIR overrides the build tree, build/bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build/bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTSARIN_SANITIZE=OFF \
  -DTSARIN_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench-explode >/dev/null
bench="$build/bench/bench-explode"
"$bench" "$@"

# Directory clearing against rm -rf on 10,000 files in 100 directories, in a temporary directory.
cmake --build "$build" -j2 --target bench-clear >/dev/null
echo
"$build/bench/bench-clear"

# Compressor: optimal and lazy parser against gzip -9, sizes and speed (best of 3).
cmake --build "$build" -j2 --target bench-implode >/dev/null
echo
"$build/bench/bench-implode"

# Install throughput: the install engine on a 50 MB payload (half stored, half compressed)
# against decoding it into memory plus cp -r of the unpacked tree, in a temporary directory.
cmake --build "$build" -j2 --target bench-install >/dev/null
echo
"$build/bench/bench-install"

# The packer as a whole process: explode against gzip -dc (median of 5) and its peak memory;
# build of the 50 MB tree with 2 jobs against 1.
cmake --build "$build" -j2 --target tsarin-pack bench-install >/dev/null
echo
"$root/bench/pack.sh" "$build/tools/tsarin-pack" "$build/bench/bench-install"

# Setup stub size: tsarin-setup.exe with and without its bitmap resources, against the 34 KB
# goal for the program without bitmaps (a Win32 MinSizeRel tree; STUB_BUILD_DIR overrides it).
if command -v i686-w64-mingw32-g++-posix >/dev/null; then
  stub_build=${STUB_BUILD_DIR:-$root/build/bench-win32}
  cmake -S "$root" -B "$stub_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$stub_build" -j2 --target tsarin-setup tsarin-setup-nobitmaps >/dev/null
  full=$(stat -c %s "$stub_build/setup/tsarin-setup.exe")
  bare=$(stat -c %s "$stub_build/setup/tsarin-setup-nobitmaps.exe")
  echo
  echo "Setup stub size (goal without bitmaps: 34816 bytes)"
  printf "tsarin-setup.exe            %7d bytes\n" "$full"
  printf "without bitmap resources    %7d bytes, %.3f of the goal\n" "$bare" \
    "$(awk -v b="$bare" 'BEGIN {print b / 34816}')"
else
  echo
  echo "no mingw-w64 cross compiler: no setup stub size"
fi

# Under Wine: the decoder the setup ships against zlib built for the same target, and whole
# installs driven by the robot with the time the check takes.
echo
"$root/bench/wine.sh" "$build"

# Peers: NSIS installers of the sample product next to TSARIN.EXE (sizes; install times under
# Wine where it runs).
if command -v i686-w64-mingw32-g++-posix >/dev/null; then
  echo
  "$root/bench/peers.sh"
fi

if ! command -v valgrind >/dev/null; then
  echo "valgrind not installed: no instruction counts"
  exit 0
fi
data="$build/bench-data"
mkdir -p "$data"
"$bench" prepare "$data"
echo
echo "Instructions per output byte (callgrind, one decode of the whole corpus)"
declare -A ipb
for decoder in explode0 explode1 zlib libdeflate; do
  valgrind --tool=callgrind --callgrind-out-file="$data/callgrind.$decoder" \
    --toggle-collect='*DecodeCorpusOnce*' "$bench" once "$decoder" "$data" \
    >"$data/$decoder.log" 2>&1 || { cat "$data/$decoder.log"; exit 1; }
  instructions=$(awk '/^totals:/ {print $2}' "$data/callgrind.$decoder")
  bytes=$(awk '/output bytes/ {print $2}' "$data/$decoder.log")
  ipb[$decoder]=$(awk -v i="$instructions" -v b="$bytes" 'BEGIN {printf "%.3f", i / b}')
  printf "%-12s %14s instructions %10s bytes %8s per byte\n" "$decoder" "$instructions" "$bytes" \
    "${ipb[$decoder]}"
done
for mode in 0 1; do
  awk -v e="${ipb[explode$mode]}" -v z="${ipb[zlib]}" -v l="${ipb[libdeflate]}" -v m="$mode" \
    'BEGIN {printf "explode%d: %.3f of zlib'"'"'s instructions per byte, %.3f of libdeflate'"'"'s\n", m, e / z, e / l}'
done
