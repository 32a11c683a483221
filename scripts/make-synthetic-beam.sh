#!/usr/bin/env bash
# Makes examples/sample-beam.csv, a SYNTHETIC notched-beam test: no beam was
# tested. It is the EN 14651 beam of examples/sample.inputs with the matrix
# --ft 3 --Gf 0.08 --Ec 30, its load read (linear between the computed
# points) at CMOD 0.01 to 0.1 mm by 0.01 and 0.15 to 3.5 mm by 0.05, times
# (1 + 0.02 u), u uniform in [-1, 1) from the MINSTD generator
# (x <- 48271 x mod 2147483647, seed 20261208), written to 4 decimals.
# The same inputs give the same file, byte for byte.
#
# Usage: scripts/make-synthetic-beam.sh [FIBERBRIDGE-CLI [OUTPUT]]
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/release/cli/fiberbridge-cli}
output=${2:-examples/sample-beam.csv}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp" "$output.part"' EXIT
"$cli" -q --inputs examples/sample.inputs --ft 3 --Gf 0.08 --Ec 30 --beam --beam-curve "$tmp/beam.csv" >/dev/null
{
  echo "# SYNTHETIC data, not a measurement: the EN 14651 beam of examples/sample.inputs"
  echo "# with --ft 3 --Gf 0.08 --Ec 30, at CMODs from 0.01 to 3.5 mm, times (1 + 0.02 u),"
  echo "# u uniform in [-1, 1) from MINSTD seeded 20261208; made by scripts/make-synthetic-beam.sh."
  echo "CMOD (mm),load (kN)"
  awk -F, 'NR > 1 { n++; cmod[n] = $1; load[n] = $2 }
    END {
      x = 20261208; k = 2
      for (i = 1; i <= 78; i++) {
        target = i <= 10 ? i / 100 : 0.1 + (i - 10) * 0.05
        while (k < n && cmod[k] < target) k++
        at = load[k - 1] + (load[k] - load[k - 1]) * (target - cmod[k - 1]) / (cmod[k] - cmod[k - 1])
        x = (48271 * x) % 2147483647
        u = 2 * x / 2147483647 - 1
        printf "%.2f,%.4f\n", target, at * (1 + 0.02 * u)
      }
    }' "$tmp/beam.csv"
} >"$output.part"
mv "$output.part" "$output"
