# The two everyday commands: `make test` and `make demo`. Each installs the
# Debian packages it needs first, then configures and builds with CMake.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build abi-check test test-plain test-install test-pam test-radius test-sanitize test-thread test-windows test-wine bench bench-tls-profile bench-instructions package test-package demo lint clean

all: build

deps:
	@./tools/install-deps.sh

build: deps
	cmake -S . -B build $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

# The whole suite and the ABI check, then a staged install with hosts built
# against it, then the PAM module through a real sshd and through radiusd,
# then again under AddressSanitizer and UBSan, then the concurrency tests
# under ThreadSanitizer, then the Windows DLL under Wine.
test: test-plain abi-check test-install test-pam test-radius test-sanitize test-thread test-windows

# Fails on an incompatible change to the ABI of release 1.0.0 or 1.1.0 (abidiff).
abi-check: build
	./tools/abi-check.sh build/libzephyrcoilvault.so

# ctest in a build folder, then the skipped tests with their reasons
# (tools/list-skips.sh); the status is ctest's. In CI (CI=true) a test whose
# tool is missing fails instead of skipping.
define run-ctest
cd $(1) && status=0; $(2) ctest --output-on-failure -j $(JOBS) $(3) || status=$$?; \
  $(CURDIR)/tools/list-skips.sh . || true; exit $$status
endef

# The Wine end-to-end test (label windows) belongs to test-windows.
test-plain: build
	$(call run-ctest,build,,-LE windows)

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
	$(call run-ctest,build-asan,ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1,)

test-thread: deps
	cmake -S . -B build-tsan -DZCV_TSAN=ON $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target concurrency_tests zcv_soak
	$(call run-ctest,build-tsan,TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tests/tsan.supp",-L 'concurrency|soak')

# The PAM module end to end: a real sshd on a loopback port, a throw-away
# user and a zcvsim (root; it says so and skips where it cannot run, and it
# leaves the machine as it found it): tools/test-pam.sh.
test-pam: build
	timeout 600 ./tools/test-pam.sh build

# Token-card logins over RADIUS: radiusd from a configuration folder of its
# own on a loopback port, with the shipped site, module instance and PAM
# service (radius/), a zcvsim and radclient/radtest (root; it skips with a
# reason where it cannot run, and leaves the machine as it found it):
# tools/test-radius.sh.
test-radius: build
	timeout 600 ./tools/test-radius.sh build

# Speed of a whole call against a loopback server beside a raw-socket
# client (CPU ratio at 1 and 2 threads), and of the parsers; then TLS calls
# beside minimal OpenSSL and GnuTLS clients (about two minutes); then CPU per
# auth call through the Java and Python bindings beside the C call.
bench: build
	./build/bench/zcv_bench
	./build/bench/zcv_tls_bench
	./build/bench/zcv_binding_bench

# Round trips of a kept TLS 1.3 call and of one on a new connection, over a
# veth pair between two network namespaces with 10 ms of netem delay; as
# root, skipped with a line where namespaces or netem are missing.
.PHONY: bench-rtt
bench-rtt: build
	timeout 300 ./bench/rtt.sh build/tools/zcvctl/zcvctl build/bench/zcv_delay_link

# perf profiles of resumed TLS 1.3 calls: OpenSSL, GnuTLS and the library.
bench-tls-profile: build
	./bench/profile_tls.sh build/bench/zcv_tls_bench $(KIND)

# User-space instructions per TokenAuth call, counted by callgrind; stable
# where times are not. CLIENT=raw counts the raw-socket client instead,
# CLIENT=c the C interface's zcv_auth, CLIENT=name TokenAuth to a server
# named "localhost" (its lookup included).
bench-instructions: build
	./bench/count_instructions.sh build/bench/zcv_call_count $(CLIENT)

# The Windows DLLs, cross-built for 32-bit (build-win/x86) and 64-bit
# (build-win/x64) Windows, their export tables checked (objdump, no Wine
# needed) and both packed into one zip. Then each stage under Wine where
# this machine runs it, in one prefix per stage: the DLL's tests, then a
# Linux test that drives the DLL end to end through host programs. 64-bit
# Wine (wine64) runs on every 64-bit kernel, so its stage runs everywhere; in
# CI (CI=true) a missing wine64 fails the run. The 32-bit stage needs the
# kernel's 32-bit support and 32-bit Wine; without them it says it skipped.
WIN_X86 := $(CURDIR)/build-win/x86
WIN_X64 := $(CURDIR)/build-win/x64

test-windows: deps
	cmake -S . -B $(WIN_X86) --toolchain cmake/mingw-w64-i686.cmake $(CMAKE_FLAGS)
	cmake --build $(WIN_X86) -j $(JOBS)
	cmake -S . -B $(WIN_X64) --toolchain cmake/mingw-w64-x86_64.cmake \
	  -DZCV_WINDOWS_X86_DIST=$(WIN_X86)/dist $(CMAKE_FLAGS)
	cmake --build $(WIN_X64) -j $(JOBS)
	cd $(WIN_X86) && ctest --output-on-failure -R '^windows_exports_test$$'
	cd $(WIN_X64) && ctest --output-on-failure -R '^windows_exports_test$$'
	@stages=""; \
	rm -rf $(WIN_X64)/wineprefix $(WIN_X86)/wineprefix; \
	if reason=$$(tests/windows/wine-probe.sh 64 $(WIN_X64)/wineprefix); then stages="x64"; \
	  echo "test-windows: x64 Wine stage runs (a 64-bit probe ran under Wine)"; \
	elif [ "$${CI:-}" = true ]; then \
	  echo "test-windows: FAILED: the x64 Wine stage cannot run: $$reason." \
	       "Install wine and wine64 (apt-get install wine wine64; tools/install-deps.sh does)"; \
	  exit 1; \
	else echo "test-windows: x64 Wine stage SKIPPED: $$reason"; fi; \
	if reason=$$(tests/windows/wine-probe.sh 32 $(WIN_X86)/wineprefix); then stages="$$stages x86"; \
	  echo "test-windows: x86 Wine stage runs (a 32-bit probe ran under Wine)"; \
	else echo "test-windows: x86 Wine stage SKIPPED: $$reason"; fi; \
	if [ -n "$$stages" ]; then $(MAKE) --no-print-directory test-wine STAGES="$$stages"; fi

# The Wine stages named by STAGES (x64, x86), in the prefixes the probes made.
STAGES ?= x64
test-wine:
	@status=0; for stage in $(STAGES); do \
	  dir=$(CURDIR)/build-win/$$stage; \
	  echo "test-wine: the $$stage DLL's tests under Wine"; \
	  (cd $$dir && WINEPREFIX=$$dir/wineprefix ctest --output-on-failure -j $(JOBS) \
	    -E '^windows_exports_test$$') || status=1; \
	  WINEPREFIX=$$dir/wineprefix wineserver -k 2>/dev/null || true; \
	done; exit $$status
	cmake -S . -B build $(CMAKE_FLAGS) \
	  -DZCV_WINDOWS_BUILD_DIR=$(if $(filter x86,$(STAGES)),$(WIN_X86)) \
	  -DZCV_WINDOWS64_BUILD_DIR=$(if $(filter x64,$(STAGES)),$(WIN_X64))
	cmake --build build -j $(JOBS) --target windows_e2e_test
	@echo "test-wine: the end-to-end tests of $(STAGES) under Wine"
	$(call run-ctest,build,,-L windows)

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
