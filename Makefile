# The two everyday commands: `make test` and `make demo`. Each installs the
# Debian packages it needs first, then configures and builds with CMake.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build test test-plain test-sanitize test-thread bench demo clean

all: build

deps:
	@./tools/install-deps.sh

build: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# The whole suite, then again under AddressSanitizer and UBSan, then the
# concurrency tests under ThreadSanitizer.
test: test-plain test-sanitize test-thread

test-plain: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B build-asan -DZCV_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

test-thread: deps
	cmake -S . -B build-tsan -DZCV_TSAN=ON $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target concurrency_tests
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -L concurrency -j $(JOBS)

# Speed of a whole call against a loopback server, and of the parsers.
bench: build
	./build/bench/zcv_bench

demo: build
	@./tools/demo.sh build

clean:
	rm -rf build build-asan build-tsan
