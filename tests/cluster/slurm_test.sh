#!/usr/bin/env bash
# A study on a real, one-node Slurm cluster started here: munged, slurmctld
# and slurmd with a configuration generated under a temporary folder. Runs
# the README's Slurm blocks as written: the job array (numbered from 1, then
# from 0) and its dependent merge job, each merged summary compared with a
# local study of the same grid, and a task cancelled midway, submitted again
# alone, resumed and merged. Then runs a Python study on Dask workers started
# as Slurm jobs and compares it with a local one. Every daemon started here is stopped by its process id, however
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
    for log in "$tmp"/*.log "$tmp"/tree/scratch/*.out "$tmp"/tree/scratch/*/*.log; do
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
memory=$(awk '/^MemTotal:/ { print int($2 / 1024) - 256 }' /proc/meminfo)  # MiB, what the job scripts ask for
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
NodeName=$host CPUs=$cpus RealMemory=$memory State=UNKNOWN
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

# The README's Slurm blocks, run as written from a copy of the source tree
# whose build is this one, so that the jobs find the program beside the scripts.
tree="$tmp/tree"
mkdir -p "$tree/build"
cp -r "$source_dir/examples" "$source_dir/README.md" "$tree/"
ln -s "$build" "$tree/build/release"
awk -v dir="$tmp" '
  /^<!-- readme-test: skip \(needs Slurm: make slurm-test runs this block\) -->/ { marked = NR; next }
  /^```sh/ && marked == NR - 1 { block = dir "/block" ++n ".sh"; next }
  /^```/ { block = ""; next }
  block != "" { print > block }
' "$tree/README.md"
[ -s "$tmp/block1.sh" ] && [ -s "$tmp/block2.sh" ] || { echo "README.md: the Slurm blocks are missing" >&2; exit 1; }
unset FIBERBRIDGE_CLI
PATH=$(tr ':' '\n' <<<"$PATH" | grep -v "$build" | paste -sd:)  # the jobs must find the program themselves

# Waits for every job to end; fails after `limit` seconds.
wait_for_jobs() {
  local limit=${1:-300}
  for _ in $(seq 1 "$limit"); do
    [ -z "$(squeue -h 2>/dev/null)" ] && return 0
    sleep 1
  done
  echo "the jobs did not end in $limit s" >&2
  squeue >&2 || true
  return 1
}
# The README's study, and a local run of a study's options from scratch/.
readme_study=$(sed -n 's/.*FIBERBRIDGE_STUDY="\([^"]*\)".*/\1/p' "$tmp/block1.sh")
[ -n "$readme_study" ] || { echo "README.md: the Slurm block sets no FIBERBRIDGE_STUDY" >&2; exit 1; }
local_study() {
  # shellcheck disable=SC2086
  (cd "$tree/scratch" && "$build/cli/fiberbridge-cli" -q $2 --output-dir "$1" >/dev/null 2>&1) || true
}

step "the README's job array (tasks 1 to 4) and its merge"
(cd "$tree" && bash -eu "$tmp/block1.sh")
wait_for_jobs
local_study local "$readme_study"
diff "$tree/scratch/local/summary.csv" "$tree/scratch/slurm-study/summary.csv"
grep -q "runs finished; summary in" "$tree"/scratch/fiberbridge-merge-*.out
grep -q "runs shard 4 of 4" "$tree"/scratch/fiberbridge-study-*_4.out
step "the merged summary equals the local study's ($(($(wc -l <"$tree/scratch/local/summary.csv") - 1)) runs)"

step "the same array numbered from 0"
sed 's/--array=1-4/--array=0-3/; s/STUDY_DIR=slurm-study/STUDY_DIR=slurm-study0/' "$tmp/block1.sh" >"$tmp/block1-from0.sh"
(cd "$tree" && bash -eu "$tmp/block1-from0.sh")
wait_for_jobs
diff "$tree/scratch/local/summary.csv" "$tree/scratch/slurm-study0/summary.csv"
grep -q "task 0 (array 0-3, numbered from 0) runs shard 1 of 4" "$tree"/scratch/fiberbridge-study-*_0.out
step "tasks 0 to 3 ran shards 1 to 4 and merged into the same summary"

step "a task cancelled midway, submitted again alone: it resumes"
rm -rf "$tree/scratch/slurm-study" "$tree"/scratch/fiberbridge-*.out
long="--inputs ../examples/sample.inputs --sweep kxy=0.5:2:24 --sweep Vf=0.01:0.02:4 --division 3000"
sed "s|FIBERBRIDGE_STUDY=\"[^\"]*\"|FIBERBRIDGE_STUDY=\"$long\"|" "$tmp/block1.sh" >"$tmp/block1-long.sh"
(cd "$tree" && bash -eu "$tmp/block1-long.sh")
part="$tree/scratch/slurm-study/summary-shard-3-of-4.csv"
for _ in $(seq 1 600); do
  [ -f "$part" ] && [ "$(grep -c ',finished,' "$part")" -ge 2 ] && break
  sleep 0.1
done
array=$(squeue -h -o %F | sort -n -u | head -n 1)
scancel "${array}_3"
wait_for_jobs
finished=$(grep -c ',finished,' "$part")
[ "$finished" -lt 24 ] || { echo "shard 3 ended before it was cancelled" >&2; exit 1; }
grep -q "3 of 4 left no summary part\|did not finish\|interrupted\|pending" "$tree"/scratch/fiberbridge-merge-*.out ||
  { echo "the merge did not notice the cancelled shard" >&2; exit 1; }
# As the user's shell still has them from the first block.
(cd "$tree" && FIBERBRIDGE_SHARDS=4 STUDY_DIR=slurm-study FIBERBRIDGE_STUDY="$long" bash -eu "$tmp/block2.sh")
wait_for_jobs
(cd "$tree/scratch" && "$build/cli/fiberbridge-cli" --merge slurm-study >/dev/null)
local_study local-long "$long"
diff "$tree/scratch/local-long/summary.csv" "$tree/scratch/slurm-study/summary.csv"
grep -q "kept from the earlier attempt" "$tree/scratch/slurm-study/shard-3-of-4.log"
step "shard 3, cancelled with $finished runs finished, resumed; the merge equals the local study"

# Dask workers as Slurm jobs; a local study gives the same bits.
step "starting a Dask scheduler and two workers as Slurm jobs"
cd "$tmp/work"
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
