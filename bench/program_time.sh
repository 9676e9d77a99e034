#!/usr/bin/env bash
# Wall time of whole runs of the program (search, probabilities, result file), two builds
# interleaved run by run so that both see the same load: the median of RUNS runs of each.
#
#   bench/program_time.sh OLD_BINARY NEW_BINARY [runs] TASK.TSK...
#
# Each task runs in a fresh copy of data/ (its result file removed before every run), with
# GLYCOMB_THREADS as set in the environment.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
old="$(realpath "$1")"; new="$(realpath "$2")"; runs="$3"; shift 3
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
seconds() { # binary task: wall seconds of one run
  rm -f "$work"/*.RES "$work"/*.HTML "$work"/*.JSON
  local start end
  start="$(date +%s.%N)"
  (cd "$work" && "$1" "$2" </dev/null >/dev/null)
  end="$(date +%s.%N)"
  echo "$end - $start" | bc
}
cp -r "$here/../data/." "$work/"
printf '| task | before | after | after / before |\n|---|---:|---:|---:|\n'
for task in "$@"; do
  cp "$task" "$work/"
  name="$(basename "$task")"
  : >"$work/old.txt"; : >"$work/new.txt"
  for _ in $(seq "$runs"); do
    seconds "$old" "$name" >>"$work/old.txt"
    seconds "$new" "$name" >>"$work/new.txt"
  done
  b="$(median <"$work/old.txt")"; a="$(median <"$work/new.txt")"
  printf '| %s | %.3f s | %.3f s | %.2f |\n' "${name%.TSK}" "$b" "$a" "$(echo "$a / $b" | bc -l)"
done
