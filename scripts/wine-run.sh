#!/usr/bin/env bash
# Runs a Win32 program under Wine in the given prefix, creating the prefix on first use.
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# CTest uses it as the cross-compiling emulator of the Win32 build.
set -u
export WINEPREFIX="$1"
shift
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine_loader" wineboot -i >/dev/null 2>&1
      wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine_loader" "$@"
