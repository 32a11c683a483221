#!/usr/bin/env bash
# A million-run study as a cluster runs it, whole process: one shard of a
# 10^6-run grid (1,000 runs at division 20) against the same 1,000 runs as a
# plain study, then the merge of 1,000 parts of that grid, made here from the
# shard's own part. Wall time (median of REPEAT) and peak memory (GNU time).
#
#   bench/large_study.sh [build/release/cli/fiberbridge-cli]
set -euo pipefail

cli=$(realpath "${1:-build/release/cli/fiberbridge-cli}")
repeat=${REPEAT:-3}
command -v /usr/bin/time >/dev/null || { echo "large_study.sh: /usr/bin/time is missing (Debian: time)" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

grid=(--sweep kxy=0.5:2:1000 --sweep Vf=0.01:0.02:1000 --division 20)
# Shard 1 of 1000 holds the runs 0, 1000, 2000, ...: every kxy with the first Vf.
plain=(--sweep kxy=0.5:2:1000 --Vf 0.01 --division 20)

# "median_seconds peak_kib" of REPEAT runs of a command.
measure() {
  local times=() peak=0
  for _ in $(seq 1 "$repeat"); do
    rm -rf out
    /usr/bin/time -f "%e %M" -o t.txt "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; cat t.txt >&2; exit 1; }
    read -r seconds kib <t.txt
    times+=("$seconds")
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v peak="$peak" '{ t[NR] = $1 } END { printf "%.2f %d\n", t[int((NR + 1) / 2)], peak }'
}

echo "A 10^6-run grid at division 20 on $(nproc) cores (median of $repeat; peak resident memory)"
read -r shard_s shard_kib < <(measure "$cli" -q "${grid[@]}" --shard 1/1000 --output-dir out)
read -r plain_s plain_kib < <(measure "$cli" -q "${plain[@]}" --output-dir out)
awk -v s="$shard_s" -v p="$plain_s" -v sk="$shard_kib" -v pk="$plain_kib" 'BEGIN {
  printf "  shard 1/1000 (1000 runs): %6.2f s, %.2f ms a run, %6.1f MiB\n", s, 1000 * s / 1000, sk / 1024
  printf "  the same runs as a study: %6.2f s, %.2f ms a run, %6.1f MiB (shard/plain %.2f)\n", p, 1000 * p / 1000, pk / 1024, s / p
}'

# 1,000 parts of the grid, each as its shard writes it: the shard's own part
# gives the lines naming the study and a finished run's figures.
"$cli" -q "${grid[@]}" --shard 1/1000 --output-dir parts >/dev/null
/usr/bin/python3 - parts <<'PYTHON'
import csv, io, sys, pathlib
folder = pathlib.Path(sys.argv[1])
first = (folder / "summary-shard-1-of-1000.csv").read_text()
lines = first.splitlines(keepends=True)
identity, header = lines[0], lines[4]
sweeps = [next(csv.reader([line[len("# sweep "):]])) for line in lines[2:4]]
(kxy_name, *kxy), (vf_name, *vf) = sweeps
figures = next(csv.reader([lines[5]]))[3:]
tail = io.StringIO()
csv.writer(tail, lineterminator="\n").writerow(figures)
tail = tail.getvalue()
count = 1000
for k in range(1, count + 1):
    rows = []
    for i in range(k - 1, len(kxy) * len(vf), count):
        a, b = kxy[i // len(vf)], vf[i % len(vf)]
        rows.append(f"{a},{b},{kxy_name}={a}_{vf_name}={b}.p-d,{tail}")
    shard = f"# shard {k} of {count}: runs {k}, {k + count}, {k + 2 * count}, ... of the grid (counted from 1)\n"
    (folder / f"summary-shard-{k}-of-{count}.csv").write_text(identity + shard + "".join(lines[2:4]) + header + "".join(rows))
PYTHON
rm -f parts/*.p-d
read -r merge_s merge_kib < <(measure "$cli" --merge parts --output-dir out)
echo "  merge of 1000 parts (10^6 runs, $(du -sh parts | cut -f1)): ${merge_s} s, $((merge_kib / 1024)) MiB"
