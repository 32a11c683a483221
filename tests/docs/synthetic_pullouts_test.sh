#!/usr/bin/env bash
# examples/pullout's synthetic tests are what their script makes, byte for
# byte: nobody edited a "measured" point by hand, and the stated law and
# noise still give them.
set -euo pipefail
source_dir=${1:?usage: synthetic_pullouts_test.sh SOURCE_DIR BUILD_DIR}
build=${2:?usage: synthetic_pullouts_test.sh SOURCE_DIR BUILD_DIR}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
PYTHONDONTWRITEBYTECODE=1 "$source_dir/scripts/make-synthetic-pullouts.sh" "$(cd "$build" && pwd)" "$out"
diff -r --exclude=pva.inputs "$out" "$source_dir/examples/pullout"
