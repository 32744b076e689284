#!/usr/bin/env bash
# Peers side by side: NSIS installers (Debian's nsis package: makensis with its x86 ANSI stubs)
# of the sample product, compressed with zlib, lzma, solid lzma and bzip2, next to TSARIN.EXE:
# the setup file's size and the stub's size, and the install time under Wine where Wine can run
# (NSIS silently with /S, the whole run; ours from the press of Install to the success text,
# through the end-to-end robot's timed scenario).
#   bench/peers.sh    (BENCH_BUILD_DIR: the native tree, build/bench; STUB_BUILD_DIR: the Win32
#                      tree, build/bench-win32)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build/bench}
win32=${STUB_BUILD_DIR:-$root/build/bench-win32}

if ! command -v makensis >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: nsis"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends nsis >/dev/null
fi
stubs=$(dirname "$(dpkg -L nsis nsis-common 2>/dev/null | grep -m1 '/Stubs/zlib-x86-ansi$')")

# The native packer, and the Win32 tree's setup program, sample product and TSARIN.EXE.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTSARIN_SANITIZE=OFF \
  -DTSARIN_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target tsarin-pack >/dev/null
cmake -S "$root" -B "$win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DTSARIN_PACK="$build/tools/tsarin-pack" >/dev/null
cmake --build "$win32" -j2 --target tsarin-sample-setup >/dev/null
product=$win32/samples/product
tsarin=$win32/samples/TSARIN.EXE
stub=$win32/setup/tsarin-setup.exe

work=$(mktemp -d /tmp/tsarin-bench-peers.XXXXXX)
trap 'rm -rf "$work"' EXIT
# What the sample's setup does, as NSIS says it: the files, a Start-menu link, the uninstall
# registry values.
cat >"$work/product.nsi" <<'EOF'
!ifdef TARGET
Target ${TARGET}
!else
Unicode false
!endif
SetCompressor ${COMPRESSOR}
Name "Tessarin"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES\TSarin"
RequestExecutionLevel admin
Page directory
Page instfiles
Section
  SetOutPath "$INSTDIR"
  File /r "${PRODUCT}/*"
  CreateDirectory "$SMPROGRAMS\Tessarin"
  CreateShortCut "$SMPROGRAMS\Tessarin\Tessarin.lnk" "$INSTDIR\tsn.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarin" "DisplayName" "Tessarin"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarin" "UninstallString" '"$INSTDIR\uninst.exe"'
SectionEnd
EOF

# name, makensis compressor, stub file
variants=("zlib:zlib:zlib" "lzma:lzma:lzma" "solid lzma:/SOLID lzma:lzma_solid" "bzip2:bzip2:bzip2")
ours=$(stat -c %s "$tsarin")
files=$(find "$product" -type f | wc -l)
bytes=$(find "$product" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
echo "Peers: setup files of the sample product ($files files, $bytes bytes)"
printf "  %-18s %12s %10s %12s\n" installer "setup bytes" "vs ours" "stub bytes"
printf "  %-18s %12d %10s %12d\n" "TSARIN.EXE" "$ours" "1.000" "$(stat -c %s "$stub")"
for v in "${variants[@]}"; do
  IFS=: read -r name compressor stubname <<<"$v"
  out="$work/nsis-${stubname}.exe"
  makensis -V1 -DCOMPRESSOR="$compressor" -DOUT="$out" -DPRODUCT="$product" "$work/product.nsi" \
    >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log"; exit 1; }
  size=$(stat -c %s "$out")
  printf "  %-18s %12d %10.3f %12d\n" "NSIS $name" "$size" \
    "$(awk -v a="$size" -v b="$ours" 'BEGIN {print a / b}')" \
    "$(stat -c %s "$stubs/$stubname-x86-ansi")"
done

# Install times under Wine: one prefix, each installer into a folder of its own, median of 3.
# Where the kernel cannot run Wine's 32-bit loader, the 64-bit builds of both: NSIS's
# amd64-unicode stubs and the 64-bit build of our source.
arch=$(source "$root/scripts/wine-env.sh" && wine_arch_here)
if [ "$arch" = none ]; then
  echo "  install times under Wine: skipped, Wine cannot start here"
  exit 0
fi
export WINEARCH=$arch WINEPREFIX=$work/prefix
if [ "$arch" = win64 ]; then
  echo "  install times under Wine, of the 64-bit builds (this kernel cannot run Wine's 32-bit" \
    "loader): NSIS's amd64-unicode stubs, our source built for x86-64"
  win32=${WINE_BENCH_BUILD_DIR:-$root/build/bench-win64}
  cmake -S "$root" -B "$win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DTSARIN_PACK="$build/tools/tsarin-pack" >/dev/null
  tsarin=$win32/samples/TSARIN.EXE
  for v in "${variants[@]}"; do
    IFS=: read -r _ compressor stubname <<<"$v"
    makensis -V1 -DTARGET=amd64-unicode -DCOMPRESSOR="$compressor" \
      -DOUT="$work/nsis-$stubname.exe" -DPRODUCT="$product" "$work/product.nsi" \
      >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log"; exit 1; }
  done
else
  echo "  install times under Wine"
fi
cmake --build "$win32" -j2 --target tsarin-robot tsarin-sample-setup >/dev/null
# shellcheck source=../scripts/wine-session.sh
source "$root/scripts/wine-session.sh" "$work/prefix"
trap 'wine_session_end; rm -rf "$work"' EXIT
median() { sort -n | sed -n 2p; }
for v in "${variants[@]}"; do
  IFS=: read -r name _ stubname <<<"$v"
  for _ in 1 2 3; do
    start=$EPOCHREALTIME
    "$wine_loader" "$work/nsis-$stubname.exe" /S "/D=C:\\nsis-$stubname" >/dev/null 2>&1
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN {printf "%.3f\n", b - a}'
    [ -f "$work/prefix/drive_c/nsis-$stubname/tsn.exe" ] || echo "NSIS $name installed nothing" >&2
  done | median | xargs printf "  %-18s %8.2f s   (the whole silent run)\n" "NSIS $name"
done
for _ in 1 2 3; do
  rm -rf "$work/prefix/drive_c/Timed"
  "$wine_loader" "$win32/tests/e2e/tsarin-robot.exe" timed "$(winpath "$tsarin")" 'Z:\' 'Z:\' |
    awk '/^timed:/ {print $6}'
done | median | xargs printf "  %-18s %8.2f s   (from the press of Install to the success text)\n" \
  "TSARIN.EXE"
