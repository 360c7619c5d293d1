# Set-up, build, run and tests of nuv-oka and its phone simulator.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_BUILD = MAKEFLAGS= cmake --build

.PHONY: all deps build run run-arm test bench asan target clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	@$(CMAKE_BUILD) $(BUILD) -j$(JOBS)

# The simulator has no window yet: it runs headless and leaves a screenshot. SIM_ARGS go on its
# command line.
SIM_ARGS ?=
run: deps $(BUILD)/CMakeCache.txt
	@$(CMAKE_BUILD) $(BUILD) -j$(JOBS) --target nuv-oka-sim nuv-oka >/dev/null
	@./$(BUILD)/nuv-oka-sim --headless --fs phone --screenshot phone/screen.png $(SIM_ARGS)
	@echo "nuv-oka ran headless on ./phone; the screen is in phone/screen.png"

# The same with the phone's own module on the emulated ARM CPU.
run-arm: target
	@$(MAKE) --no-print-directory run SIM_ARGS="--module build-arm/nuv-oka.elf $(SIM_ARGS)"

# The phone's module, build-arm/nuv-oka.elf, with its sizes.
target: deps
	@cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/arm-none-eabi.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	@$(CMAKE_BUILD) build-arm -j$(JOBS) >build-arm/build.log 2>&1; status=$$?; \
	  grep -v -E '^\[|^gmake|Built target' build-arm/build.log; exit $$status

test: build target
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# Benchmarks in time and in instructions: docs/performance.md is written anew.
bench: deps target
	@cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(CMAKE_BUILD) build-release -j$(JOBS) --target nuv-oka-bench nuv-oka-count nuv-oka >/dev/null
	@tools/perf-table.sh build-release

asan: deps target
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNUV_SANITIZE=ON >/dev/null
	@$(CMAKE_BUILD) build-asan -j$(JOBS)
	@cd build-asan && ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD) build-release build-asan build-arm
