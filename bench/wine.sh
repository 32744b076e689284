#!/usr/bin/env bash
# What the user runs, measured under Wine:
#   - the setup's own decoder, compiled as the setup program compiles it, against zlib's inflate
#     built for the same Windows target, on the bench corpus (best of 5, in one run);
#   - whole installs driven by the robot (its `timed` scenario), from the press of Install to
#     the success text, and the check of the setup file alone, timed as an install into a drive
#     that does not exist: the sample product and the 50 MB tree of the install benchmark
#     (median of 3).
# Wine runs the 32-bit build; where the kernel cannot run Wine's 32-bit loader, the 64-bit build
# of the same source, and the output says so.
#   bench/wine.sh NATIVE_BUILD    (a native Release tree; tsarin-pack and the benchmarks are
#                                  built in it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$1
arch=$(source "$root/scripts/wine-env.sh" && wine_arch_here)
if [ "$arch" = none ]; then
  echo "Under Wine: skipped, Wine cannot start here"
  exit 0
fi
toolchain=mingw-i686
if [ "$arch" = win64 ]; then
  toolchain=mingw-x86_64
  echo "Under Wine: the 64-bit build (this kernel cannot run Wine's 32-bit loader, so the" \
    "32-bit setup cannot start; the figures are those of the same source built for x86-64)"
fi
wbuild=${WINE_BENCH_BUILD_DIR:-$root/build/bench-$arch}
cmake --build "$native" -j2 --target tsarin-pack bench-explode bench-install >/dev/null
cmake -S "$root" -B "$wbuild" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DTSARIN_PACK="$native/tools/tsarin-pack" >/dev/null
cmake --build "$wbuild" -j2 --target bench-stub-explode tsarin-robot tsarin-sample-setup \
  >/dev/null

work=$(mktemp -d)
export WINEARCH=$arch WINEPREFIX=$work/prefix
# shellcheck source=../scripts/wine-session.sh
source "$root/scripts/wine-session.sh" "$work/prefix"
trap 'wine_session_end; rm -rf "$work"' EXIT

mkdir -p "$work/corpus"
"$native/bench/bench-explode" prepare "$work/corpus"
echo "The setup's decoder under Wine against zlib built for the same target (goal: 1.5x zlib)"
"$wine_loader" "$wbuild/bench/bench-stub-explode.exe" "$(winpath "$work/corpus")" 5 | sed 's/^/  /'

"$native/bench/bench-install" tree "$work/tree" 50 >/dev/null
"$native/tools/tsarin-pack" build --stub "$wbuild/setup/tsarin-setup.exe" -o "$work/50mb.exe" \
  "$work/tree" 2>/dev/null
echo "Installs under Wine, driven by the robot (median of 3)"
for setup in "$wbuild/samples/TSARIN.EXE" "$work/50mb.exe"; do
  : >"$work/times"
  for _ in 1 2 3; do
    rm -rf "$work/prefix/drive_c/Timed"
    "$wine_loader" "$wbuild/tests/e2e/tsarin-robot.exe" timed "$(winpath "$setup")" Z:\\ \
      "$(winpath "$work")" | sed -n 's/^timed: //p' >>"$work/times"
  done
  label="the sample product"
  [ "$setup" = "$work/50mb.exe" ] && label="the 50 MB tree"
  if [ "$(wc -l <"$work/times")" -ne 3 ]; then
    echo "  $label: the robot could not time the install"
    continue
  fi
  # Lines: "check C s, install I s (...)"; the median of each column.
  check=$(awk '{print $2}' "$work/times" | sort -n | sed -n 2p)
  total=$(awk '{print $5}' "$work/times" | sort -n | sed -n 2p)
  printf "  %-20s %8d bytes   install %6.2f s   the check alone %5.2f s (%.1f%% of it)\n" \
    "$label" "$(stat -c %s "$setup")" "$total" "$check" \
    "$(awk -v c="$check" -v t="$total" 'BEGIN {print (t > 0 ? 100 * c / t : 0)}')"
done
