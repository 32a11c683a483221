#!/usr/bin/env bash
# The whole process, as a user or a script starts it: fiberbridge-cli's wall
# time (hyperfine: median, spread, range) and peak memory (GNU time) for the
# cases that fits and studies repeat. A second program, given with BASELINE=,
# runs beside it in the same sitting, so that before and after meet the same
# machine load.
#
#   bench/whole_process.sh [build/release/cli/fiberbridge-cli]
#   BASELINE=/tmp/old/fiberbridge-cli RUNS=40 bench/whole_process.sh
set -euo pipefail

cli=$(realpath "${1:-build/release/cli/fiberbridge-cli}")
baseline=${BASELINE:+$(realpath "$BASELINE")}
runs=${RUNS:-30}
for tool in hyperfine /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "whole_process.sh: $tool is missing (Debian: ${tool##*/})" >&2; exit 1; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# name|arguments|runs (the long case gets fewer)
cases=(
  "version|--version|$runs"
  "defaults|-q -o d.p-d|$runs"
  "length terms|-q -o l.p-d --fp1 0.02 --fd1 0.01 --Ba 0.3 --B 0.4|$runs"
  "division 3000|-q -o w.p-d --division 3000|$((runs / 3 > 5 ? runs / 3 : 5))"
)

programs=("$cli")
[ -n "$baseline" ] && programs+=("$baseline")

# Prints "median ± stddev  (min … max)" in ms for each command of a hyperfine JSON export.
summarise() {
  awk -F': ' '
    /"command"/ { sub(/,$/, "", $2); cmd = $2 }
    /"median"/  { sub(/,$/, "", $2); median = $2 * 1000 }
    /"stddev"/  { sub(/,$/, "", $2); sd = $2 * 1000 }
    /"min"/     { sub(/,$/, "", $2); lo = $2 * 1000 }
    /"max"/     { sub(/,$/, "", $2); hi = $2 * 1000;
                  gsub(/"/, "", cmd); printf "  %8.1f ms ± %5.1f  (%6.1f … %6.1f)  %s\n", median, sd, lo, hi, cmd }
  ' "$1"
}

echo "Whole process, wall time: median ± standard deviation (min … max), $(nproc) cores"
for c in "${cases[@]}"; do
  IFS='|' read -r name args n <<<"$c"
  commands=()
  for p in "${programs[@]}"; do commands+=("$p $args"); done
  if ! hyperfine -N --style none --warmup 3 --runs "$n" --export-json times.json "${commands[@]}" >/dev/null 2>notes; then
    cat notes >&2
    exit 1
  fi
  echo "$name:"
  summarise times.json
  if grep -q outliers notes; then echo "  (hyperfine saw outliers: something else ran meanwhile)"; fi
done

echo
echo "Peak memory (maximum resident set), median of 5:"
peak() {
  for _ in 1 2 3 4 5; do /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; done | sort -n | sed -n 3p
}
for p in "${programs[@]}"; do
  rm -rf study
  echo "  single run $(peak "$p" -q -o m.p-d) KB, two-job study $(peak "$p" -q --sweep kxy=0.5,2 --jobs 2 --output-dir study) KB  $p"
  echo "  Qt libraries it loads at start: $(ldd "$p" | grep -c 'libQt' || true)"
done
