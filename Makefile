# The two commands of the README, and a few more. Every target installs what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build demo test test-fast sanitize tsan bench fuzz lint package clean

all: build

deps:
	@sh scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@sh scripts/demo.sh $(BUILD)

# Everything: the plain build's whole suite, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and the linters.
test: lint test-fast sanitize tsan

test-fast: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

sanitize: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVIS_SANITIZE=address,undefined \
		-DKORVIS_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr > /dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 900 -LE package

# Tests that start worker threads.
TSAN_TESTS ?= devices_tests sim_tests image_tests voice_tests soak_tests
TSAN_LABELS ?= devices|sim|image|voice|soak
tsan: deps
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVIS_SANITIZE=thread \
		-DKORVIS_GUI=OFF -DKORVIS_BENCH=OFF > /dev/null
	@cmake --build build-tsan -j $(JOBS) --target $(TSAN_TESTS)
	@cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
		ctest --output-on-failure -j $(JOBS) --timeout 900 -L '$(TSAN_LABELS)'

lint: configure
	@sh scripts/lint.sh $(BUILD)

fuzz: deps
	@sh scripts/fuzz.sh build-fuzz

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
