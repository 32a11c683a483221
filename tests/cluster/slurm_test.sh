#!/usr/bin/env bash
# A study on a real, one-node Slurm cluster started here: munged, slurmctld
# and slurmd with a configuration generated under a temporary folder. Submits
# examples/slurm's job array and its dependent merge job with sbatch, compares
# the merged summary.csv with a local study of the same grid, then runs a
# Python study on Dask workers started as Slurm jobs and compares it with a
# local one. Every daemon started here is stopped by its process id, however
# the test ends. Needs root (the daemons) and slurm-wlm and munge installed.
#
# Usage: slurm_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(cd "${1:?usage: slurm_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
build=$(cd "${2:?usage: slurm_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
cli="$build/cli/fiberbridge-cli"
python=/usr/bin/python3

[ "$(id -u)" -eq 0 ] || { echo "slurm_test.sh: the daemons need root" >&2; exit 1; }
for tool in munged slurmctld slurmd sbatch squeue sinfo scancel; do
  command -v "$tool" >/dev/null || { echo "slurm_test.sh: $tool is missing (slurm-wlm, munge)" >&2; exit 1; }
done

tmp=$(mktemp -d /tmp/fiberbridge-slurm.XXXXXX)
chmod 755 "$tmp"
pids=()
stop_everything() {
  local status=$?
  # Jobs first, so that no job outlives the daemons that run it.
  if [ -n "${SLURM_CONF:-}" ] && [ -e "$SLURM_CONF" ]; then
    scancel --quiet --user=root 2>/dev/null || true
    for _ in $(seq 1 30); do
      [ -z "$(squeue -h 2>/dev/null)" ] && break
      sleep 1
    done
  fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  if [ "$status" -ne 0 ]; then
    for log in "$tmp"/*.log "$tmp"/work/*.out; do
      [ -e "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
    done
  fi
  rm -rf "$tmp"
  exit "$status"
}
trap stop_everything EXIT
trap 'exit 130' INT TERM

step() { echo "slurm-test: $*"; }

# munge: a fresh key, its socket and files under $tmp.
step "starting munged"
mkdir -p "$tmp/munge"
chmod 700 "$tmp/munge"
dd if=/dev/urandom of="$tmp/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$tmp/munge/munge.key"
munged --foreground --force --key-file="$tmp/munge/munge.key" --socket="$tmp/munge/munge.socket" \
  --pid-file="$tmp/munge/munged.pid" --log-file="$tmp/munged.log" --seed-file="$tmp/munge/munge.seed" \
  >>"$tmp/munged.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do [ -S "$tmp/munge/munge.socket" ] && break; sleep 0.1; done
[ -S "$tmp/munge/munge.socket" ] || { echo "munged did not start" >&2; exit 1; }

# slurm: one node, this host, every path and port of its own.
host=$(hostname -s)
cpus=$(nproc)
port=$((20000 + RANDOM % 20000))
mkdir -p "$tmp/state" "$tmp/spool" "$tmp/work"
export SLURM_CONF="$tmp/slurm.conf"
cat >"$SLURM_CONF" <<CONF
ClusterName=fiberbridge-test
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
SlurmctldPort=$port
SlurmdPort=$((port + 1))
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$tmp/munge/munge.socket
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/slurmctld.log
SlurmdLogFile=$tmp/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
NodeName=$host CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF

step "starting slurmctld and slurmd"
slurmctld -D -i -f "$SLURM_CONF" >"$tmp/slurmctld.out.log" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >"$tmp/slurmd.out.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 60); do
  [ "$(sinfo -h -o %t 2>/dev/null)" = "idle" ] && break
  sleep 1
done
[ "$(sinfo -h -o %t 2>/dev/null)" = "idle" ] || { echo "the node did not become idle" >&2; sinfo >&2 || true; exit 1; }

# The job array and its merge job, as the README submits them.
study="--sweep kxy=0.5:2:6 --sweep Vf=0.01,0,0.02 --division 30"
export FIBERBRIDGE_CLI="$cli" FIBERBRIDGE_STUDY="$study" STUDY_DIR="$tmp/work/study"
cd "$tmp/work"
step "submitting the job array and the merge job"
array=$(sbatch --parsable "$source_dir/examples/slurm/study.sbatch")
merge=$(sbatch --parsable --dependency="afterany:$array" "$source_dir/examples/slurm/merge.sbatch")
for _ in $(seq 1 300); do
  [ -z "$(squeue -h -j "$array,$merge" 2>/dev/null)" ] && break
  sleep 1
done
[ -z "$(squeue -h -j "$array,$merge" 2>/dev/null)" ] || { echo "the jobs did not end in 5 minutes" >&2; exit 1; }
ls "$STUDY_DIR"/summary-shard-*-of-4.csv >/dev/null
# shellcheck disable=SC2086
"$cli" -q $study --output-dir "$tmp/work/local" >/dev/null 2>&1 || true  # Vf 0 is refused in both
diff "$tmp/work/local/summary.csv" "$STUDY_DIR/summary.csv"
grep -q "runs finished; summary in" fiberbridge-merge-"$merge".out
step "the merged summary of 4 array tasks equals the local study's ($(($(wc -l <"$STUDY_DIR/summary.csv") - 1)) runs)"

# Dask workers as Slurm jobs; a local study gives the same bits.
step "starting a Dask scheduler and two workers as Slurm jobs"
export DASK_SCHEDULER_FILE="$tmp/work/scheduler.json" PYTHONPATH="$build/python"
"$python" -m distributed.cli.dask_scheduler --host 127.0.0.1 --port 0 --no-dashboard \
  --scheduler-file "$DASK_SCHEDULER_FILE" >"$tmp/dask-scheduler.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 60); do [ -s "$DASK_SCHEDULER_FILE" ] && break; sleep 0.5; done
workers=$(sbatch --parsable --array=1-2 "$source_dir/examples/slurm/dask-worker.sbatch")
"$python" - <<'PYTHON'
import os
from dask.distributed import Client
import fiberbridge

runs = fiberbridge.grid(kxy=[0.5, 1, 1.5, 2], Vf=[0.01, 0.02], base={"division": 30})
with Client(scheduler_file=os.environ["DASK_SCHEDULER_FILE"], timeout=120) as client:
    client.wait_for_workers(1, timeout=120)
    on_slurm = fiberbridge.study(runs, client=client)
local = fiberbridge.study(runs)
assert len(on_slurm) == len(local) == 8
assert all((a.sigma == b.sigma).all() and (a.Wcr == b.Wcr).all() for a, b in zip(local, on_slurm))
print("slurm-test: a Dask study on workers started as Slurm jobs equals the local study (8 runs)")
PYTHON
scancel "$workers"
step "passed"
