# Front door: `make demo` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian packages the build, the tests and CI need.
PACKAGES = build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libqt6test6 \
           qt6-qpa-plugins libgtest-dev libgmock-dev fonts-dejavu-core \
           g++-mingw-w64-x86-64 clang libclang-rt-14-dev libudev-dev pkg-config \
           scdoc dpkg-dev file lintian desktop-file-utils bash-completion \
           libcli11-dev nlohmann-json3-dev poppler-utils

# What `make windows` needs: the cross compiler (posix threads), GoogleTest's sources, the
# header-only libraries, the host's Qt (its moc, rcc and uic, and its version decides the
# source built for Windows), dpkg-source to unpack that source, Wine to run the results (with
# Tahoma for the dialog font, Xvfb and a window manager for the window, xdotool, xdpyinfo and
# ImageMagick's import to drive it and take its pictures) and NSIS.
WIN_PACKAGES = cmake ninja-build g++-mingw-w64-x86-64-posix googletest libcli11-dev \
               nlohmann-json3-dev qt6-base-dev qt6-base-dev-tools dpkg-dev wine wine64 \
               fonts-wine xvfb xauth openbox x11-utils xdotool imagemagick nsis
WIN_BUILD ?= build-win
WIN_CORE_BUILD ?= build-win-core

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps windows-deps configure build test tsan package demo bench windows windows-core clean

all: build

deps windows-deps:
	@missing=$$(for p in $(if $(filter windows-deps,$@),$(WIN_PACKAGES),$(PACKAGES)); do \
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

# As root (CI), the cases that only an ordinary user can meet run once more as nobody.
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300
	scripts/test-unprivileged.sh $(BUILD)

# The Qt-free core and its tests (serial, store, protocol, rules, link: the link's worker
# thread and what talks to it) under ThreadSanitizer, in build-tsan; .ci/run does the same.
tsan: deps
	scripts/tsan.sh build-tsan

# The Debian package of what `make build` built: $(BUILD)/fernwell_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/fernwell_*.deb

demo: build
	@scripts/demo.sh $(BUILD)

bench: build
	@if [ -x scripts/bench.sh ]; then scripts/bench.sh $(BUILD); else echo "no benchmarks yet"; fi

# The window (fernwell.exe), fernwell-cli.exe, every test and the installer as Windows programs
# ($(WIN_BUILD)/bin), built with mingw-w64 against a Qt for Windows that scripts/qt-windows.sh
# builds once per machine from Debian's qt6-base source (into the user's cache folder; about
# 20 minutes the first time). Warnings fail the build, so the Windows-only files never gather
# any unseen.
windows: windows-deps
	@scripts/qt-windows.sh
	@qt=$$(scripts/qt-windows.sh --print-prefix); \
	if [ "$$(cat $(WIN_BUILD)/qt-prefix 2>/dev/null)" != "$$qt" ]; then rm -rf $(WIN_BUILD); fi; \
	[ -f $(WIN_BUILD)/build.ninja ] || { cmake -S . -B $(WIN_BUILD) -G Ninja \
	    -DCMAKE_TOOLCHAIN_FILE=$$qt/lib/cmake/Qt6/qt.toolchain.cmake \
	    -DQT_CHAINLOAD_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON && \
	  echo "$$qt" >$(WIN_BUILD)/qt-prefix; }
	cmake --build $(WIN_BUILD) -j $(JOBS)

# Only the Qt-free core, fernwell-cli.exe and the core's tests ($(WIN_CORE_BUILD)/bin): no Qt
# to build first. scripts/check-windows.sh runs them under Wine.
windows-core: windows-deps
	@[ -f $(WIN_CORE_BUILD)/build.ninja ] || cmake -S . -B $(WIN_CORE_BUILD) -G Ninja \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DFERNWELL_CORE_ONLY=ON \
	    -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
	cmake --build $(WIN_CORE_BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD) $(WIN_BUILD) $(WIN_CORE_BUILD) build-asan build-tsan build-fuzz build-mingw
