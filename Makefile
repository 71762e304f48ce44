# The two commands a fresh Debian machine needs (as root):
#   make demo   installs what is missing, builds, converts the bundled sample game
#   make test   installs what is missing, builds, runs every test (plain and sanitizer builds)
# and, for longer runs of the fuzz targets:
#   make fuzz   builds them with clang-19 and runs each for FUZZ_SECONDS

PYTHON   ?= /usr/bin/python3
JOBS     ?= $(shell nproc)
BUILD    ?= build
ASAN     ?= build-asan
SAMPLE   ?= tests/data/realistic_game.json
FUZZ     ?= build-fuzz
FUZZ_CXX ?= clang++-19
FUZZ_SECONDS ?= 180
FUZZ_JOBS    ?= $(JOBS)

# Every build folder here treats warnings as errors, whichever target made
# it, so `make demo` then `make test` configures and compiles build/ once.
# (A pip install builds on its own, without them.)
CONFIGURE = cmake -S . -DPython3_EXECUTABLE=$(PYTHON) -DKIROKU_WERROR=ON

.PHONY: all deps build build-asan build-fuzz demo test test-plain test-asan format-check fuzz bench clean

all: build

deps:
	sh scripts/install-deps.sh

build: deps
	$(CONFIGURE) -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# The C++ tests and the command-line tool's tests once more under
# AddressSanitizer and UndefinedBehaviorSanitizer; the Python module is left
# out (the interpreter itself is not instrumented).  Optimised with debug
# information: simdjson's development checks, which a build without
# optimisation turns on, assert on nesting that the reader handles anyway.
build-asan: deps
	$(CONFIGURE) -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIROKU_SANITIZE=ON -DKIROKU_PYTHON=OFF
	cmake --build $(ASAN) -j $(JOBS)

# The libFuzzer targets in fuzz/, under AddressSanitizer and
# UndefinedBehaviorSanitizer, with clang-19 (libFuzzer comes with clang; g++
# has none).  Only the core and the targets are built, always with warnings
# as errors like every other build.  Without clang-19 the step says so and
# the rest goes on.
build-fuzz: deps
	@if command -v $(FUZZ_CXX) >/dev/null; then \
	  CXX=$(FUZZ_CXX) $(CONFIGURE) -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIROKU_FUZZ=ON \
	    -DKIROKU_PYTHON=OFF -DKIROKU_CLI=OFF -DKIROKU_TESTS=OFF && \
	  cmake --build $(FUZZ) -j $(JOBS); \
	else \
	  echo "fuzz targets skipped: $(FUZZ_CXX) is not installed"; \
	fi

# The sample game's mjai events from the command-line tool, then the same
# conversion from Python.
demo: build
	$(BUILD)/src/cli/kiroku $(SAMPLE)
	PYTHONPATH=$(BUILD)/src/lib $(PYTHON) -c 'import sys, _kiroku; events = _kiroku.tenhou_file_to_mjai(sys.argv[1]); print(len(events), "events from Python, the first:", events[0])' $(SAMPLE)

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Then each fuzz target briefly (fuzz/smoke.sh): the committed seeds and
# reproducers, then a fixed number of mutations.
test-asan: build-asan build-fuzz
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)
	@if [ -f $(FUZZ)/fuzz/CTestTestfile.cmake ]; then \
	  cd $(FUZZ) && ctest --output-on-failure -j $(JOBS); \
	fi

# Every C++ file as .clang-format has it (clang-format-19, which comes with
# the fuzz toolchain's packages).
FORMAT ?= clang-format-19
format-check: deps
	git ls-files -z '*.cpp' '*.h' | xargs -0 $(FORMAT) --dry-run --Werror

test: format-check test-plain test-asan

# Each fuzz target for FUZZ_SECONDS on FUZZ_JOBS processes, seeded with the
# committed seeds, the simulator's logs and the shared corpus when present;
# the corpus grows in $(FUZZ)/corpus/ from one run to the next, and failing
# inputs land in $(FUZZ)/artifacts/.  FUZZ_TARGETS="pipeline reader" runs some.
fuzz: build build-fuzz
	rm -rf $(FUZZ)/generated
	$(BUILD)/tests/sim/gen_logs $(FUZZ)/generated 200 1 >/dev/null
	$(BUILD)/tests/sim/gen_logs $(FUZZ)/generated 100 1001 --realistic >/dev/null
	$(BUILD)/tests/sim/gen_logs $(FUZZ)/generated 10 2001 --realistic --pretty >/dev/null
	sh fuzz/campaign.sh $(FUZZ) $(FUZZ_SECONDS) $(FUZZ_JOBS) $(FUZZ)/generated $(FUZZ_TARGETS)

bench: deps
	$(CONFIGURE) -B build-bench -DCMAKE_BUILD_TYPE=Release -DKIROKU_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	build-bench/bench/kiroku_bench
	build-bench/bench/kiroku_read_bench
	build-bench/bench/kiroku_format_bench
	build-bench/bench/kiroku_tenhou6_bench

clean:
	rm -rf $(BUILD) $(ASAN) $(FUZZ) build-bench
