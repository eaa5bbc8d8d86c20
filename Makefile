# The two commands a newcomer needs: `make run` and `make test`. Each installs what is
# missing, configures, builds, then runs.
BUILD_DIR := build
PROGRAM_DIR := $(BUILD_DIR)/Lumaret
JOBS ?= 2

.PHONY: all deps configure build run test bench package clean

all: build

deps:
	scripts/install-deps

configure: deps
	@test -f $(BUILD_DIR)/build.ninja || cmake -S . -B $(BUILD_DIR) -G Ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# With a display the player runs until it is ended (Escape or its exit button); without one it
# runs a few seconds on a virtual display and leaves a screenshot.
run: build
ifeq ($(strip $(DISPLAY)),)
	scripts/run-headless
else
	$(PROGRAM_DIR)/lumaret
endif

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The Debian packages, built by dpkg-buildpackage into build/; see the README.
package: deps
	scripts/build-packages $(BUILD_DIR)

# Benchmarks are run by hand; see bench/README.md.
bench: build
	cmake --build $(BUILD_DIR) --target bench_clips
	bench/run-telop-bench
	bench/run-profile-bench
	bench/run-movie-bench
	bench/run-player-bench

clean:
	rm -rf $(BUILD_DIR)
