#!/usr/bin/env bash
# Draws the README's design map (default docs/design-map.png): the PSH
# strength index of the example input set over its fiber content Vf and its
# snubbing coefficient fp0, for a matrix of Km 0.4 MPa m^0.5, Em 20 GPa and a
# first-crack strength of 1.5 MPa, with the contour at the margin 1.3.
# Needs the release build (make test).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/design-map.png}
runs=$(mktemp -d)
trap 'rm -rf "$runs"' EXIT
build/release/cli/fiberbridge-cli -q --inputs examples/sample.inputs \
  --sweep Vf=0.005:0.03:16 --sweep fp0=0.1:1:16 \
  --Km 0.4 --Em 20 --sigma-fc 1.5 --map strength-index \
  --output-dir "$runs" --plot "$out" >/dev/null
echo "wrote $out"
