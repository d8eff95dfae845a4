# The two everyday commands: `make demo` (the host against the simulated
# handset) and `make test` (build everything and pass every test, also under
# the sanitizers). Both install what they need first.
JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja

# The test builds, as CI's, fail on a warning in our code.
test test-main test-asan test-tsan: WERROR := -DCORVANETOV_WERROR=ON

.PHONY: deps build test test-main test-asan test-tsan demo bench soak screenshot window-shots clean

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

# The threaded channel and engine, and the end-to-end and fault-matrix runs
# (the engine in the test's process, the command line in its own), under
# ThreadSanitizer. The views' tests stay out: Qt is not built with the
# sanitizer, so the locking inside it is invisible and every hand-over
# through its event loop would be reported (docs/reliability.md).
test-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_GEN) $(WERROR) -DCMAKE_BUILD_TYPE=Debug -DCORVANETOV_SANITIZE=thread -DCORVANETOV_WITH_BENCH=OFF
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && ctest --output-on-failure -L 'channel|engine|e2e' -LE 'forms|window' -j$(JOBS)

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

screenshot: build
	bash scripts/screenshot-read build

# The pictures in docs/, taken by the tests that drive the real window.
window-shots: build
	cd build && CORVANETOV_WINDOW_SHOTS=$(CURDIR)/docs ctest -L window --output-on-failure

clean:
	rm -rf build build-asan build-tsan
