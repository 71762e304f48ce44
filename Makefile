# The two commands a fresh Debian machine needs (as root):
#   make demo   installs what is missing, builds, converts the bundled sample game
#   make test   installs what is missing, builds, runs every test (plain and sanitizer builds)

PYTHON   ?= /usr/bin/python3
JOBS     ?= $(shell nproc)
BUILD    ?= build
ASAN     ?= build-asan
SAMPLE   ?= tests/data/realistic_game.json

WERROR   ?= OFF

CONFIGURE = cmake -S . -DPython3_EXECUTABLE=$(PYTHON) -DKIROKU_WERROR=$(WERROR)

.PHONY: all deps build build-asan demo test test-plain test-asan bench clean

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

# The sample game's mjai events from the command-line tool, then the same
# conversion from Python.
demo: build
	$(BUILD)/src/cli/kiroku $(SAMPLE)
	PYTHONPATH=$(BUILD)/src/lib $(PYTHON) -c 'import sys, _kiroku; events = _kiroku.tenhou_file_to_mjai(sys.argv[1]); print(len(events), "events from Python, the first:", events[0])' $(SAMPLE)

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

test: test-plain test-asan

# The builds that the tests run on treat every warning as an error.
test test-plain test-asan: WERROR = ON

bench: deps
	$(CONFIGURE) -B build-bench -DCMAKE_BUILD_TYPE=Release -DKIROKU_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	build-bench/bench/kiroku_bench
	build-bench/bench/kiroku_read_bench

clean:
	rm -rf $(BUILD) $(ASAN) build-bench
