# The two everyday commands: `make test` and `make demo`. Each installs the
# Debian packages it needs first, then configures and builds with CMake.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build test test-plain test-sanitize test-thread test-windows bench demo clean

all: build

deps:
	@./tools/install-deps.sh

build: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# The whole suite, then again under AddressSanitizer and UBSan, then the
# concurrency tests under ThreadSanitizer, then the Windows DLL under Wine.
test: test-plain test-sanitize test-thread test-windows

# The Wine end-to-end test (label windows) belongs to test-windows.
test-plain: build
	cd build && ctest --output-on-failure -j $(JOBS) -LE windows

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

# The 32-bit Windows DLL, cross-built: its tests run under Wine in a fresh
# prefix, then a Linux test drives the DLL end to end through a host
# program under Wine.
WINE_PREFIX := $(CURDIR)/build-win/wineprefix

test-windows: deps
	cmake -S . -B build-win --toolchain cmake/mingw-w64-i686.cmake $(CMAKE_FLAGS)
	cmake --build build-win -j $(JOBS)
	rm -rf $(WINE_PREFIX) $(WINE_PREFIX).lock
	cd build-win && status=0; WINEPREFIX=$(WINE_PREFIX) ctest --output-on-failure -j $(JOBS) || status=$$?; \
	  WINEPREFIX=$(WINE_PREFIX) wineserver -k 2>/dev/null || true; exit $$status
	cmake -S . -B build -DZCV_WINDOWS_BUILD_DIR=$(CURDIR)/build-win $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target windows_e2e_test
	cd build && ctest --output-on-failure -L windows

demo: build
	@./tools/demo.sh build

clean:
	rm -rf build build-asan build-tsan build-win

# A long soak: 8 host threads against misbehaving loopback servers.
SOAK_SECONDS ?= 600
.PHONY: soak
soak: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target zcv_soak
	./build/tests/soak/zcv_soak $(SOAK_SECONDS)
