# The two set-up commands of the README: `make run` and `make test`.
# Each installs what is missing, then configures and builds the Release tree.

.PHONY: run test deps deps-package deps-slurm slurm-test build package package-test sanitize-test tsan-test format format-check bench clean

deps:
	@scripts/install-deps.sh

deps-package:
	@scripts/install-deps.sh --package

deps-slurm:
	@scripts/install-deps.sh --slurm

build: deps
	cmake --preset release
	cmake --build --preset release

# The main job: the FiberBridge window.
run: build
	build/release/ui/fiberbridge

test: build
	QT_QPA_PLATFORM=offscreen ctest --preset release

# The Debian package, build/release/fiberbridge_<version>_<arch>.deb.
package: deps-package build
	cmake --build --preset release --target package

# The package unpacked and checked: its files, its fiberbridge-cli, its menu
# entry and metadata, and lintian.
package-test: package
	tests/packaging/package_test.sh build/release

# The README's Slurm blocks and a Dask study on a one-node Slurm cluster started
# on this machine (munged, slurmctld, slurmd); needs root. Builds the command
# line and the Python module only. Not part of `make test`.
slurm-test: deps deps-slurm
	cmake --preset release
	cmake --build --preset release --target fiberbridge-cli fb_python
	tests/cluster/slurm_test.sh . build/release

# The engine, output, study and command-line tests under AddressSanitizer and UBSan.
sanitize-test: deps
	cmake --preset sanitize
	cmake --build --preset sanitize
	ctest --preset sanitize

# The study tests, whose runs share threads, under ThreadSanitizer.
tsan-test: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

# Every C++ file in the layout of .clang-format.
FORMATTED = $(shell git ls-files '*.cpp' '*.h')
format: deps
	clang-format -i $(FORMATTED)

format-check: deps
	clang-format --dry-run --Werror $(FORMATTED)

# In-process cases (Google Benchmark), then whole processes (hyperfine and
# GNU time); BASELINE=path/to/an/older/fiberbridge-cli runs beside this one.
bench: build
	build/release/bench/fiberbridge-bench
	build/release/bench/fiberbridge-window-bench
	build/release/bench/fiberbridge-fit-bench
	build/release/bench/fiberbridge-fit-coverage
	build/release/bench/fiberbridge-design-bench
	build/release/bench/fiberbridge-pullout-bench
	bench/whole_process.sh build/release/cli/fiberbridge-cli
	bench/large_study.sh build/release/cli/fiberbridge-cli

clean:
	rm -rf build
