#!/usr/bin/env bash
# The search benchmark table: wall time (median of RUNS runs) and structures checked for each
# benchmark task, with the literal enumeration and with the pruned search on one thread and on
# every core, and the share of candidates the pruned search never scored.
#
#   bench/run_benchmarks.sh [build directory] [runs]
#
# BEFORE=<search_benchmark of an earlier build> adds a column for it (its own output format:
# "... candidates scored in T s ..."). SLOW_RUNS (default RUNS) is the number of runs of the
# literal enumeration and of BEFORE; SKIP_SLOW lists tasks for which they are not run at all.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
runs="${2:-5}"
bench="$build/bench/search_benchmark"
cores="$(nproc)"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Seconds of one run of the current benchmark: the number after "thread(s): ".
seconds() { sed -n 's/.*thread(s): \([0-9.e+-]*\) s,.*/\1/p'; }

printf '| task | structures checked | never scored | literal | pruned, 1 thread | pruned, %s threads |%s\n' \
  "$cores" "${BEFORE:+ before |}"
printf '|---|---|---|---|---|---|%s\n' "${BEFORE:+---|}"
for task in ${TASKS:-SEARCH5 SEARCH6 SEARCH6Q SEARCH7 SPIN6 LINK6}; do
  file="$here/$task"
  line="$("$bench" "$file" --threads 1)"
  checked="$(sed -n 's/.* s, \([0-9]*\) structures checked.*/\1/p' <<<"$line")"
  never="$(sed -n 's/.*scored (\([0-9.]*\)% never scored).*/\1/p' <<<"$line")"
  one="$(for _ in $(seq "$runs"); do "$bench" "$file" --threads 1 | seconds; done | median)"
  all="$(for _ in $(seq "$runs"); do "$bench" "$file" --threads "$cores" | seconds; done | median)"
  literal="-"
  before=""
  [ -n "${BEFORE:-}" ] && before="- |"
  if ! grep -qw "$task" <<<"${SKIP_SLOW:-}"; then
    slow="${SLOW_RUNS:-$runs}"
    literal="$(for _ in $(seq "$slow"); do "$bench" "$file" --literal | seconds; done | median)"
    if [ -n "${BEFORE:-}" ]; then
      before="$(for _ in $(seq "$slow"); do "$BEFORE" "$file" | sed -n 's/.* scored in \([0-9.e+-]*\) s.*/\1/p'; done | median) s |"
    fi
  fi
  printf '| %s | %s | %s%% | %s s | %s s | %s s |%s\n' "$task" "$checked" "$never" "$literal" "$one" "$all" "${before:+ $before}"
done
