# The everyday commands: `make demo` (the host against the simulated handset),
# `make test` (build what the tests need, run the suite as root and again as
# an ordinary user) and `make check` (that, then the suite under the
# sanitizers and a short run of every fuzz target). Each installs what it
# needs first.
JOBS ?= $(shell nproc)
# The tests mostly wait (on the simulated handsets' pauses, on X servers,
# on the programs they start): the suite runs four at a time per core.
TEST_JOBS ?= $(shell echo $$(( $(JOBS) * 4 )))
CMAKE_GEN := -G Ninja

# A case that fails runs once more before it counts as failed: the suite
# runs simulated handsets, X servers and real servers at a hundredth of the
# real timing, four cases per core, and a loaded machine now and then misses
# a 20 ms answer. A fault that fails twice in a row still fails the suite.
TEST_RETRY ?= --repeat until-pass:2
export TEST_RETRY

# Seconds each fuzz target runs in `make fuzz`; `make check` gives each 15
# (every target's seed corpus also runs in the suite, fuzz_replay_<target>).
FUZZ_SECONDS ?= 300

# Every build folder made here fails on a warning in our code, as CI's do:
# one setting everywhere, so that `make demo` and a following `make test`
# share their build and nothing is compiled twice.
WERROR := -DCORVANETOV_WERROR=ON

# Every build folder made here compiles a target's files a few at a time as
# one (a unity build): on two cores a build takes well under half the time.
# A build configured by hand compiles file by file, which keeps each file's
# includes honest.
UNITY := -DCMAKE_UNITY_BUILD=ON

# Line tables only, not full debug information: backtraces and sanitizer
# reports still name file and line, and a build takes a third less.
LINES := -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_DEBUG=-g1

# The programs, the plug-in and the practice files: what `make demo` runs.
PROGRAMS := corvanetov corvanetov-cli vqxb410-sim corvanetov_vqxb410 corvanetov-samples practice_files

.PHONY: deps deps-fuzz configure programs build test check test-asan test-tsan test-fuzz fuzz demo bench soak screenshots package clean

deps:
	bash scripts/install-deps

deps-fuzz:
	bash scripts/install-deps --fuzz

configure: deps
	cmake -S . -B build $(CMAKE_GEN) $(WERROR) $(UNITY) $(LINES)

programs: configure
	cmake --build build -j$(JOBS) --target $(PROGRAMS)

# The programs and the tests (the benchmarks and the screenshot tool are
# built by their own commands).
build: configure
	cmake --build build -j$(JOBS)

# Run as root (as CI does), the tests that open ports and start the programs
# run once more as an ordinary user, whom root's overrides do not cover.
test: build
	cd build && ctest --output-on-failure $(TEST_RETRY) -j$(TEST_JOBS)
	TEST_JOBS=$(TEST_JOBS) bash scripts/test-unprivileged build

check: test test-asan test-tsan test-fuzz

test-asan: deps
	cmake -S . -B build-asan $(CMAKE_GEN) $(WERROR) $(UNITY) $(LINES) -DCMAKE_BUILD_TYPE=Debug -DCORVANETOV_SANITIZE=address,undefined -DCORVANETOV_WITH_BENCH=OFF
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ctest --output-on-failure $(TEST_RETRY) -j$(JOBS)

# The threaded channel and engine, and the end-to-end and fault-matrix runs
# (the engine in the test's process, the command line in its own), under
# ThreadSanitizer. The views' tests stay out: Qt is not built with the
# sanitizer, so the locking inside it is invisible and every hand-over
# through its event loop would be reported (docs/reliability.md). Only the
# test programs of those labels are built, with the programs they start.
TSAN_TESTS := tests_channel tests_engine tests_e2e
TSAN_LABELS := -L 'channel|engine|e2e' -LE 'forms|window'
test-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_GEN) $(WERROR) $(UNITY) $(LINES) -DCMAKE_BUILD_TYPE=Debug -DCORVANETOV_SANITIZE=thread -DCORVANETOV_WITH_BENCH=OFF
	cmake --build build-tsan -j$(JOBS) --target $(TSAN_TESTS)
	cd build-tsan && ctest --output-on-failure $(TEST_RETRY) $(TSAN_LABELS) -j$(JOBS)

# Every reader of outside input under libFuzzer (fuzz/), one after another.
fuzz: deps-fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz $(WERROR) $(LINES)

test-fuzz: deps-fuzz
	FUZZ_SECONDS=15 bash scripts/fuzz $(WERROR) $(LINES)

demo: programs
	bash scripts/demo

bench: configure
	cmake --build build -j$(JOBS) --target benchmarks
	bash scripts/bench

# A thousand identifications in a row against the simulator: failures (must
# be 0), resident size, descriptors and threads at start and end. At a
# twentieth of the real pauses: at a hundredth the answers' time-outs are a
# few milliseconds, which a busy machine misses now and then.
soak: configure
	cmake --build build -j$(JOBS) --target soak
	CORVANETOV_TIME_SCALE=0.05 build/bench/soak 1000

# The user guide's pictures (docs/images): the real host under Xvfb against
# the simulated handset, after real operations.
screenshots: configure
	cmake --build build -j$(JOBS) --target guide_screenshots
	bash scripts/screenshots build docs/images

# The Debian package: build/corvanetov_<version>_<arch>.deb.
package: build
	cmake --build build --target package

clean:
	rm -rf build build-asan build-tsan build-fuzz
