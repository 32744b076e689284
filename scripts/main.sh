#!/usr/bin/env bash
# The README's main command: builds everything, packs the sample product into TSARIN.EXE and
# runs it under Wine.
#   - With a display (DISPLAY is set) the setup opens there for you to use; when it closes,
#     the command shows what was installed.
#   - Without one, the end-to-end robot drives a standard install under Xvfb, and the command
#     shows what was installed and where the screenshots are; then the robot runs the
#     uninstaller through the registered command line, and the command shows what is left.
# Build output goes to build/main.log; only the useful lines are printed. TSARIN_BUILD_DIR
# puts the build trees somewhere else than build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
jobs=$(nproc)
build=${TSARIN_BUILD_DIR:-$root/build}
# Everything below runs where only the build tree and a scratch /tmp can be written
# (scripts/sandbox.sh), the setup under Wine included.
if [ -z "${TSARIN_SANDBOXED:-}" ]; then
  exec "$root/scripts/sandbox.sh" --readable "$root" --writable "$build" -- \
    "$root/scripts/main.sh" "$@"
fi
log=$build/main.log
mkdir -p "$build"
: >"$log"

quiet() {
  if ! "$@" >>"$log" 2>&1; then
    echo "failed: $*" >&2
    tail -n 30 "$log" >&2
    exit 1
  fi
}

echo "Building (native and Win32; log in $log) ..."
quiet cmake -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=Release -DTSARIN_BENCH=OFF
quiet cmake --build "$build/native" -j"$jobs" --target tsarin-pack
pack=$build/native/tools/tsarin-pack
quiet cmake -S "$root" -B "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DTSARIN_PACK="$pack"
quiet cmake --build "$build/win32" -j"$jobs"
quiet cmake --build "$build/native" -j"$jobs"
# Wine's 32-bit loader cannot run on a kernel without 32-bit support; its 64-bit loader can,
# and then the 64-bit build of the same source is what runs.
arch=$(source "$root/scripts/wine-env.sh" && wine_arch_here)
wbuild=$build/win32
if [ "$arch" = win64 ]; then
  echo "Wine's 32-bit loader cannot start here (this kernel does not run 32-bit programs):" \
    "building the 64-bit setup of the same source to run ..."
  wbuild=$build/win64
  quiet cmake -S "$root" -B "$wbuild" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DTSARIN_PACK="$pack"
  quiet cmake --build "$wbuild" -j"$jobs"
fi
[ "$arch" = none ] || export WINEARCH=$arch

setup=$wbuild/samples/TSARIN.EXE
if [ ! -f "$setup" ]; then
  echo "No setup file was made: the setup program (target tsarin-setup) is not part of this build." >&2
  exit 1
fi
echo "Setup file: $setup ($(stat -c %s "$setup") bytes)"
echo "  $(cat "$wbuild/samples/TSARIN.pack.txt")"

e2e=$wbuild/tests/e2e
prefix_of_run=""
status=0

if [ "$arch" = none ]; then
  # Without Wine, the setup file's own install engine runs natively instead, with the desktop
  # recorded rather than changed.
  echo "Wine cannot start here: installing the" \
    "setup file with its own engine natively (tsarin-pack extract) ..."
  target=$build/main-extract/TSarin
  rm -rf "$build/main-extract"
  if "$pack" extract "$setup" "$target" >"$build/main-extract.txt" 2>&1; then
    echo "  $(cat "$build/main-extract.txt")"
    echo "Installed into $target:"
    echo "  $(find "$target" -maxdepth 1 -type f | wc -l) files in the base directory," \
      "$(find "$target/Profiles" -type f 2>/dev/null | wc -l) in Profiles," \
      "$(find "$target/Textures" -type f 2>/dev/null | wc -l) in Textures," \
      "$(du -sh "$target" | cut -f1) in all"
  else
    status=1
    echo "  the install failed:"
    sed 's/^/  /' "$build/main-extract.txt"
  fi
  exit $status
elif [ -n "${DISPLAY:-}" ]; then
  # A person at the screen: run the setup in a prefix of its own and let them use it.
  prefix=$wbuild/main-prefix
  echo "Starting the setup on display $DISPLAY (Wine prefix $prefix) ..."
  # The classic look the dialog is drawn for: Wine's own theme paints edit fields opaque.
  "$root/scripts/wine-run.sh" "$prefix" reg add \
    'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /d 0 /f \
    >>"$log" 2>&1 || true
  "$root/scripts/wine-run.sh" "$prefix" "$setup" >>"$log" 2>&1 || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  prefix_of_run=$prefix
else
  echo "No display: the robot drives a standard install under Xvfb ..."
  if E2E_KEEP_PREFIX=1 bash "$root/tests/e2e/run-scenario.sh" standard "$e2e/tsarin-robot.exe" \
    "$setup" "$wbuild/samples/product" "$e2e" "$root" >"$e2e/main-run.txt" 2>&1; then
    echo "  $(grep -c '^  ok' "$e2e/main-run.txt") checks passed ($e2e/main-run.txt)"
  else
    status=1
    echo "  the robot reported failures:"
    grep -E '^  FAIL' "$e2e/main-run.txt" | sed 's/^/  /' || tail -n 20 "$e2e/main-run.txt"
  fi
  prefix_of_run=$e2e/work/standard/prefix
fi

# What the product has in a prefix: its files, its Start-menu folder and its uninstall key's
# values, one line each; nothing when none of them is there.
show_product() {
  local prefix=$1 dir="$1/drive_c/Program Files/TSarin" links
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  if [ -d "$dir" ]; then
    echo "  C:\\Program Files\\TSarin ($dir):" \
      "$(find "$dir" -maxdepth 1 -type f | wc -l) files in the base directory," \
      "$(find "$dir/Profiles" -type f 2>/dev/null | wc -l) in Profiles," \
      "$(find "$dir/Textures" -type f 2>/dev/null | wc -l) in Textures," \
      "$(du -sh "$dir" | cut -f1) in all"
  fi
  links=$(find "$prefix/drive_c" -type d -path '*Start Menu/Programs/Tessarin' -print -quit)
  if [ -n "$links" ]; then
    echo "  Start-menu folder $(basename "$links"): $(cd "$links" && ls | paste -sd ',' | sed 's/,/, /g')"
  fi
  # Values as Wine keeps them in system.reg: "name"="text" with backslashes doubled, or
  # "name"=dword:hex digits.
  awk 'function hex(s,  n, i) { n = 0; for (i = 1; i <= length(s); i++)
                                  n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
                                return n }
       /^\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Tessarin\]/{on=1; next}
       /^\[/{on=0}
       on && /^"[^"]*"=dword:/{ i = index($0, "\"=dword:"); print "  registry: " substr($0, 2, i - 2) " = " hex(substr($0, i + 8)) }
       on && /^"[^"]*"="/{ i = index($0, "\"=\""); name = substr($0, 2, i - 2); v = substr($0, i + 3);
                   sub(/"$/, "", v); gsub(/\\\\/, "\001", v); gsub(/\\"/, "\"", v); gsub(/\001/, "\\", v);
                   print "  registry: " name " = " v }' "$prefix/system.reg"
}

# What the install left behind, read from the prefix.
installed=$(show_product "$prefix_of_run")
if [ -n "$installed" ]; then
  echo "Installed:"
  echo "$installed"
else
  echo "Nothing was installed."
fi

# Without a display, the robot then runs the uninstaller through the command line registered
# for the system's list of programs, answers Yes and OK, and the command shows what is left.
if [ -n "$installed" ] && [ -z "${DISPLAY:-}" ]; then
  echo "Uninstalling through the registered command line (the robot answers Yes, then OK) ..."
  if (
    set +e
    # shellcheck source=wine-session.sh
    source "$root/scripts/wine-session.sh" "$prefix_of_run"
    WINEPREFIX=$prefix_of_run timeout 300 "$wine_loader" "$e2e/tsarin-robot.exe" uninstall-registered \
      "$(winpath "$setup")" "$(winpath "$wbuild/samples/product")" "$(winpath "$e2e/work")" \
      >"$e2e/main-uninstall.txt" 2>&1
    rc=$?
    wine_session_end
    exit $rc
  ); then
    echo "  $(grep -c '^  ok' "$e2e/main-uninstall.txt") checks passed ($e2e/main-uninstall.txt)"
  else
    status=1
    echo "  the robot reported failures:"
    grep -E '^  FAIL' "$e2e/main-uninstall.txt" | sed 's/^/  /' || tail -n 20 "$e2e/main-uninstall.txt"
  fi
  left=$(show_product "$prefix_of_run")
  if [ -n "$left" ]; then
    echo "Left after the uninstall:"
    echo "$left"
  else
    echo "Left after the uninstall: nothing."
  fi
fi
for f in "$e2e"/screenshots/standard-*.png; do
  [ -e "$f" ] && [ -z "${DISPLAY:-}" ] && echo "Screenshot: $f"
done
exit $status
