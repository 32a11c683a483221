#!/usr/bin/env bash
# Makes examples/pullout/, SYNTHETIC single-fiber pullout tests and a
# tension test: no fiber was pulled and no specimen was tested. The files
# are the model's own output for the law below on the fiber of
# examples/pullout/pva.inputs:
#   straight-lb*.csv  the pullout law at lb 1, 2, 3, 4.5 and 6 mm, angle 0,
#   inclined-*.csv    at lb 3 mm inclined by 30, 45 and 60 degrees,
#                     40 slips each, s_i = lb (i/39)^2, load + 0.02 peak u;
#   tension-pva.csv   the bridging stress of the whole law at every second
#                     step up to 2 mm, times (1 + 0.03 u);
# u uniform in [-1, 1) from MINSTD (x <- 48271 x mod 2147483647) seeded
# 20261207, drawn in the order the files are listed here. The same build
# gives the same files, byte for byte.
#
# Usage: scripts/make-synthetic-pullouts.sh [BUILD_DIR [OUTPUT_DIR]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
output=${2:-examples/pullout}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
law="Aa = 0.3
Ba = 0.5
Ca = 0.01
Da = 0.05
A = 0.5
B = 0.5
C = 0.05
D = 0.15
fp0 = 0.6
fd0 = 0.3
strengthReduction = 0.5"
{ cat examples/pullout/pva.inputs; echo "$law"; } >"$tmp/truth.inputs"
"$build/cli/fiberbridge-cli" -q --inputs "$tmp/truth.inputs" -o "$tmp/run.p-d" --csv "$tmp/run.csv" >/dev/null

PYTHONDONTWRITEBYTECODE=1 PYTHONPATH="$build/python" /usr/bin/python3 - "$tmp" "$law" <<'PYTHON'
import sys
import fiberbridge

tmp, law = sys.argv[1], sys.argv[2]
inputs = {}
for line in open("examples/pullout/pva.inputs").read().splitlines() + law.splitlines():
    if line and not line.startswith("#"):
        name, value = (part.strip() for part in line.split("="))
        inputs[name] = value
state = 20261207


def uniform():
    global state
    state = (48271 * state) % 2147483647
    return 2 * state / 2147483647 - 1


def pullout(name, lb, angle):
    slips = [lb * (i / 39) ** 2 for i in range(40)]
    loads = fiberbridge.pullout(lb, angle, slips, **inputs)
    peak = max(loads)
    with open(f"{tmp}/{name}", "w") as out:
        out.write("# SYNTHETIC data, not a measurement: the pullout law of scripts/make-synthetic-pullouts.sh\n")
        out.write("# plus 0.02 of the peak load times u, u uniform in [-1, 1) from MINSTD.\n")
        out.write(f"# lb = {lb:g}\n# angle = {angle:g}\nslip (mm),load (N)\n")
        for s, p in zip(slips, loads):
            out.write(f"{s:.5f},{p + 0.02 * peak * uniform():.5f}\n")


for lb in (1, 2, 3, 4.5, 6):
    pullout(f"straight-lb{lb:g}.csv", lb, 0)
for angle in (30, 45, 60):
    pullout(f"inclined-{angle}deg.csv", 3, angle)

rows = [line.split(",") for line in open(f"{tmp}/run.csv").read().splitlines()[1:]]
with open(f"{tmp}/tension-pva.csv", "w") as out:
    out.write("# SYNTHETIC data, not a measurement: the bridging stress of examples/pullout/pva.inputs with the\n")
    out.write("# law of scripts/make-synthetic-pullouts.sh, every second step up to 2 mm, times (1 + 0.03 u).\n")
    out.write("crack width (mm),stress (MPa)\n")
    for row in rows[::2]:
        w, sigma = float(row[1]), float(row[3])
        if w <= 2:
            out.write(f"{w:.4f},{sigma * (1 + 0.03 * uniform()):.4f}\n")
PYTHON
mkdir -p "$output"
for f in "$tmp"/*.csv; do
  case $(basename "$f") in run.csv) continue ;; esac
  mv "$f" "$output/"
done
