# The two commands of the README:
#   make run   builds the program and race-feed only, and starts the screen
#   make test  builds everything (tests and benchmarks too) and runs the
#              whole test suite, headless
# and for CI and releases:
#   make test-sanitize  the same suite built with AddressSanitizer and
#                       UndefinedBehaviorSanitizer, in build-asan
#   make package        the Debian package, in build/
#   make fuzz           every libFuzzer target, built with clang in build-fuzz
#                       and run FUZZ_SECONDS each (tests/fuzz/README.md)
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=

BUILD_PACKAGES := cmake ninja-build g++ pkg-config qt6-base-dev libxkbcommon-dev libgl-dev \
                  libgtest-dev libbenchmark-dev libmosquitto-dev libssl-dev libxcb1-dev
# The browser view: the QR code of its address, and npm for its MQTT client
# (Debian's npm only where no npm comes with the installed Node.js).
BUILD_PACKAGES += libqrencode-dev nodejs $(if $(shell command -v npm),,npm)
RUN_PACKAGES := fonts-dseg fonts-liberation2 fonts-dejavu-core
TEST_PACKAGES := xvfb xauth x11-apps imagemagick socat dbus at-spi2-core python3-pyatspi mosquitto openssl \
                 openbox x11-utils xdotool xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils \
                 iproute2 util-linux
TEST_PACKAGES += chromium chromium-driver python3-selenium
PACKAGE_PACKAGES := dpkg-dev lintian desktop-file-utils appstream
# libFuzzer's runtime is only recommended by clang, so it is named here.
FUZZ_PACKAGES := clang libclang-rt-dev
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 30

.PHONY: all build run test test-sanitize fuzz package deps-build deps-run deps-test deps-package \
        deps-fuzz clean

all: build

deps-build:
	@tools/ensure-packages.sh $(BUILD_PACKAGES) $(RUN_PACKAGES)

deps-test: deps-build
	@tools/ensure-packages.sh $(TEST_PACKAGES)

deps-package: deps-build
	@tools/ensure-packages.sh $(PACKAGE_PACKAGES)

deps-fuzz: deps-build
	@tools/ensure-packages.sh $(FUZZ_PACKAGES)

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

build: deps-build $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

run: deps-build $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) --target orvane-commentator race-feed
	@tools/run-screen.sh $(BUILD_DIR)/orvane-commentator

test: deps-test $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j2

test-sanitize:
	$(MAKE) test BUILD_DIR=build-asan BUILD_TYPE=RelWithDebInfo \
	  CMAKE_FLAGS="-DORVANE_SANITIZE=ON -DORVANE_BENCH=OFF"

$(FUZZ_DIR)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DORVANE_FUZZ=ON -DORVANE_TESTS=ON -DORVANE_BENCH=OFF

fuzz: deps-fuzz $(FUZZ_DIR)/build.ninja
	tests/fuzz/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

package: deps-package build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR) $(FUZZ_DIR)
