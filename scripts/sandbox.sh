#!/usr/bin/env bash
# Runs a command where it can change nothing but the folders it is given and a scratch folder
# of its own: a private mount namespace in which every file system is read-only except those.
#   scripts/sandbox.sh [--readable DIR]... [--writable DIR]... -- COMMAND [ARGS...]
# Inside:
#   - / and every other mount are read-only (device files still work: writing to /dev/null
#     changes no file system);
#   - each --writable DIR stays writable (the build tree);
#   - each --readable DIR (the source tree) stays readable where it is, even under /tmp;
#   - /tmp is a new, empty scratch folder, removed afterwards; when DISPLAY is set, the X
#     server's socket folder is carried in, read-only;
#   - /dev is a small new one: null, zero, full, random, urandom, tty, the fd links and a fresh
#     /dev/shm; no disks, no other devices;
#   - /proc and /sys are the system's, read-only.
# Processes started inside (Xvfb, the wineserver) live and end inside; TSARIN_SANDBOXED is set
# for them. It needs root, which is how the test command runs; for anyone else the system's own
# permissions protect it, and the command runs unchanged (TSARIN_SANDBOX=off does the same).
set -euo pipefail

inside=""
if [ "${1:-}" = --inside ]; then
  inside=1
  shift
fi
writable=()
readable=()
while [ $# -gt 0 ]; do
  case $1 in
    --writable)
      mkdir -p "$2"
      writable+=("$(cd "$2" && pwd -P)")
      shift 2
      ;;
    --readable)
      readable+=("$(cd "$2" && pwd -P)")
      shift 2
      ;;
    --) shift; break ;;
    *)
      echo "sandbox.sh: usage: sandbox.sh [--readable DIR]... [--writable DIR]... -- COMMAND [ARGS...]" >&2
      exit 2
      ;;
  esac
done
[ $# -gt 0 ] || { echo "sandbox.sh: no command" >&2; exit 2; }

if [ -z "$inside" ]; then
  if [ -n "${TSARIN_SANDBOXED:-}" ]; then exec "$@"; fi
  if [ "${TSARIN_SANDBOX:-on}" = off ] || [ "$(id -u)" -ne 0 ]; then
    TSARIN_SANDBOXED=none exec "$@"
  fi
  scratch=$(mktemp -d /tmp/tsarin-sandbox.XXXXXX)
  trap 'rm -rf "$scratch"' EXIT
  status=0
  args=()
  for dir in "${readable[@]}"; do args+=(--readable "$dir"); done
  for dir in "${writable[@]}"; do args+=(--writable "$dir"); done
  TSARIN_SANDBOX_SCRATCH=$scratch unshare --mount --propagation private -- \
    bash "${BASH_SOURCE[0]}" --inside "${args[@]}" -- "$@" || status=$?
  exit $status
fi

# In the new mount namespace, as root.
scratch=$TSARIN_SANDBOX_SCRATCH
fail() {
  echo "sandbox.sh: $*" >&2
  exit 1
}

# A folder to read under /tmp (a clone made there) is carried into the scratch folder that takes
# /tmp's place; elsewhere it is read-only where it stands, like the rest.
for dir in "${readable[@]}"; do
  case $dir in
    /tmp) fail "/tmp itself cannot be carried in" ;;
    /tmp/*)
      mkdir -p "$scratch/${dir#/tmp/}"
      mount --bind "$dir" "$scratch/${dir#/tmp/}"
      ;;
  esac
done
# The writable folders become mounts of their own, so that they stay writable below; one under
# /tmp is carried into the scratch folder too.
for dir in "${writable[@]}"; do
  case $dir in
    /tmp) fail "/tmp itself cannot be writable" ;;
    /tmp/*)
      mkdir -p "$scratch/${dir#/tmp/}"
      mount --bind "$dir" "$scratch/${dir#/tmp/}"
      ;;
    *) mount --bind "$dir" "$dir" ;;
  esac
done

if [ -n "${DISPLAY:-}" ] && [ -d /tmp/.X11-unix ]; then
  mkdir -p "$scratch/.X11-unix"
  mount --bind /tmp/.X11-unix "$scratch/.X11-unix"
else
  mkdir -m 1777 "$scratch/.X11-unix"
fi
chmod 1777 "$scratch"
mount --rbind "$scratch" /tmp

mount -t tmpfs -o mode=755,nosuid tsarin-dev /dev
for node in "null 1 3" "zero 1 5" "full 1 7" "random 1 8" "urandom 1 9" "tty 5 0"; do
  read -r name major minor <<<"$node"
  mknod -m 666 "/dev/$name" c "$major" "$minor"
done
ln -s /proc/self/fd /dev/fd
ln -s /proc/self/fd/0 /dev/stdin
ln -s /proc/self/fd/1 /dev/stdout
ln -s /proc/self/fd/2 /dev/stderr
mkdir /dev/shm
mount -t tmpfs -o mode=1777,nosuid,nodev tsarin-shm /dev/shm

# Everything else read-only: each mount point's own flag, in this namespace only.
is_writable() {
  local mount=$1 dir
  [ "$mount" = /tmp ] || [ "$mount" = /dev/shm ] && return 0
  for dir in "${writable[@]}"; do [ "$mount" = "$dir" ] && return 0; done
  return 1
}
while read -r _ _ _ _ mount _; do
  mount=$(printf '%b' "$mount")  # mountinfo writes blanks and the like as octal escapes
  is_writable "$mount" && continue
  mount -o remount,bind,ro "$mount" 2>/dev/null || true
done </proc/self/mountinfo

# Proof, before anything runs: the root cannot be written, the writable folders can.
probe=".tsarin-sandbox-probe.$$"
if touch "/$probe" 2>/dev/null; then
  rm -f "/$probe"
  fail "the root file system is still writable; not running the command"
fi
for dir in "${writable[@]}" /tmp; do
  touch "$dir/$probe" 2>/dev/null || fail "cannot write to $dir"
  rm -f "$dir/$probe"
done

export TSARIN_SANDBOXED=1 TMPDIR=/tmp
exec "$@"
