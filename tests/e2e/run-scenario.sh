#!/usr/bin/env bash
# Runs one scenario of the end-to-end robot against the real setup file, in a Wine prefix of
# its own (copied from a template made once per build tree), on the current display or on
# an Xvfb of its own. Answers the robot's screenshot requests with `import -window root`.
#   run-scenario.sh SCENARIO ROBOT_EXE SETUP_EXE PRODUCT_DIR E2E_DIR SOURCE_ROOT
# Screenshots land in E2E_DIR/screenshots/SCENARIO-NAME.png; a passing scenario's prefix is
# removed again (unless E2E_KEEP_PREFIX is set), a failing one's is kept under
# E2E_DIR/work/SCENARIO for a look.
set -u
scenario=$1 robot=$2 setup=$3 product=$4 base=$5 root=$6
work=$base/work/$scenario shots=$base/screenshots template=$base/template-prefix

[ -f "$setup" ] || { echo "no setup file at $setup" >&2; exit 1; }
rm -rf "$work" "$shots/$scenario"-*.png
mkdir -p "$work/requests" "$shots"

# One template prefix per build tree, made once; each scenario gets a fresh copy.
(
  flock 9
  [ -f "$template/system.reg" ] || "$root/scripts/wine-run.sh" "$template" cmd /c exit 0 >/dev/null 2>&1
  WINEPREFIX=$template wineserver -w
) 9>"$template.copy-lock"
cp -a "$template" "$work/prefix"

# shellcheck source=../../scripts/wine-session.sh
source "$root/scripts/wine-session.sh" "$work/prefix"

while :; do
  for req in "$work"/requests/*.shot; do
    [ -e "$req" ] || continue
    import -window root "$shots/$scenario-$(basename "$req" .shot).png" >/dev/null 2>&1
    mv "$req" "${req%.shot}.done"
  done
  sleep 0.2
done &
helper=$!

WINEPREFIX="$work/prefix" timeout 840 "$wine_loader" "$robot" "$scenario" "$(winpath "$setup")" \
  "$(winpath "$product")" "$(winpath "$work")" 2>"$work/wine-stderr.txt"
rc=$?

kill "$helper" 2>/dev/null && wait "$helper" 2>/dev/null
wine_session_end
if [ $rc -eq 0 ] && [ -z "${E2E_KEEP_PREFIX:-}" ]; then
  rm -rf "$work/prefix"
else
  echo "scenario $scenario failed (exit $rc); prefix kept in $work/prefix" >&2
fi
for f in "$shots/$scenario"-*.png; do [ -e "$f" ] && echo "screenshot: $f"; done
exit $rc
