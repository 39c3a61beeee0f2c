# Front door: `make demo` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian packages the build, the tests and CI need.
PACKAGES = build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libqt6test6 \
           qt6-qpa-plugins libgtest-dev libgmock-dev fonts-dejavu-core \
           g++-mingw-w64-x86-64 clang libclang-rt-14-dev libudev-dev pkg-config \
           scdoc dpkg-dev file lintian desktop-file-utils bash-completion \
           libcli11-dev nlohmann-json3-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test package demo bench clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

# The Debian package of what `make build` built: $(BUILD)/fernwell_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/fernwell_*.deb

demo: build
	@scripts/demo.sh $(BUILD)

bench: build
	@if [ -x scripts/bench.sh ]; then scripts/bench.sh $(BUILD); else echo "no benchmarks yet"; fi

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-mingw
