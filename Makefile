# One-word entry points. `make test` is what CI runs (.ci/run).
BUILD      ?= build
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

CLANG      ?= clang++-14

.PHONY: all build run test test-release test-sanitize test-clang test-determinism test-fuzz deps bench clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

# Builds only the window program, then opens it (without a display it says how to get one).
run:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS) --target tremblo
	$(BUILD)/app/tremblo

# Everything: the release build's tests (unit, runner, soak, pinned hashes, window end to end),
# then all but the window's again under AddressSanitizer/LeakSanitizer/UndefinedBehaviorSanitizer,
# then the core and all but the window's tests built with clang, then the Debug-against-optimised
# trace comparison, then 60 s of fuzzing the script reader.
test: deps test-release test-sanitize test-clang test-determinism test-fuzz

deps:
	bash scripts/install-deps.sh

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Leaks are reported at exit of every test process; any sanitizer report fails its test.
test-sanitize:
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREMBLO_SANITIZE=ON -DTREMBLO_WINDOW=OFF
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS) -LE e2e

# The same core, hashes pinned, from another compiler.
test-clang:
	cmake -S . -B $(BUILD)-clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=$(CLANG) -DTREMBLO_WINDOW=OFF
	cmake --build $(BUILD)-clang -j $(JOBS)
	cd $(BUILD)-clang && ctest --output-on-failure -j $(JOBS) -LE e2e

# The example scripts' full traces: two optimised runs and a Debug run, byte for byte.
test-determinism: build
	JOBS=$(JOBS) bash scripts/check-determinism.sh $(BUILD) $(BUILD)-debug

test-fuzz:
	bash scripts/run-fuzz.sh 60

# Step and build benchmarks next to the flat-array yardstick, in build-bench (not part of test).
bench:
	bash bench/run.sh

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-clang $(BUILD)-debug build-fuzz
