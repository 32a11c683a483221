#!/usr/bin/env bash
# The Slurm job scripts' own logic, without Slurm: which shard each task of an
# array numbered from 0 or from 1 runs, a single task re-run, arrays that do
# not fit the shard count, and finding the program. The study's program is a
# stand-in that records what it was asked; then the real one runs the array
# as tasks would, one task killed and re-run, and the merge.
#
# Usage: job_scripts_test.sh SOURCE_DIR CLI
set -euo pipefail
source_dir=$(cd "${1:?usage: job_scripts_test.sh SOURCE_DIR CLI}" && pwd)
cli=$(realpath "${2:?usage: job_scripts_test.sh SOURCE_DIR CLI}")
study="$source_dir/examples/slurm/study.sbatch"
merge="$source_dir/examples/slurm/merge.sbatch"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: expected [$2], got [$3]" >&2
    failures=$((failures + 1))
  fi
}

printf '#!/bin/bash\necho "$@" >"%s/asked"\n' "$tmp" >stand-in
chmod +x stand-in
# task min max [shards] [first] -> "shard K/N" or "exit S: message"
task() {
  rm -f asked
  local out status=0
  out=$(env -u SLURM_JOB_ID FIBERBRIDGE_CLI="$tmp/stand-in" FIBERBRIDGE_SHARDS="${4-4}" \
    ${5:+FIBERBRIDGE_FIRST_TASK=$5} SLURM_ARRAY_TASK_ID="$1" SLURM_ARRAY_TASK_MIN="$2" SLURM_ARRAY_TASK_MAX="$3" \
    bash "$study" 2>&1) || status=$?
  if [ "$status" -ne 0 ]; then
    echo "exit $status: ${out##*: }"
  else
    sed -n 's/.*--shard \([0-9]*\/[0-9]*\).*/shard \1/p' asked
  fi
}

for id in 0 1 2 3; do check "task $id of 0-3" "shard $((id + 1))/4" "$(task "$id" 0 3)"; done
for id in 1 2 3 4; do check "task $id of 1-4" "shard $id/4" "$(task "$id" 1 4)"; done
check "a re-run of task 3 alone" "shard 3/4" "$(task 3 3 3)"
grep -q -- "--resume" asked || { echo "FAIL: a shard does not resume" >&2; failures=$((failures + 1)); }
check "a re-run of task 0 alone" "shard 1/4" "$(task 0 0 0)"
check "a re-run of task 3 of an array from 0" "shard 4/4" "$(task 3 3 3 4 0)"
check "task 4 of 0-4 for 4 shards" "exit 2: number the tasks 1-4 or 0-3" "$(task 4 0 4)"
check "task 5 of 1-5 for 4 shards" "exit 2: number the tasks 1-4 or 0-3" "$(task 5 1 5)"
check "no shard count" "exit 2: set FIBERBRIDGE_SHARDS to the number of shards (e.g. 4 for --array=1-4)" "$(task 1 1 4 "")"
check "a shard count of 0" "exit 2: must be a whole number from 1" "$(task 1 1 4 0)"
check "a bad first task" "exit 2: must be 0 or 1" "$(task 1 1 4 4 2)"
short=$(env FIBERBRIDGE_CLI="$tmp/stand-in" FIBERBRIDGE_SHARDS=4 SLURM_ARRAY_TASK_ID=1 SLURM_ARRAY_TASK_MIN=1 \
  SLURM_ARRAY_TASK_MAX=3 bash "$study" 2>&1 >/dev/null)
check "an array of 3 tasks for 4 shards" "study.sbatch: warning: the array 1-3, numbered from 1 has 3 tasks for 4 shards; the merge names the shards left out" "$short"

# The real program, found in the build tree beside the scripts when it is not
# on PATH, runs the array as Slurm would; a task killed midway is re-run alone.
export FIBERBRIDGE_STUDY="--sweep kxy=0.5:2:6 --sweep Vf=0.01,0,0.02 --division 30" FIBERBRIDGE_SHARDS=3
export STUDY_DIR="$tmp/study" FIBERBRIDGE_CLI="$cli"
for id in 0 1 2; do
  SLURM_ARRAY_TASK_ID=$id SLURM_ARRAY_TASK_MIN=0 SLURM_ARRAY_TASK_MAX=2 bash "$study" >/dev/null 2>&1 || true
done
# Shard 1 holds the runs of Vf 0.01, all of which finish; a kill left two of them.
cp study/summary-shard-1-of-3.csv whole-part
head -n 7 whole-part >study/summary-shard-1-of-3.csv
sed -i '7s/,finished,/,pending,/' study/summary-shard-1-of-3.csv
SLURM_ARRAY_TASK_ID=0 SLURM_ARRAY_TASK_MIN=0 SLURM_ARRAY_TASK_MAX=0 bash "$study" >/dev/null 2>&1
check "the re-run shard's part" "$(cat whole-part)" "$(cat study/summary-shard-1-of-3.csv)"
check "the re-run's last line" "6 of 6 runs of shard 1 of 3 finished (1 kept from the earlier attempt); summary part in $tmp/study/summary-shard-1-of-3.csv" "$(tail -n 1 study/shard-1-of-3.log)"
merged=$(bash "$merge" 2>&1) || true
"$cli" -q $FIBERBRIDGE_STUDY --output-dir local >/dev/null 2>&1 || true  # Vf 0 is refused in both
check "the merged summary" "$(cat local/summary.csv)" "$(cat study/summary.csv)"
check "the merge's last line" "12 of 18 runs finished; summary in $tmp/study/summary.csv" "$(grep "runs finished" <<<"$merged")"

# Without FIBERBRIDGE_CLI, and not on PATH: the build tree beside the scripts.
if [ -x "$source_dir/build/release/cli/fiberbridge-cli" ]; then
  env -u FIBERBRIDGE_CLI PATH=/usr/bin:/bin FIBERBRIDGE_SHARDS=1 SLURM_ARRAY_TASK_ID=1 STUDY_DIR="$tmp/found" \
    FIBERBRIDGE_STUDY="--sweep kxy=1,2 --division 3" bash "$study" >/dev/null 2>&1
  [ -f found/summary-shard-1-of-1.csv ] || { echo "FAIL: the program in the build tree was not found" >&2; failures=$((failures + 1)); }
fi

[ "$failures" -eq 0 ] || exit 1
echo "the job scripts number, re-run, resume and merge shards as they should"
