#!/usr/bin/env bash
# CI: a single-node Slurm started by hand (no systemd in CI containers) from the distribution's
# packages (tools/install-deps.sh --ci installs munge, slurmctld, slurmd, slurm-client), then the
# job array of submit-shards.sh on a task of a few seconds, checked against the whole search by
# check-shards.sh. Every daemon runs as root with its files in a temporary directory, and is
# stopped (by the process ids this script started) whatever happens.
#
#   tools/cluster/ci-slurm.sh GLYCOMB_BINARY [N]
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 GLYCOMB_BINARY [N]" >&2; exit 2; }
glycomb=$(realpath "$1") shards=${2:-4}
here=$(cd "$(dirname "$0")/../.." && pwd)
for command in munged slurmctld slurmd sbatch squeue sinfo; do
  command -v "$command" >/dev/null || { echo "ci-slurm: $command is not installed"; exit 1; }
done

run=$(mktemp -d /tmp/glycomb-slurm.XXXXXX)
pids=()
stop() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
fail() {
  echo "ci-slurm: $*"
  for log in "$run"/*.log; do [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }; done
  exit 1
}
trap 'stop; rm -rf "$run"' EXIT
mkdir -p "$run/state" "$run/spool" "$run/munge"
chmod 711 "$run/munge"
start=$(date +%s%N)

# MUNGE with a key of its own and its socket in the run directory.
dd if=/dev/urandom of="$run/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$run/munge/munge.key"
munged --foreground --force --key-file="$run/munge/munge.key" --socket="$run/munge/socket" \
  --pid-file="$run/munge/munged.pid" --seed-file="$run/munge/seed" --log-file="$run/munged.log" \
  >>"$run/munged.log" 2>&1 &
pids+=($!)

node=$(hostname -s)
cpus=$(nproc)
export SLURM_CONF=$run/slurm.conf
cat >"$SLURM_CONF" <<CONF
ClusterName=glycomb-ci
SlurmctldHost=$node(127.0.0.1)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$run/munge/socket
StateSaveLocation=$run/state
SlurmdSpoolDir=$run/spool
SlurmctldPidFile=$run/slurmctld.pid
SlurmdPidFile=$run/slurmd.pid
SlurmctldLogFile=$run/slurmctld.log
SlurmdLogFile=$run/slurmd.log
SlurmctldPort=16817
SlurmdPort=16818
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SwitchType=switch/none
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
ReturnToService=2
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=ci Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF

for _ in $(seq 1 50); do [ -S "$run/munge/socket" ] && break; sleep 0.1; done
[ -S "$run/munge/socket" ] || fail "munged did not start"
slurmctld -D -i -f "$SLURM_CONF" >"$run/slurmctld.out.log" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >"$run/slurmd.out.log" 2>&1 &
pids+=($!)
state=
for _ in $(seq 1 300); do
  state=$(sinfo -h -n "$node" -o %T 2>/dev/null || true)
  [ "$state" = idle ] && break
  sleep 0.1
done
[ "$state" = idle ] || fail "the node is not idle after 30 s (state: ${state:-none})"
echo "single-node Slurm up in $(( ($(date +%s%N) - start) / 1000000 )) ms"

"$here/tools/cluster/check-shards.sh" --slurm "$glycomb" "$shards" || fail "the job-array run failed"
