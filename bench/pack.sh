#!/usr/bin/env bash
# Whole-process benchmarks of tsarin-pack, each against its baseline in the same run:
#   - explode of a 20 MB corpus (cmake, gdb and the license texts) into a regular file against
#     `gzip -dc` of the same corpus (gzip -9) into a regular file: median of 5, taking turns;
#     and the peak memory of explode;
#   - build of the 50 MB product tree of the install benchmark with 2 jobs against 1 job:
#     median of 3, taking turns, the same bytes from both; and the peak memory of each. Beside
#     it, what the machine itself allows: two 1-job builds at once against one alone (on a
#     shared or busy machine two processes slow each other down).
#   bench/pack.sh TSARIN_PACK BENCH_INSTALL [repetitions]
set -euo pipefail
pack=$1
bench_install=$2
runs=${3:-5}
work=$(mktemp -d /tmp/tsarin-bench-pack.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Seconds taken by a command, to the microsecond.
seconds() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN {printf "%.6f\n", b - a}'
}
median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
# Peak resident memory of a command, in kB.
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

corpus=$work/corpus
for f in /usr/bin/cmake /usr/bin/gdb /usr/share/common-licenses/*; do
  [ -f "$f" ] && cat "$f"
done >"$corpus"
size=$(stat -c %s "$corpus")
"$pack" implode "$corpus" "$work/corpus.imp"
gzip -9 -c "$corpus" >"$work/corpus.gz"
"$pack" explode "$work/corpus.imp" "$work/out"
cmp -s "$corpus" "$work/out" || { echo "bench/pack.sh: explode gave other bytes" >&2; exit 1; }

: >"$work/t.explode"
: >"$work/t.gzip"
for ((i = 0; i < runs; i++)); do
  rm -f "$work/out"
  seconds "$pack" explode "$work/corpus.imp" "$work/out" >>"$work/t.explode"
  rm -f "$work/out"
  seconds sh -c 'gzip -dc "$1" >"$2"' sh "$work/corpus.gz" "$work/out" >>"$work/t.gzip"
done
explode=$(median <"$work/t.explode")
gz=$(median <"$work/t.gzip")
rm -f "$work/out"
peak=$(peak_kb "$pack" explode "$work/corpus.imp" "$work/out")
echo "Whole-process decoding of $size bytes into a regular file, median of $runs"
awk -v e="$explode" -v g="$gz" -v s="$size" 'BEGIN {
  printf "  tsarin-pack explode  %7.3f s  %7.1f MB/s\n", e, s / e / 1048576
  printf "  gzip -dc             %7.3f s  %7.1f MB/s\n", g, s / g / 1048576
  printf "  speed against gzip -dc: %.2fx   goal: at least 2.00x\n", g / e
}'
awk -v p="$peak" 'BEGIN {printf "  explode peak memory %.1f MB   goal: at most 16 MB\n", p / 1024}'

tree=$work/tree
"$bench_install" tree "$tree" 50
largest=$(find "$tree" -type f -printf '%s\n' | sort -n | tail -n 1)
tree_size=$(du -sb "$tree" | cut -f1)
: >"$work/t.jobs1"
: >"$work/t.jobs2"
: >"$work/t.pair"
for ((i = 0; i < 3; i++)); do
  for jobs in 1 2; do
    rm -f "$work/setup$jobs.exe"
    seconds "$pack" build --jobs $jobs -o "$work/setup$jobs.exe" "$tree" 2>/dev/null \
      >>"$work/t.jobs$jobs"
  done
  seconds sh -c '"$1" build --jobs 1 -o "$2.a" "$3" 2>/dev/null & "$1" build --jobs 1 -o "$2.b" \
    "$3" 2>/dev/null & wait' sh "$pack" "$work/pair" "$tree" >>"$work/t.pair"
done
cmp -s "$work/setup1.exe" "$work/setup2.exe" || { echo "bench/pack.sh: 1 and 2 jobs differ" >&2; exit 1; }
one=$(median <"$work/t.jobs1")
two=$(median <"$work/t.jobs2")
pair=$(median <"$work/t.pair")
peak1=$(peak_kb "$pack" build --jobs 1 -o "$work/setup1.exe" "$tree")
peak2=$(peak_kb "$pack" build --jobs 2 -o "$work/setup2.exe" "$tree")
echo
echo "tsarin-pack build of the $((tree_size >> 20)) MB product tree, median of 3"
awk -v a="$one" -v b="$two" -v p1="$peak1" -v p2="$peak2" -v l="$largest" -v c="$pair" 'BEGIN {
  printf "  --jobs 1   %7.3f s   peak memory %6.1f MB\n", a, p1 / 1024
  printf "  --jobs 2   %7.3f s   peak memory %6.1f MB\n", b, p2 / 1024
  printf "  2 jobs against 1: %.2fx faster   goal: at least 1.80x\n", a / b
  printf "  (two 1-job builds at once: %.3f s, so this machine allows %.2fx)\n", c, 2 * a / c
  printf "  largest file %.1f MB; memory goal: the largest file plus a fixed amount per job\n", l / 1048576
}'
