# The two everyday commands: `make test` and `make demo`. Each installs the
# Debian packages it needs first, then configures and builds with CMake.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build abi-check test test-plain test-install test-pam test-sanitize test-thread test-windows test-wine bench bench-tls-profile bench-instructions package test-package demo lint clean

all: build

deps:
	@./tools/install-deps.sh

build: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# The whole suite and the ABI check, then a staged install with hosts built
# against it, then the PAM module through a real sshd, then again under
# AddressSanitizer and UBSan, then the concurrency tests under
# ThreadSanitizer, then the Windows DLL under Wine.
test: test-plain abi-check test-install test-pam test-sanitize test-thread test-windows

# Fails on an incompatible change to the ABI of release 1.0.0 (abidiff).
abi-check: build
	./tools/abi-check.sh build/libzephyrcoilvault.so

# The Wine end-to-end test (label windows) belongs to test-windows.
test-plain: build
	cd build && ctest --output-on-failure -j $(JOBS) -LE windows

# cmake --install into a staging folder (DESTDIR), then the example hosts
# built against that tree alone, and run.
STAGE := $(CURDIR)/build/stage

test-install: build
	rm -rf $(STAGE)
	DESTDIR=$(STAGE) cmake --install build >/dev/null
	./examples/build-hosts.sh build/examples $(STAGE)

test-sanitize: deps
	cmake -S . -B build-asan -DZCV_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

test-thread: deps
	cmake -S . -B build-tsan -DZCV_TSAN=ON $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target concurrency_tests zcv_soak
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp" ctest --output-on-failure -L 'concurrency|soak' -j $(JOBS)

# The PAM module end to end: a real sshd on a loopback port, a throw-away
# user and a zcvsim (root; it says so and skips where it cannot run, and it
# leaves the machine as it found it): tools/test-pam.sh.
test-pam: build
	timeout 600 ./tools/test-pam.sh build

# Speed of a whole call against a loopback server beside a raw-socket
# client (CPU ratio at 1 and 2 threads), and of the parsers; then TLS calls
# beside minimal OpenSSL and GnuTLS clients (about two minutes); then CPU per
# auth call through the Java and Python bindings beside the C call.
bench: build
	./build/bench/zcv_bench
	./build/bench/zcv_tls_bench
	./build/bench/zcv_binding_bench

# perf profiles of resumed TLS 1.3 calls: OpenSSL, GnuTLS and the library.
bench-tls-profile: build
	./bench/profile_tls.sh build/bench/zcv_tls_bench $(KIND)

# User-space instructions per TokenAuth call, counted by callgrind; stable
# where times are not. CLIENT=raw counts the raw-socket client instead,
# CLIENT=c the C interface's zcv_auth, CLIENT=name TokenAuth to a server
# named "localhost" (its lookup included).
bench-instructions: build
	./bench/count_instructions.sh build/bench/zcv_call_count $(CLIENT)

# The 32-bit Windows DLL, cross-built, and its export table checked (no Wine
# needed). Where this machine runs 32-bit programs, the DLL's tests then run
# under Wine in a fresh prefix and a Linux test drives the DLL end to end
# through a host program under Wine; elsewhere that stage is skipped.
WINE_PREFIX := $(CURDIR)/build-win/wineprefix

test-windows: deps
	cmake -S . -B build-win --toolchain cmake/mingw-w64-i686.cmake $(CMAKE_FLAGS)
	cmake --build build-win -j $(JOBS)
	cd build-win && ctest --output-on-failure -R '^windows_exports_test$$'
	@if reason=$$(tests/windows/wine-probe.sh); then $(MAKE) --no-print-directory test-wine; \
	  else echo "test-windows: Wine stage SKIPPED: $$reason"; fi

test-wine:
	rm -rf $(WINE_PREFIX) $(WINE_PREFIX).lock
	cd build-win && status=0; WINEPREFIX=$(WINE_PREFIX) ctest --output-on-failure -j $(JOBS) \
	  -E '^windows_exports_test$$' || status=$$?; \
	  WINEPREFIX=$(WINE_PREFIX) wineserver -k 2>/dev/null || true; exit $$status
	cmake -S . -B build -DZCV_WINDOWS_BUILD_DIR=$(CURDIR)/build-win $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target windows_e2e_test
	cd build && ctest --output-on-failure -L windows

# Debian packages, built from a copy of the tree in build-deb/src so that the
# work tree stays clean; the .debs land in build-deb/. The suite is not run
# again here (make test runs it), nor are debug-symbol packages made.
DEB_DIR := $(CURDIR)/build-deb

package: deps
	rm -rf $(DEB_DIR)
	mkdir -p $(DEB_DIR)/src
	tar -c --exclude='./build*' --exclude=./.git --exclude=./.cache . | tar -x -C $(DEB_DIR)/src
	cd $(DEB_DIR)/src && DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=$(JOBS)" \
	  DEB_BUILD_PROFILES=nocheck dpkg-buildpackage -b -us -uc
	@ls $(DEB_DIR)/*.deb

# The packages installed, used and purged on this machine (root; it leaves
# the machine as it found it, also when a step fails): tools/test-package.sh.
test-package: package
	timeout 1200 ./tools/test-package.sh $(DEB_DIR)

# Only what the demonstration runs: zcvctl and the simulator.
DEMO_TARGETS := zcvctl zcvsim

demo: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target $(DEMO_TARGETS)
	@./tools/demo.sh build

# Fails when a C++ file differs from .clang-format, naming each such file.
lint: deps
	@./tools/lint.sh

clean:
	rm -rf build build-asan build-tsan build-win build-deb

# A long soak: 8 host threads against misbehaving loopback servers.
SOAK_SECONDS ?= 600
.PHONY: soak
soak: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target zcv_soak
	./build/tests/soak/zcv_soak $(SOAK_SECONDS)
