# One-word entry points. `make test` is what CI runs (.ci/run).
BUILD      ?= build
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

.PHONY: all build run test test-release test-sanitize test-fuzz deps bench clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/tremblo

# Everything: the release build's tests (unit, runner, window end to end), then the unit tests
# and the soak again under AddressSanitizer/LeakSanitizer/UndefinedBehaviorSanitizer, then the fuzzer.
test: deps test-release test-sanitize test-fuzz

deps:
	bash scripts/install-deps.sh

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREMBLO_SANITIZE=ON -DTREMBLO_WINDOW=OFF
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ctest --output-on-failure -j $(JOBS) -LE e2e

test-fuzz:
	@echo "fuzzing: added by its issue"

bench:
	@echo "benchmarks: added by its issue"

clean:
	rm -rf $(BUILD) $(BUILD)-asan
