# The two set-up commands of the README: `make run` and `make test`.
# Each installs what is missing, then configures and builds the Release tree.

.PHONY: run test deps build sanitize-test bench clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset release
	cmake --build --preset release

# The main job: the FiberBridge window.
run: build
	build/release/ui/fiberbridge

test: build
	QT_QPA_PLATFORM=offscreen ctest --preset release

# The engine, output and command-line tests under AddressSanitizer and UBSan.
sanitize-test: deps
	cmake --preset sanitize
	cmake --build --preset sanitize
	ctest --preset sanitize

bench: build
	build/release/bench/fiberbridge-bench

clean:
	rm -rf build
