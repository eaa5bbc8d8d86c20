# The two commands a newcomer needs: `make run` and `make test`. Each installs what is
# missing, configures, builds, then runs.
BUILD_DIR := build
PROGRAM_DIR := $(BUILD_DIR)/Lumaret
SCREENSHOT := $(BUILD_DIR)/run-screenshot.png
JOBS ?= 2

.PHONY: all deps configure build run test bench clean

all: build

deps:
	scripts/install-deps

configure: deps
	@test -f $(BUILD_DIR)/build.ninja || cmake -S . -B $(BUILD_DIR) -G Ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# With a display the demo runs until its window is closed; without one it runs a few seconds
# on a virtual display and leaves a screenshot.
run: build
ifeq ($(strip $(DISPLAY)),)
	xvfb-run -a -s "-screen 0 1024x768x24" $(PROGRAM_DIR)/strovel-demo --screenshot $(SCREENSHOT) --seconds 4
else
	$(PROGRAM_DIR)/strovel-demo
endif

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Benchmarks are run by hand; see bench/README.md.
bench: build
	bench/run-telop-bench
	bench/run-profile-bench
	bench/run-movie-bench

clean:
	rm -rf $(BUILD_DIR)
