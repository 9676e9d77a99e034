#!/usr/bin/env bash
# Checks a search divided into shards end to end with the built program: the whole search of a task
# of a few seconds, then the same task in N shards and their merge, either as N local processes
# (--local) or as a Slurm job array through submit-shards.sh (--slurm, on a running Slurm); the
# merged result file must equal the whole search's byte for byte, and so must the count of
# structures checked. Prints the times.
#
#   tools/cluster/check-shards.sh --local|--slurm GLYCOMB_BINARY [N]
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 --local|--slurm GLYCOMB_BINARY [N]" >&2; exit 2; }
mode=$1 glycomb=$(realpath "$2") shards=${3:-4}
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$here/data/." "$work/"
cp "$here/bench/SEARCH6.TSK" "$work/TASK.TSK"
cd "$work"
export GLYCOMB_THREADS=1

checked() { tr '\r' '\n' <"$1" | grep ' structures checked\.$'; }
since() { echo "$(( ($(date +%s%N) - $1) / 1000000 )) ms"; }
start=$(date +%s%N)
"$glycomb" TASK </dev/null >whole.log
[ -f TASK.RES ] || { echo "the whole search wrote no result file:"; cat whole.log; exit 1; }
mv TASK.RES whole.RES
echo "whole search: $(checked whole.log), $(since "$start")"

start=$(date +%s%N)
case $mode in
  --local)
    pids=()
    for k in $(seq 1 "$shards"); do
      GLYCOMB_SHARD="$k/$shards" "$glycomb" TASK </dev/null >"TASK.$k.log" & pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid"; done
    "$glycomb" /MERGE TASK </dev/null >TASK.merge.log
    ;;
  --slurm)
    read -r array merge < <(GLYCOMB="$glycomb" "$here/tools/cluster/submit-shards.sh" TASK "$shards")
    echo "submitted array $array and merge $merge"
    for _ in $(seq 1 600); do
      squeue -h -j "$array,$merge" 2>/dev/null | grep -q . || break
      sleep 0.2
    done
    if squeue -h -j "$array,$merge" 2>/dev/null | grep -q .; then
      echo "the jobs have not ended within 120 s:"; squeue; exit 1
    fi
    ;;
  *) echo "usage: $0 --local|--slurm GLYCOMB_BINARY [N]" >&2; exit 2 ;;
esac
echo "$shards shards and the merge ($mode): $(since "$start")"
for k in $(seq 1 "$shards"); do
  [ -f "TASK.${k}OF$shards.PRT" ] || { echo "shard $k wrote no part:"; cat TASK.*.log; exit 1; }
done
[ -f TASK.RES ] || { echo "the merge wrote no result file:"; cat TASK.merge.log; exit 1; }
cmp whole.RES TASK.RES || { echo "the merged result file differs from the whole search's"; exit 1; }
[ "$(checked whole.log)" = "$(checked TASK.merge.log)" ] ||
  { echo "structures checked differ: $(checked whole.log) against $(checked TASK.merge.log)"; exit 1; }
echo "the merge of $shards shards equals the whole search: $(checked TASK.merge.log)"
