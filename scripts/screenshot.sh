#!/usr/bin/env bash
# Re-takes docs/screenshot.png: the window after a run of the default inputs,
# drawn on a virtual X display. Builds the screenshot tool when needed and
# installs Xvfb when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v xvfb-run >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xvfb xauth
fi

[ -f build/release/CMakeCache.txt ] || cmake --preset release
cmake --build --preset release --target fiberbridge-screenshot

mkdir -p docs
# xcb, not offscreen: the picture shows the fonts and style of a real display.
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
  build/release/ui/fiberbridge-screenshot docs/screenshot.png
