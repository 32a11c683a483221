#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# asking apt only for those that are missing. With --package, also those that
# building and checking the Debian package need (`make package`, `make package-test`);
# with --slurm, the one-node Slurm cluster of `make slurm-test`.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev libgl-dev
  libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
  # results that may fail: tl::expected, the std::expected of C++23
  libexpected-dev
  fonts-ipafont-gothic locales clang-format
  # calibration: the optimiser, the linear algebra of its standard errors, and
  # the reader of a stage-1 fit's JSON report (--fit-prior)
  libnlopt-cxx-dev libeigen3-dev nlohmann-json3-dev
  # the Python module, for Debian's python3, and its tests (a local Dask cluster)
  python3-dev pybind11-dev python3-numpy python3-pytest python3-distributed
  # the man pages, made at build time from each program's --help
  help2man
  # the tests of the bash completion and of the scalable icon
  bash-completion librsvg2-bin
  # the whole-process benchmarks: times and peak memory
  hyperfine time
)
if [ "${1:-}" = --package ]; then
  packages+=(
    # CPack's DEB generator: dependencies from the binaries (dpkg-shlibdeps), and `file` to find them
    dpkg-dev file
    # the package test's validators
    lintian desktop-file-utils appstream
  )
elif [ "${1:-}" = --slurm ]; then
  packages+=(slurm-wlm munge)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
