# The two everyday commands:
#   make run    builds quorvex and improves the bundled samples into out/
#   make test   builds everything, runs the whole test suite, then a sanitizer
#               build (AddressSanitizer + UndefinedBehaviorSanitizer) of the tests,
#               then every fuzz target for FUZZ_SECONDS (default 60) each, then
#               the benchmarks once on small sizes
# and, on demand:
#   make bench  the benchmarks at full size

BUILD      ?= build
SAN_BUILD  ?= build-asan
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_GEN  := -G Ninja

.PHONY: run test test-main test-sanitize test-fuzz bench-quick bench deps configure build clean

deps:
	@tools/ensure-packages.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target quorvex
	$(BUILD)/bin/quorvex improve samples/*.wmf -d out
	@echo "Improved pictures are in out/ ('$(BUILD)/bin/quorvex info out/*.wmf' shows what they hold)."

test: test-main test-sanitize test-fuzz bench-quick

test-main: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	@cmake -S . -B $(SAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_BUILD_BENCH=OFF >/dev/null
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# A crash fails the run; its input stays in build-fuzz/crashes/ (the report
# prints the path and the bytes).
test-fuzz: deps
	fuzz/run.sh $(FUZZ_SECONDS)

bench-quick: build
	bench/run.sh --quick

bench: build
	bench/run.sh

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-fuzz
