# One-word entry points. `make test` is what CI runs (.ci/run).
BUILD      ?= build
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

# The web version: emscripten's CMake tree, and the folder that is the static site (the page,
# its script and module) with the node runner beside it.
WEB_BUILD  ?= build-wasm
WEB_SITE   ?= build-web
PORT       ?= 8000
# The linker's JavaScript optimiser needs the node modules that Debian keeps there.
WEB_ENV    := NODE_PATH=/usr/share/nodejs

CLANG      ?= clang++-14

.PHONY: all build run test test-release test-sanitize test-clang test-determinism test-fuzz test-web deps web serve bench push-sweep mutation clean

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
# trace comparison, then 60 s of fuzzing the script reader, then the web version: the node runner
# against the native one, the page in headless Chromium.
test: deps test-release test-sanitize test-clang test-determinism test-fuzz test-web

deps:
	bash scripts/install-deps.sh

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE web

# Leaks are reported at exit of every test process; any sanitizer report fails its test.
test-sanitize:
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREMBLO_SANITIZE=ON -DTREMBLO_WINDOW=OFF
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS) -LE 'e2e|web'

# The same core, hashes pinned, from another compiler.
test-clang:
	cmake -S . -B $(BUILD)-clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=$(CLANG) -DTREMBLO_WINDOW=OFF
	cmake --build $(BUILD)-clang -j $(JOBS)
	cd $(BUILD)-clang && ctest --output-on-failure -j $(JOBS) -LE 'e2e|web'

# The example scripts' full traces: two optimised runs and a Debug run, byte for byte.
test-determinism: build
	JOBS=$(JOBS) bash scripts/check-determinism.sh $(BUILD) $(BUILD)-debug

test-fuzz:
	bash scripts/run-fuzz.sh 60

# The web tests run from the native build's CTest, pointed at the site (label web).
test-web: web build
	bash scripts/install-deps.sh chromium
	cd tests/web && npm ci --no-audit --no-fund --loglevel=error
	cmake -S . -B $(BUILD) -DTREMBLO_WEB_SITE=$(CURDIR)/$(WEB_SITE)
	cd $(BUILD) && ctest --output-on-failure -L web

# The static site in $(WEB_SITE): index.html, page.js, tremblo.js, tremblo.wasm, ...; and the
# headless runner for node, $(WEB_SITE)/tremblo-sim.js.
web:
	bash scripts/install-deps.sh emscripten
	$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DTREMBLO_WINDOW=OFF \
	  -DTREMBLO_TESTS=OFF -DTREMBLO_WEB_SITE=$(CURDIR)/$(WEB_SITE)
	$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)

# Serves the site on this machine only; Ctrl-C stops it.
serve: web
	@echo "tremblo in a browser: http://127.0.0.1:$(PORT)/"
	python3 -m http.server --bind 127.0.0.1 --directory $(WEB_SITE) $(PORT)

# Step and build benchmarks next to the flat-array yardstick, in build-bench (not part of test).
bench:
	bash bench/run.sh

# Does any push a person can make blow a scene up? Every scene, flag set, direction and length
# (a few minutes; the README's table). Then every grab (bench/grab_sweep.cpp, the second table;
# `build-bench/bench/push_sweep --grabs` alone).
push-sweep:
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTREMBLO_BENCH=ON -DTREMBLO_WINDOW=OFF -DTREMBLO_TESTS=OFF
	cmake --build build-bench -j $(JOBS) --target push_sweep
	build-bench/bench/push_sweep

# Do the tests catch small faults? Each mutant of tests/mutation/mutants.txt alone, one per
# core at a time in copies of the tree under build-mutation (not part of test; ONLY=REGEX picks
# mutants by file or description).
mutation:
	WORKERS=$(JOBS) bash scripts/mutate.sh tests/mutation/mutants.txt build-mutation

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-clang $(BUILD)-debug build-fuzz build-mutation $(WEB_BUILD) $(WEB_SITE)
