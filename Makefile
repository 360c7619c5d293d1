# Set-up, build, run and tests of nuv-oka and its phone simulator.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test bench asan arm-check clean

all: build

deps:
	@tools/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@MAKEFLAGS= cmake --build $(BUILD) -j$(JOBS)

# The simulator has no window yet: it runs headless and leaves a screenshot.
run: build
	@./$(BUILD)/nuv-oka-sim --headless --fs phone --screenshot phone/screen.png
	@echo "nuv-oka ran headless on ./phone; the screen is in phone/screen.png"

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: deps
	@cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
	@MAKEFLAGS= cmake --build build-release -j$(JOBS) --target nuv-oka-bench
	@./build-release/bench/nuv-oka-bench

asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNUV_SANITIZE=ON >/dev/null
	@MAKEFLAGS= cmake --build build-asan -j$(JOBS)
	@cd build-asan && ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD) build-release build-asan
