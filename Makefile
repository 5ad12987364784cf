# Quadrelink — the two commands of the README (`make demo`, `make test`) and
# the steps they stand on. Every target works from a fresh clone on Debian 12 or 13.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

# Debian packages the build, the tests and the demo need.
PACKAGES := build-essential cmake clang-format qt6-base-dev qt6-serialport-dev \
            libgl-dev libx11-dev fonts-liberation2 xvfb xauth xdotool x11-apps
# ...and python3, which draws the program's icon and logo at build time.
PACKAGES += python3
# ...and the Debian package with its checks: dpkg-buildflags (the hardening
# flags), dpkg-shlibdeps and file (CPack's dependency scan), the validators and
# lintian.
PACKAGES += dpkg-dev file desktop-file-utils appstream lintian
# ...and what the screen-reader test hears the window through: a session bus,
# the AT-SPI bus, pyatspi, and the screen reader Orca speaking through
# speech-dispatcher with the espeak-ng voice (libao's null device stands in
# for a sound card).
PACKAGES += dbus at-spi2-core python3-pyatspi orca speech-dispatcher \
            speech-dispatcher-espeak-ng espeak-ng libao4
# ...and the virtual machine of the driver test: QEMU, and for the guest's kernel
# (Debian's own, fetched with apt-get download into the build tree, never
# installed) busybox for its initramfs, kmod to index its drivers and xz to
# unpack its image.
PACKAGES += qemu-system-x86 busybox-static kmod xz-utils
# ...and what the port-lock test plants and watches with: python3 sends the
# signal patterns and holds the device, strace sees every open of the port and
# pgrep finds the program under it.
PACKAGES += python3 strace procps

# What `make bench` needs besides PACKAGES: perf places the probe that times the
# reply delay (without it that one figure is left out), python3 runs the driver.
BENCH_PACKAGES := linux-perf python3

# What `make windows` needs besides PACKAGES: debootstrap for the Debian 13 root
# that Qt for Windows and the program are built in, MinGW-w64 with POSIX
# threads for the test's own small Windows programs, Wine to run them and the
# program in its test,
# Tesseract (with English and Russian) to read its window there as a person
# would, and xprop for its icon. Not part of `make deps`: a Linux machine pays
# for none of it.
WINDOWS_PACKAGES := debootstrap g++-mingw-w64-x86-64-posix wine wine64 tesseract-ocr \
                    tesseract-ocr-rus x11-utils

SHELL := /bin/bash
SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: all deps bench-deps build run demo test check fresh-check test-sanitize fuzz bench format clean \
        windows

all: build

# Installs those of the Debian packages given that are missing (apt-get update first).
define install-missing
	@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

bench-deps: deps
	$(call install-missing,$(BENCH_PACKAGES))

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The window for a real sensor: port 1 is /dev/ttyS0, 33 is /dev/ttyUSB0, 65 is /dev/ttyACM0.
run: build
	$(BUILD_DIR)/programs/quadrelink/quadrelink

# The real window reading a simulated sensor on a pseudo-terminal: no hardware needed.
demo: build
	$(BUILD_DIR)/programs/quadrelink-demo/quadrelink-demo

# CTEST_ARGS: more ctest options, e.g. CTEST_ARGS='-R tst_vm'.
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The fast tier, for every change while working: the unit, window and
# integration tests (no X server, screen reader, virtual machine or Wine).
# `make test` is the whole suite.
check: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) -L '^(unit|gui|integration)$$' $(CTEST_ARGS)

# The Windows program, cross-built: build-windows/quadrelink-<version>-windows-x64.zip.
# Qt for Windows (6.8, Debian 13's) is built first, once per machine, in a
# Debian 13 root made with debootstrap, from Debian's qt6-base source and the
# Qt SerialPort source tarball given (the mirror does not serve it):
# packaging/windows/build-qt keeps the root with it in /var/cache/quadrelink.
# The program is built in that root too (packaging/windows/in-root), with its
# MinGW and its host Qt; this machine's Qt stays as it is. A Linux build tree
# configured before is configured again, so that its `make test` runs the
# program under Wine.
#   make windows QT_SERIALPORT_SRC=PATH/qtserialport-6.8.0-src.tar.xz
WINDOWS_DIR ?= build-windows
QT_SERIALPORT_SRC ?=
windows: deps
	$(call install-missing,$(WINDOWS_PACKAGES))
	@[ -f "$(QT_SERIALPORT_SRC)" ] || { echo "make windows QT_SERIALPORT_SRC=PATH: the Qt SerialPort" \
	  "6.8 source tarball (found: '$(QT_SERIALPORT_SRC)')"; exit 1; }
	set -e; root=$$($(SUDO) packaging/windows/build-qt "$(QT_SERIALPORT_SRC)"); \
	in_root() { $(SUDO) packaging/windows/in-root "$$root" "$$@"; }; \
	[ "$$(cat $(WINDOWS_DIR)/.qt-root 2>/dev/null)" = "$$root" ] || \
	  { rm -rf $(WINDOWS_DIR); in_root cmake -S . -B $(WINDOWS_DIR) -DCMAKE_BUILD_TYPE=Release \
	      -DCMAKE_TOOLCHAIN_FILE=/opt/qt6-windows/lib/cmake/Qt6/qt.toolchain.cmake; \
	    echo "$$root" >$(WINDOWS_DIR)/.qt-root; }; \
	in_root cmake --build $(WINDOWS_DIR) -j $(JOBS) --target windows-zip
	@if [ -f $(BUILD_DIR)/CMakeCache.txt ]; then cmake $(BUILD_DIR) >/dev/null; fi

# `make test` and `make demo` once more in a minimal root of Debian 12
# (SUITE=bookworm, the default) or 13 (SUITE=trixie) made with debootstrap from
# this machine's mirror, in a chroot (tools/fresh-check; it installs debootstrap
# if missing). Prints "skipped" where the mirror cannot be reached.
SUITE ?= bookworm
fresh-check:
	$(SUDO) tools/fresh-check $(SUITE)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZE_DIR ?= build-sanitize
test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUADRELINK_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# libFuzzer targets (clang), each run for FUZZ_SECONDS; a crash fails.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_extractreply fuzz_linesettings fuzz_lockfile fuzz_portnumber fuzz_sensormodel
fuzz: deps
	@command -v clang++ >/dev/null || { $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends clang libclang-rt-dev; }
	CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUADRELINK_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)
	@for target in $(FUZZ_TARGETS); do \
	  echo "== $$target for $(FUZZ_SECONDS) s"; \
	  mkdir -p $(FUZZ_DIR)/corpus/$$target; \
	  $(FUZZ_DIR)/tests/fuzz/$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    $(FUZZ_DIR)/corpus/$$target 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' ; \
	  test $${PIPESTATUS[0]} -eq 0 || exit 1; \
	done

# The Debian package for operators' machines, written to $(BUILD_DIR).
.PHONY: package
package: build
	cd $(BUILD_DIR) && cpack -G DEB

# Start-up, memory, idle and polling costs against a bare Qt program of the same
# size, on a private Xvfb server; prints a table (about 18 minutes with the
# defaults). Builds only what it runs. Shorter: BENCH_ROUNDS=2 BENCH_IDLE_S=5
# BENCH_POLL_S=10 BENCH_REPLY_S=5 BENCH_HANGUP_S=3 make bench
bench: bench-deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target quadrelink-demo quadrelink-sim \
	    quadrelink-bench-floor window-facts launchmapped
	python3 bench/run_bench.py $(BUILD_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(WINDOWS_DIR)
