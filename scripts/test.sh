#!/usr/bin/env bash
# Runs every test: the native tests with AddressSanitizer and UndefinedBehaviorSanitizer, and
# the Win32 build of the same tests (plus the Win32-only ones) under Wine, then a short run of
# every fuzz target (scripts/fuzz.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
mkdir -p "$root/build"
# Everything below runs where only the build tree and a scratch /tmp can be written
# (scripts/sandbox.sh): a fault in code that deletes must not reach the machine.
if [ -z "${TSARIN_SANDBOXED:-}" ]; then
  exec "$root/scripts/sandbox.sh" --readable "$root" --writable "$root/build" -- \
    "$root/scripts/test.sh" "$@"
fi
jobs=$(nproc)
status=0

# Runs a build step quietly; on failure shows the end of its output and stops.
quiet() {
  local log="$root/build/last-step.log"
  if ! "$@" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "FAILED: $*" >&2
    exit 1
  fi
}

echo "== native tests (ASan + UBSan)"
quiet cmake -S "$root" -B "$root/build/native-asan" -DTSARIN_SANITIZE=ON -DTSARIN_BENCH=OFF
quiet cmake --build "$root/build/native-asan" -j"$jobs"
ctest --test-dir "$root/build/native-asan" --output-on-failure -j"$jobs" || status=1

echo "== Win32 tests under Wine"
# The native packer makes TSARIN.EXE from the sample product for the end-to-end tests.
win32_build() {  # BUILD_DIR TOOLCHAIN
  quiet cmake -S "$root" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DTSARIN_PACK="$root/build/native-asan/tools/tsarin-pack"
  quiet cmake --build "$1" -j"$jobs"
}
win32_build "$root/build/win32" mingw-i686
# Wine starts 32-bit Windows programs through a 32-bit Linux loader, which a kernel built
# without 32-bit support cannot run. There the tests run the 64-bit build of the same source
# (the 32-bit build above still checks the shipped stub: its marker, imports and size).
arch=$(source "$root/scripts/wine-env.sh" && wine_arch_here)
tests_build=$root/build/win32
if [ "$arch" = win64 ]; then
  echo "Wine's 32-bit loader cannot start here (this kernel does not run 32-bit programs):" \
    "the Win32 tests run on the 64-bit build of the same source"
  tests_build=$root/build/win64
  win32_build "$tests_build" mingw-x86_64
fi
if [ "$arch" != none ]; then
  export WINEARCH=$arch
  # shellcheck source=wine-session.sh
  source "$root/scripts/wine-session.sh" "$tests_build/wineprefix"
  trap wine_session_end EXIT
  ctest --test-dir "$tests_build" --output-on-failure --timeout 900 || status=1
else
  echo "SKIPPED: Wine cannot start here:" \
    "$(ctest --test-dir "$tests_build" -N | sed -n 's/^Total Tests: //p') Win32 tests built, not run"
fi

echo "== reproducible build"
# The setup program and TSARIN.EXE built again from a copy of the source in other folders must
# be the same bytes.
"$root/scripts/repro-check.sh" "$root/build/win32" "$root/build/native-asan/tools/tsarin-pack" ||
  status=1

echo "== fuzz targets (30 s each)"
"$root/scripts/fuzz.sh" || status=1

exit $status
