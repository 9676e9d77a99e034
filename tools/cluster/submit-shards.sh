#!/usr/bin/env bash
# Submits a GLYCOMB search divided into N shards to Slurm: a job array of N shard jobs, then a
# merge job that runs once every shard job has ended well (--dependency=afterok on the array).
#
#   tools/cluster/submit-shards.sh TASK N [sbatch options for every job...]
#
# Run it in the directory that holds TASK.TSK and the reference data (NAMES.PS, EFFECTS.PS,
# c13data/), on a file system every node sees; GLYCOMB names the glycomb binary (default: the
# one on PATH). Each shard writes TASK.KOFN.PRT and keeps its checkpoint TASK.KOFN.CKP, so a shard
# job that is requeued or resubmitted goes on where it stopped. The merge writes TASK.RES.
# Prints the two job ids: the array's, then the merge's.
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 TASK N [sbatch options...]" >&2; exit 2; }
task=$1 shards=$2
shift 2
case $shards in ''|*[!0-9]*) echo "N must be a number of shards, 1 to 4096" >&2; exit 2 ;; esac
glycomb=${GLYCOMB:-$(command -v glycomb || true)}
[ -x "$glycomb" ] || { echo "no glycomb binary (set GLYCOMB)" >&2; exit 2; }
upper=$(basename "${task%.*}" | tr '[:lower:]' '[:upper:]')

# One shard: GLYCOMB_SHARD from the array index. The program ends with exit code 0 after a failed
# reading step as well, so the job fails unless the part is there.
array=$(sbatch --parsable --array="1-$shards" --job-name="glycomb-$upper" \
  --output="$upper.%a.log" "$@" <<SCRIPT
#!/bin/sh
export GLYCOMB_SHARD="\$SLURM_ARRAY_TASK_ID/$shards"
export GLYCOMB_THREADS="\${SLURM_CPUS_PER_TASK:-1}"
"$glycomb" "$task" </dev/null
test -f "$upper.\${SLURM_ARRAY_TASK_ID}OF$shards.PRT"
SCRIPT
)
array=${array%%;*}

merge=$(sbatch --parsable --dependency="afterok:$array" --job-name="glycomb-$upper-merge" \
  --output="$upper.merge.log" "$@" <<SCRIPT
#!/bin/sh
"$glycomb" /MERGE "$task" </dev/null
grep -q "The calculation result was written into" "$upper.merge.log"
SCRIPT
)
echo "$array ${merge%%;*}"
