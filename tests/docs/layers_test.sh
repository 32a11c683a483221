#!/usr/bin/env bash
# The folders form a stack: each includes only from itself and the folders
# below it, so the engine stays free of files, graphs and the window.
set -euo pipefail
root=$1
below() {
  case $1 in
    engine) echo "engine" ;;
    output) echo "engine output" ;;
    run) echo "engine output run" ;;
    study) echo "engine output run study" ;;
    plot) echo "engine output run study plot" ;;
    cli | ui | python) echo "engine output run study plot $1" ;;
  esac
}
status=0
for folder in engine output run study plot cli ui python; do
  allowed=" $(below "$folder") "
  while IFS= read -r line; do
    file=${line%%:*}
    included=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$line")
    if [[ $allowed != *" $included "* ]]; then
      echo "$file includes from $included/, which lies above $folder/ or beside it"
      status=1
    fi
  done < <(cd "$root" && grep -rnE '^#include "[a-z_]+/' "$folder" --include='*.cpp' --include='*.h' || true)
done
# Inside study/: the inputs lie below everything; the fit lies above the
# studies and the design; in fit/, the parts lie below the calibration that
# runs them and the report that tells of it.
inner() {
  local found
  if found=$(cd "$root" && grep -rnE "^#include \"study/$2" $1 --exclude=calibration.cpp --exclude='fit_report.*'); then
    echo "$found: $3"
    status=1
  fi
}
inner study/inputs '(studies|design|fit)/' "study/inputs/ lies below the rest of study/"
inner "study/studies study/design" 'fit/' "study/fit/ lies above the studies and the design"
inner study/fit 'fit/calibration\.h' "study/fit/'s parts lie below the calibration"
[ $status -eq 0 ] && echo "every folder includes only from itself and the folders below it"
exit $status
