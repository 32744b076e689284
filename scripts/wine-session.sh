#!/usr/bin/env bash
# Sourced by the scripts that run Win32 programs: gives them a display (Xvfb when there is
# none) and one persistent wineserver for the prefix, so each program start is cheap.
#   source scripts/wine-session.sh PREFIX
# wine_session_end stops both again.
wine_prefix="$1"
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wine_xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 91 140); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    wine_xvfb_pid=$!
    for _ in $(seq 50); do
      [ -e /tmp/.X11-unix/X$n ] && break
      kill -0 "$wine_xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    # A server of another sandbox (its own /tmp) may hold the number: then this one has ended.
    if kill -0 "$wine_xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"
      break
    fi
    wine_xvfb_pid=""
  done
fi
"$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" "$wine_prefix" cmd /c exit 0 >/dev/null 2>&1 || true
# The start above leaves a short-lived server behind (or an earlier session left a persistent
# one): stop it, then start one that stays.
WINEPREFIX="$wine_prefix" wineserver -k >/dev/null 2>&1 || true
WINEPREFIX="$wine_prefix" wineserver -w >/dev/null 2>&1 || true
WINEPREFIX="$wine_prefix" wineserver -p >/dev/null 2>&1 || true
# Start the prefix's background services now, detached from any output: started by the first
# test instead, they would inherit its output pipe and CTest would wait for them forever.
"$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" "$wine_prefix" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
wine_session_end() {
  WINEPREFIX="$wine_prefix" wineserver -k >/dev/null 2>&1 || true
  [ -n "$wine_xvfb_pid" ] && kill "$wine_xvfb_pid" 2>/dev/null || true
}
