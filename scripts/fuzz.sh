#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each one for a while, starting from seed corpora that the packer makes from small
# product trees. Fails on any finding: a crash, a sanitizer report, a failed check, a leak, a
# hang (an input running over 10 s) or an input using over 2 GB.
#   scripts/fuzz.sh [seconds-per-target]     (default 30; FUZZ_BUILD_DIR overrides build/fuzz)
# Everything lands beside the targets in build/fuzz/fuzz/: the seeds in seeds/TARGET/, the
# corpora in corpus/TARGET/ (they grow from one run to the next), findings in findings/TARGET/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
seconds=${1:-30}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSARIN_FUZZ=ON \
  -DTSARIN_BENCH=OFF -DTSARIN_SANITIZE=OFF -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang >/dev/null
# Only the fuzz targets and the packer: the rest of the tree need not build with clang.
known=$(cmake --build "$build" --target help)
targets=()
for target in fuzz_explode fuzz_implode_roundtrip fuzz_archive; do
  if grep -qx "\.\.\. $target" <<<"$known"; then
    targets+=("$target")
  fi
done
cmake --build "$build" -j2 --target "${targets[@]}" tsarin-pack >/dev/null
pack="$build/tools/tsarin-pack"

# Seed corpora, made afresh from small product trees: stored and compressed files, both
# literal modes and all dictionary sizes, sub-directories, developer components, an empty file.
seeds="$build/fuzz/seeds"
rm -rf "$seeds"
trees="$seeds/trees"
mkdir -p "$trees/product/Profiles" "$trees/product/Textures/Wood" "$trees/tiny" \
  "$seeds/fuzz_explode" "$seeds/fuzz_implode_roundtrip" "$seeds/fuzz_archive"
(
  cd "$trees/product"
  for i in $(seq 1 30); do echo "Tessarin converts documents, line $i of the read-me."; done \
    >readme.txt
  for i in $(seq 1 60); do printf '<p>Chapter %d: converting and printing</p>\r\n' "$i"; done \
    >tsn.htm
  head -c 1500 /dev/urandom >tsn.exe
  for i in $(seq 1 40); do echo "int tscv_call$i(void);"; done >proto_c.txt
  cp tsn.htm apiref.htm
  : >empty.dat
  for i in $(seq 1 25); do echo "key$i=value$((i * 7))"; done >Profiles/default.prf
  for i in $(seq 1 80); do printf '%04x ' $((i * i % 65536)); done >Textures/Wood/wood.tex
)
printf 'x' >"$trees/tiny/a"

n=0
pack_seed() {  # pack_seed TREE [packer options...]
  local tree=$1
  shift
  n=$((n + 1))
  local setup="$seeds/setup$n.exe"
  "$pack" build -o "$setup" "$@" "$trees/$tree" >/dev/null
  # The archive after the packer's marker (the setup file has no stub, so the marker is its
  # first 16 bytes), and the whole file with the developer box checked.
  { printf '\000'; tail -c +17 "$setup"; } >"$seeds/fuzz_archive/setup$n"
  { printf '\003'; cat "$setup"; } >"$seeds/fuzz_archive/whole$n"
}
pack_seed product
pack_seed product --lazy --literal-mode 1 --dict-bits 4
pack_seed product --literal-mode 1 --dict-bits 5 --store '*.htm'
pack_seed tiny

# Decoder and round-trip seeds: the same files as raw streams and as plain data.
for file in readme.txt tsn.htm proto_c.txt Textures/Wood/wood.tex; do
  for header in "0 4" "1 5" "0 6" "1 6"; do
    set -- $header
    name="$(basename "$file")-$1-$2"
    "$pack" implode --literal-mode "$1" --dict-bits "$2" "$trees/product/$file" "$seeds/$name.imp"
    # First read and later reads of 2048 bytes, then of a few bytes.
    { printf '\377\000'; cat "$seeds/$name.imp"; } >"$seeds/fuzz_explode/$name"
    { printf '\001\007'; cat "$seeds/$name.imp"; } >"$seeds/fuzz_explode/$name-small"
  done
  for header in '\000' '\003' '\015' '\016'; do
    { printf "$header"; cat "$trees/product/$file"; } \
      >"$seeds/fuzz_implode_roundtrip/$(basename "$file")-$(printf '%s' "$header" | tr -d '\\')"
  done
done

status=0
for target in "${targets[@]}"; do
  corpus="$build/fuzz/corpus/$target"
  findings="$build/fuzz/findings/$target"
  log="$build/fuzz/$target.log"
  mkdir -p "$corpus" "$findings"
  # A fixed seed by default: the test command's short run then repeats mutations that have been
  # checked, instead of failing at random on a new finding; FUZZ_SEED=0 explores afresh.
  if "$build/fuzz/$target" -seed="${FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$seeds/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "$log")
    echo "$target: ${runs:-done}, corpus of $(find "$corpus" -type f | wc -l) inputs, no finding"
  else
    echo "$target: FINDING (log: $log, inputs in $findings/)"
    tail -n 40 "$log"
    status=1
  fi
done
exit $status
