# Front door: make build | make test | make demo | make bench
#             make package (the Octave package) | make test-windows
# Each target first installs the Debian packages it needs that are missing:
# the build's list, the package's (build tools and Octave) or the Windows
# cross-build's.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
# make fuzz: calls in all, shared out among the seeds; the limit of one call
# in seconds; FUZZ_WILD=1 also gives acq_fetch/acq_stop scalars that name no
# live session (random addresses, stopped sessions), which they must refuse.
FUZZ_CALLS   ?= 20000
FUZZ_SEEDS   ?= 1 2 3 4 5 6 7 8 9 10
FUZZ_TIMEOUT ?= 20
FUZZ_WILD    ?= 1
# make soak: seconds of fetching at 610 channels x 16384 Hz (then as many of
# reading a session of acq_open, with a stall), then start/stop and
# open/read/close cycles.
SOAK_SECONDS ?= 600
SOAK_CYCLES  ?= 1000
BUILD_PACKAGES   := cmake g++ make libgtest-dev libbenchmark-dev octave octave-dev liblinear-dev liblinear-tools \
                    gnuplot-nox fonts-freefont-otf
PACKAGE_PACKAGES := make g++ octave octave-dev liblinear-dev
WINDOWS_PACKAGES := cmake make g++-mingw-w64-x86-64-posix wine64 googletest
# The field's readers that the tests open our BDF files with (tests only, not
# dependencies of the toolbox).
TEST_PACKAGES    := python3-mne octave-biosig libedf-dev
APT_PACKAGES     ?= $(sort $(BUILD_PACKAGES) $(PACKAGE_PACKAGES) $(WINDOWS_PACKAGES) $(TEST_PACKAGES))
OCTAVE := octave-cli --no-history --no-init-file --quiet --no-window-system

.PHONY: deps build-deps test-deps build build-lists test asan-build test-asan fuzz soak test-package test-windows demo bench package clean

# Installs the Debian packages of the list $(1) that are missing.
apt_install = missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:$$missing"; \
	  SUDO=""; [ "$$(id -u)" = 0 ] || SUDO=sudo; \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

# Every list at once (make deps APT_PACKAGES="..." for others).
deps:
	@$(call apt_install,$(APT_PACKAGES))

build-deps:
	@$(call apt_install,$(BUILD_PACKAGES))

build: build-deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

# The build lists that the package and eegmex_build.m read, refreshed from
# the CMakeLists.txt files (the build_lists_current test says when).
build-lists: build-deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cp $(BUILD)/eegmex_sources.mk eegmex_sources.mk

test-deps:
	@$(call apt_install,$(TEST_PACKAGES))

# All tests: the stand-in and Octave tests of the release build, then the
# stand-in tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# a 30-second soak and a 2,000-call fuzz run.  The readers' packages come
# first, so that the build finds EDFlib.
test: test-deps
	$(MAKE) --no-print-directory build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	$(MAKE) test-asan
	$(MAKE) test-package
	$(MAKE) test-windows
	$(MAKE) soak SOAK_SECONDS=30 SOAK_CYCLES=50
	$(MAKE) fuzz FUZZ_CALLS=2000 FUZZ_SEEDS=1 FUZZ_TIMEOUT=15

# The sanitized tree: stand-in modules and MEX files (the latter load only
# into an octave-cli with the sanitizer runtimes preloaded).
asan-build: build-deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEEGMEX_SANITIZE=ON -DEEGMEX_SANITIZE_MEX=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The stand-in suites, then the Octave scripts with the sanitized MEX files
# in the real host (the in-host build test compiles without the sanitizers,
# so it runs only in the release tree).
test-asan: asan-build
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS) -LE octave
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS) -L octave -E octave_eegmex_build

# Random-argument fuzzing of every deliverable through octave-cli, with the
# sanitized MEX files (tests/fuzz/run_fuzz.sh).
fuzz: asan-build
	tests/fuzz/run_fuzz.sh $(ASAN_BUILD) $(FUZZ_CALLS) "$(FUZZ_SEEDS)" $(FUZZ_TIMEOUT) $(FUZZ_WILD)

# A long acquisition against the simulated amplifier: no sweep lost, fetch
# latency, and start/stop cycles that leave nothing behind (tests/soak/soak.m).
soak: build
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/mex', '$(CURDIR)/tests/soak'); soak($(SOAK_SECONDS), $(SOAK_CYCLES))"

# The Octave package eegmex-<version>.tar.gz, for pkg install (which needs
# the build tools, Octave and liblinear, nothing else).
package:
	@$(call apt_install,$(PACKAGE_PACKAGES))
	package/make_package.sh . $(BUILD)

# The package as a lab uses it, in temporary homes: the README's private
# install, used (demos included), beside another user's shared install, then
# uninstalled; the machine's package lists are only read.  The shared
# install's compiler commands are compared with the CMake build's.
test-package: build package
	package/test_package.sh $(BUILD)/eegmex-$$(sed -n 's/^EEGMEX_VERSION := //p' eegmex_sources.mk).tar.gz $(BUILD)

# 64-bit Windows: the cores, the stand-in host and its modules, the simulated
# driver (ampsim.dll) and the GoogleTest suites cross-built with mingw-w64
# (posix threads) and run under wine64, in a wine prefix of their own.
# linmodel is left out: Debian has no Windows build of liblinear.
WIN_BUILD      ?= build-windows
WIN_SUBSYSTEMS := lowrank;bdf;acquisition;svkernel;lattice;packed
WINE           := /usr/lib/wine/wine64
MINGW_RUNTIME   = $(shell x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll | xargs dirname);$(shell x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll | xargs dirname)
WINE_ENV        = WINEPREFIX=$(CURDIR)/$(WIN_BUILD)/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
                  WINEPATH="$(CURDIR)/$(WIN_BUILD)/standin;$(CURDIR)/$(WIN_BUILD)/mex;$(MINGW_RUNTIME)"

test-windows:
	@$(call apt_install,$(WINDOWS_PACKAGES))
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DEEGMEX_OCTAVE=OFF -DEEGMEX_BENCH=OFF -DEEGMEX_GTEST_SOURCE=/usr/src/googletest -DEEGMEX_ONLY="$(WIN_SUBSYSTEMS)"
	cmake --build $(WIN_BUILD) -j$(JOBS)
	$(WINE_ENV) $(WINE) wineboot --init >/dev/null 2>&1
	cd $(WIN_BUILD) && $(WINE_ENV) ctest --output-on-failure -j$(JOBS)

demo: build
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/mex'); addpath('$(CURDIR)/demo'); run_demos"

# The C++ benchmarks (ratios against the literal procedures), then the table
# against the Octave baselines on OpenBLAS, which a user who cares about
# speed has installed.
bench: build
	@$(MAKE) --no-print-directory deps APT_PACKAGES=libopenblas0-pthread
	@for b in $(BUILD)/bench/*; do echo "== $$b"; $$b || exit 1; done
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/mex'); addpath('$(CURDIR)/bench'); octave_table"
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/mex'); addpath('$(CURDIR)/bench'); bdf_read_rate('$(CURDIR)/$(BUILD)')"
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/mex'); addpath('$(CURDIR)/bench'); acq_engine"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD)
