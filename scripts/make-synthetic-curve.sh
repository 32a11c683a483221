#!/usr/bin/env bash
# Makes examples/sample-synthetic.csv, a SYNTHETIC measured curve: no
# specimen was tested. It is the computed bridging stress of
# examples/sample.inputs at every second crack-opening step, times
# (1 + 0.08 u), u uniform in [-1, 1) from the MINSTD generator
# (x <- 48271 x mod 2147483647, seed 20260101), written to 4 decimals.
# The same inputs give the same file, byte for byte.
#
# Usage: scripts/make-synthetic-curve.sh [FIBERBRIDGE-CLI [OUTPUT]]
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/release/cli/fiberbridge-cli}
output=${2:-examples/sample-synthetic.csv}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp" "$output.part"' EXIT
"$cli" -q --inputs examples/sample.inputs -o "$tmp/run.p-d" --csv "$tmp/run.csv" >/dev/null
{
  echo "# SYNTHETIC data, not a measurement: the computed stress of examples/sample.inputs"
  echo "# at every second step, times (1 + 0.08 u), u uniform in [-1, 1) from MINSTD seeded"
  echo "# 20260101; made by scripts/make-synthetic-curve.sh."
  echo "crack width (mm),stress (MPa)"
  # The products stay below 2^53, so every awk computes the same sequence.
  awk -F, 'BEGIN { x = 20260101 }
    NR > 1 && (NR - 2) % 2 == 0 {
      x = (48271 * x) % 2147483647
      u = 2 * x / 2147483647 - 1
      printf "%.4f,%.4f\n", $2, $4 * (1 + 0.08 * u)
    }' "$tmp/run.csv"
} >"$output.part"
mv "$output.part" "$output"
