# The two everyday commands: `make demo` (the host against the simulated
# handset) and `make test` (build everything and pass every test, also under
# the sanitizers). Both install what they need first.
JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja

# Seconds each fuzz target runs in `make fuzz`; `make test` gives each 30.
FUZZ_SECONDS ?= 300

# The test builds, as CI's, fail on a warning in our code.
test test-main test-asan test-tsan test-fuzz: WERROR := -DCORVANETOV_WERROR=ON

.PHONY: deps build test test-main test-asan test-tsan test-fuzz fuzz demo bench soak screenshots package clean

deps:
	bash scripts/install-deps

build: deps
	cmake -S . -B build $(CMAKE_GEN) $(WERROR)
	cmake --build build -j$(JOBS)

test: test-main test-asan test-tsan test-fuzz

# Run as root (as CI does), the tests that open ports and start the programs
# run once more as an ordinary user, whom root's overrides do not cover.
test-main: build
	cd build && ctest --output-on-failure -j$(JOBS)
	bash scripts/test-unprivileged build

test-asan: deps
	cmake -S . -B build-asan $(CMAKE_GEN) $(WERROR) -DCMAKE_BUILD_TYPE=Debug -DCORVANETOV_SANITIZE=address,undefined -DCORVANETOV_WITH_BENCH=OFF
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ctest --output-on-failure -j$(JOBS)

# The threaded channel and engine, and the end-to-end and fault-matrix runs
# (the engine in the test's process, the command line in its own), under
# ThreadSanitizer. The views' tests stay out: Qt is not built with the
# sanitizer, so the locking inside it is invisible and every hand-over
# through its event loop would be reported (docs/reliability.md).
test-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_GEN) $(WERROR) -DCMAKE_BUILD_TYPE=Debug -DCORVANETOV_SANITIZE=thread -DCORVANETOV_WITH_BENCH=OFF
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && ctest --output-on-failure -L 'channel|engine|e2e' -LE 'forms|window' -j$(JOBS)

# Every reader of outside input under libFuzzer (fuzz/), one after another.
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz $(WERROR)

test-fuzz: deps
	FUZZ_SECONDS=30 bash scripts/fuzz $(WERROR)

demo: build
	bash scripts/demo

bench: build
	bash scripts/bench

# A thousand identifications in a row against the simulator: failures (must
# be 0), resident size, descriptors and threads at start and end. At a
# twentieth of the real pauses: at a hundredth the answers' time-outs are a
# few milliseconds, which a busy machine misses now and then.
soak: build
	CORVANETOV_TIME_SCALE=0.05 build/bench/soak 1000

# The user guide's pictures (docs/images): the real host under Xvfb against
# the simulated handset, after real operations.
screenshots: build
	bash scripts/screenshots build docs/images

# The Debian package: build/corvanetov_<version>_<arch>.deb.
package: build
	cmake --build build --target package

clean:
	rm -rf build build-asan build-tsan build-fuzz
