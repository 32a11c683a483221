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
# Inside study/, the parts of a fit in fit/ lie below the calibration that runs them.
if inward=$(cd "$root" && grep -rn '^#include "study/calibration.h"' study/fit); then
  echo "$inward: study/fit/ lies below study/calibration.h"
  status=1
fi
[ $status -eq 0 ] && echo "every folder includes only from itself and the folders below it"
exit $status
