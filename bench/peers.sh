#!/usr/bin/env bash
# Peers side by side: NSIS installers (Debian's nsis package: makensis with its x86 ANSI stubs)
# of the sample product, compressed with zlib, lzma, solid lzma and bzip2, next to TSARIN.EXE:
# the setup file's size and the stub's size, and the install time under Wine where Wine can run
# (NSIS silently with /S; ours through the end-to-end robot's standard scenario).
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
Unicode false
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

# Install times under Wine: one prefix, each installer into a folder of its own.
if ! wine --version >/dev/null 2>&1 || ! "$root/scripts/wine-run.sh" "$work/prefix" cmd /c exit 0 \
  >/dev/null 2>&1; then
  echo "  install times under Wine: skipped, Wine cannot start here (a kernel without 32-bit" \
    "program support cannot run it)"
  exit 0
fi
seconds() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN {printf "%.3f", b - a}'
}
echo "  install times under Wine (one run each)"
for v in "${variants[@]}"; do
  IFS=: read -r name _ stubname <<<"$v"
  printf "  %-18s %8s s\n" "NSIS $name" \
    "$(seconds "$root/scripts/wine-run.sh" "$work/prefix" "$work/nsis-$stubname.exe" /S \
      "/D=C:\\nsis-$stubname")"
done
cmake --build "$win32" -j2 --target tsarin-robot >/dev/null
printf "  %-18s %8s s   (the robot's standard scenario, whole: prefix copy, dialog, screenshots)\n" \
  "TSARIN.EXE" "$(seconds bash "$root/tests/e2e/run-scenario.sh" standard \
    "$win32/tests/e2e/tsarin-robot.exe" "$tsarin" "$product" "$work/e2e" "$root")"
