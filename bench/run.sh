#!/usr/bin/env bash
# Builds a Release native tree in build/bench and runs the decoder benchmark.
#   bench/run.sh [repetitions]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build/bench" -DCMAKE_BUILD_TYPE=Release -DTSARIN_SANITIZE=OFF \
  -DTSARIN_BENCH=ON >/dev/null
cmake --build "$root/build/bench" -j2 --target bench-explode >/dev/null
"$root/build/bench/bench/bench-explode" "$@"
