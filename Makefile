# The two everyday commands: `make demo` (the host against the simulated
# handset) and `make test` (build everything and pass every test, also under
# the sanitizers). Both install what they need first.
JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja

# The test builds, as CI's, fail on a warning in our code.
test test-main test-asan test-tsan: WERROR := -DCORVANETOV_WERROR=ON

.PHONY: deps build test test-main test-asan test-tsan demo bench screenshots package clean

deps:
	bash scripts/install-deps

build: deps
	cmake -S . -B build $(CMAKE_GEN) $(WERROR)
	cmake --build build -j$(JOBS)

test: test-main test-asan test-tsan

# Run as root (as CI does), the tests that open ports and start the programs
# run once more as an ordinary user, whom root's overrides do not cover.
test-main: build
	cd build && ctest --output-on-failure -j$(JOBS)
	bash scripts/test-unprivileged build

test-asan: deps
	cmake -S . -B build-asan $(CMAKE_GEN) $(WERROR) -DCMAKE_BUILD_TYPE=Debug -DCORVANETOV_SANITIZE=address,undefined -DCORVANETOV_WITH_BENCH=OFF
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ctest --output-on-failure -j$(JOBS)

# The threaded channel and engine under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_GEN) $(WERROR) -DCMAKE_BUILD_TYPE=Debug -DCORVANETOV_SANITIZE=thread -DCORVANETOV_WITH_QT=OFF -DCORVANETOV_WITH_BENCH=OFF
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && ctest --output-on-failure -L 'channel|engine' -j$(JOBS)

demo: build
	bash scripts/demo

bench: build
	bash scripts/bench

# The user guide's pictures (docs/images): the real host under Xvfb against
# the simulated handset, after real operations.
screenshots: build
	bash scripts/screenshots build docs/images

# The Debian package: build/corvanetov_<version>_<arch>.deb.
package: build
	cmake --build build --target package

clean:
	rm -rf build build-asan build-tsan
