#!/usr/bin/env bash
# Runs every shell command of README.md's examples as written, in the order of
# the README, in one shell, from the root of a scratch copy of the source tree
# whose build/release is BUILD_DIR. Fails when a command fails, or when the
# examples leave files outside scratch/.
#
# Which blocks run: every block fenced with ```sh. A block that must not run
# here (the set-up commands, installs) has, on the line just before its fence,
#   <!-- readme-test: skip (the reason) -->
# so that a section added later is tested without touching this script.
set -euo pipefail
source_dir=$(cd "${1:?usage: readme_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
build=$(cd "${2:?usage: readme_test.sh SOURCE_DIR BUILD_DIR}" && pwd)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
tree="$tmp/tree"
mkdir -p "$tree/build"
# The files of the checkout (new ones too), not what builds or earlier examples left.
if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
    tar --null --ignore-failed-read -T - -cf -) | tar -xf - -C "$tree"
else
  tar -C "$source_dir" --exclude=./build --exclude=./scratch -cf - . | tar -xf - -C "$tree"
fi
ln -s "$build" "$tree/build/release"

# The script: three lines of set-up, then the README's lines; readme_line maps
# a script line to its README line for the failure message.
awk -v out="$tmp/body" -v map="$tmp/map" -v skipped="$tmp/skipped" '
  /^<!-- readme-test: skip/ { skip = $0; skip_line = NR; next }
  !in_block && /^```sh[[:space:]]*$/ {
    in_block = 1; blocks++
    if (skip != "" && skip_line == NR - 1) { skipping = 1; print "README.md:" NR ": " skip > skipped }
    next
  }
  in_block && /^```/ { in_block = 0; skipping = 0; skip = ""; next }
  in_block && !skipping { print > out; printf "[%d]=%d ", ++n + 3, NR > map }
  { if (NR != skip_line) skip = "" }
  END { if (in_block) { print "README.md: an sh block is not closed" > "/dev/stderr"; exit 1 }
        if (n == 0) { print "README.md: no sh block to run" > "/dev/stderr"; exit 1 } }
' "$source_dir/README.md"
{
  echo 'set -eo pipefail'
  echo "readme_line=($(cat "$tmp/map"))"
  # shellcheck disable=SC2016
  echo 'trap '\''status=$?; echo "FAIL: README.md line ${readme_line[$LINENO]:-?}: exit $status: $BASH_COMMAND" >&2; exit $status'\'' ERR'
  cat "$tmp/body"
} >"$tmp/readme.sh"

[ -s "$tmp/skipped" ] && sed 's/^/skipped: /' "$tmp/skipped"
before=$(cd "$tree" && find . -path ./build -prune -o -print | sort)
(cd "$tree" && env -u DISPLAY -u WAYLAND_DISPLAY bash "$tmp/readme.sh" </dev/null)
after=$(cd "$tree" && find . -path ./build -prune -o -path ./scratch -prune -o -print | sort)
stray=$(comm -13 <(echo "$before") <(echo "$after") | grep -vx './scratch' || true)
if [ -n "$stray" ]; then
  echo "FAIL: the examples left files outside scratch/:" >&2
  echo "$stray" >&2
  exit 1
fi
echo "readme test: $(grep -c . "$tmp/body") lines of README examples ran"
