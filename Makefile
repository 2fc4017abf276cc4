# Front door: make build | make test | make demo | make bench
# Each target first installs the Debian packages that are missing.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
APT_PACKAGES := cmake g++ make libgtest-dev libbenchmark-dev octave octave-dev liblinear-dev liblinear-tools gnuplot-nox fonts-freefont-otf
OCTAVE := octave-cli --no-history --no-init-file --quiet --no-window-system

.PHONY: deps build test test-asan demo bench clean

deps:
	@missing=""; \
	for p in $(APT_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:$$missing"; \
	  SUDO=""; [ "$$(id -u)" = 0 ] || SUDO=sudo; \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

# All tests: the stand-in and Octave tests of the release build, then the
# stand-in tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	$(MAKE) test-asan

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEEGMEX_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS)

demo: build
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/mex'); addpath('$(CURDIR)/demo'); run_demos"

# The C++ benchmarks (ratios against the literal procedures), then the table
# against the Octave baselines on OpenBLAS, which a user who cares about
# speed has installed.
bench: build
	@$(MAKE) --no-print-directory deps APT_PACKAGES=libopenblas0-pthread
	@for b in $(BUILD)/bench/*; do echo "== $$b"; $$b || exit 1; done
	$(OCTAVE) --eval "addpath('$(CURDIR)/$(BUILD)/mex'); addpath('$(CURDIR)/bench'); octave_table"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
