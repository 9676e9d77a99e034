#!/usr/bin/env bash
# Runs reader harnesses for a bounded time each, one after another, on a corpus that starts from
# the shipped data and the seeds of fuzz/seeds. Fails on the first crash, leak, undefined
# behaviour, input slower than one second or memory use above 2 GB; the input that did it is left
# in <build dir>/fuzz-artifacts.
#   fuzz/run_fuzzers.sh <build dir> <seconds per harness> [harness ...]
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$(cd "$1" && pwd)"
seconds="$2"
shift 2
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(names effects c13data task structure)

shipped_seeds() {
  case "$1" in
    names) echo "$source_dir/data/NAMES.PS" ;;
    effects) ;;  # short_effects below
    c13data) echo "$source_dir"/data/c13data/* ;;
    task) echo "$source_dir"/data/*.TSK "$source_dir"/bench/*.TSK ;;
    structure) echo "$source_dir"/data/*.STR ;;
  esac
}

# The shipped EFFECTS.PS with its comments and all but two lines of every block left out except
# in #P: every block the harness looks for, in a size the fuzzer mutates quickly.
short_effects() {
  awk '/^#/ { print; kept = 0; all = ($1 == "#P"); next }
       /^[ \t]*(;|$)/ { next }
       all || kept++ < 2 { print }' "$source_dir/data/EFFECTS.PS"
}

mkdir -p "$build_dir/fuzz-artifacts"
for harness in "${harnesses[@]}"; do
  corpus="$build_dir/fuzz-corpus/$harness"
  mkdir -p "$corpus"
  # shellcheck disable=SC2046
  cp $(shipped_seeds "$harness") "$source_dir/fuzz/seeds/$harness"/* "$corpus"/
  [ "$harness" != effects ] || short_effects >"$corpus/EFFECTS.PS.short"
  echo "=== $harness: ${seconds} s ==="
  "$build_dir/fuzz/${harness}_fuzzer" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build_dir/fuzz-artifacts/$harness-" "$corpus"
done
