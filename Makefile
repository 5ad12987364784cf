# Quadrelink — the two commands of the README (`make demo`, `make test`) and
# the steps they stand on. Every target works from a fresh clone on Debian 12.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

# Debian packages the build, the tests and the demo need.
PACKAGES := build-essential cmake clang-format qt6-base-dev qt6-serialport-dev \
            libgl-dev libx11-dev fonts-liberation2 xvfb xauth xdotool x11-apps

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: all deps build run demo test format clean

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

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
