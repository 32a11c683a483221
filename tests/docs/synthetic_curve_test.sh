#!/usr/bin/env bash
# examples/sample-synthetic.csv and examples/sample-beam.csv are what their
# scripts make, byte for byte: nobody edited the "measured" points by hand,
# and the stated run and noise still give them.
set -euo pipefail
source_dir=${1:?usage: synthetic_curve_test.sh SOURCE_DIR FIBERBRIDGE-CLI}
cli=${2:?usage: synthetic_curve_test.sh SOURCE_DIR FIBERBRIDGE-CLI}
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$source_dir/scripts/make-synthetic-curve.sh" "$cli" "$out"
cmp "$out" "$source_dir/examples/sample-synthetic.csv"
"$source_dir/scripts/make-synthetic-beam.sh" "$cli" "$out"
cmp "$out" "$source_dir/examples/sample-beam.csv"
