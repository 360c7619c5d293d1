# Set-up, build, run and tests of nuv-oka and its phone simulator.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_BUILD = MAKEFLAGS= cmake --build

FUZZ_SECONDS ?= 300
FUZZERS = session convert script elf

.PHONY: all deps build run run-arm docs test bench asan target fuzz clean web run-web

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	@$(CMAKE_BUILD) $(BUILD) -j$(JOBS)

# Builds only the simulator and the module (the build's output is shown only when it fails),
# then opens the phone in a window; without a display it runs headless and leaves a screenshot.
# SIM_ARGS go on the simulator's command line.
SIM_ARGS ?=
run: deps $(BUILD)/CMakeCache.txt
	@$(CMAKE_BUILD) $(BUILD) -j$(JOBS) --target nuv-oka-sim nuv-oka >$(BUILD)/run-build.log 2>&1 || \
		{ cat $(BUILD)/run-build.log; exit 1; }
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		./$(BUILD)/nuv-oka-sim --fs phone $(SIM_ARGS); \
	else \
		echo "There is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so nuv-oka runs headless and leaves its screen in phone/screen.png."; \
		./$(BUILD)/nuv-oka-sim --headless --fs phone --screenshot phone/screen.png $(SIM_ARGS); \
	fi

# The same with the phone's own module on the emulated ARM CPU.
run-arm: target
	@$(MAKE) --no-print-directory run SIM_ARGS="--module build-arm/nuv-oka.elf $(SIM_ARGS)"

# Every picture in docs/ drawn anew from the scripts in docs/scripts/.
docs: deps web $(BUILD)/CMakeCache.txt
	@$(CMAKE_BUILD) $(BUILD) -j$(JOBS) --target nuv-oka-sim nuv-oka nuv-oka-window-picture font_docs \
		>$(BUILD)/docs-build.log 2>&1 || { cat $(BUILD)/docs-build.log; exit 1; }
	@tools/make-docs.sh $(BUILD)

# The phone's module, build-arm/nuv-oka.elf, with its sizes.
target: deps
	@cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/arm-none-eabi.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
	@$(CMAKE_BUILD) build-arm -j$(JOBS) >build-arm/build.log 2>&1 || { cat build-arm/build.log; exit 1; }
	@grep -v -E '^\[|^gmake|Built target' build-arm/build.log || true

# The web page: the application and the simulator compiled to WebAssembly, static files in
# build-web/ (tools/build-web.sh).
web: deps
	@JOBS=$(JOBS) tools/build-web.sh build-web

# Serves build-web/ on 127.0.0.1 (WEB_PORT, default 8080; 0 takes a free port) and prints the address.
WEB_PORT ?= 8080
run-web: web
	@node tools/serve-web.mjs build-web $(WEB_PORT)

# Every test in the plain build and again under AddressSanitizer and UBSan, then a short run of
# each fuzzer.
test: build target web
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	@$(MAKE) --no-print-directory asan
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=30

# Benchmarks in time and in instructions: docs/performance.md is written anew.
bench: deps target web
	@cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(CMAKE_BUILD) build-release -j$(JOBS) --target nuv-oka-bench nuv-oka-count nuv-oka >/dev/null
	@tools/perf-table.sh build-release

asan: deps target
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNUV_SANITIZE=ON >/dev/null
	@$(CMAKE_BUILD) build-asan -j$(JOBS) >/dev/null
	@cd build-asan && ctest --output-on-failure -j$(JOBS)

# The fuzzers (clang, AddressSanitizer, UBSan), each for FUZZ_SECONDS over its seeds in
# fuzz/corpus/; what they find new is kept in build-fuzz/corpus/, a crash in build-fuzz/.
fuzz: deps
	@cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNUV_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@$(CMAKE_BUILD) build-fuzz -j$(JOBS) >/dev/null
	@for f in $(FUZZERS); do \
	  mkdir -p build-fuzz/corpus/$$f; \
	  echo "fuzz_$$f: $(FUZZ_SECONDS) s"; \
	  ./build-fuzz/fuzz/fuzz_$$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=build-fuzz/ \
	    build-fuzz/corpus/$$f fuzz/corpus/$$f 2>&1 | grep -E '^stat::number_of_executed_units|ERROR|SUMMARY' \
	    || true; \
	  [ -z "$$(ls build-fuzz/crash-* build-fuzz/leak-* build-fuzz/timeout-* build-fuzz/oom-* 2>/dev/null)" ] || { echo "fuzz_$$f failed: see build-fuzz/"; exit 1; }; \
	done

clean:
	rm -rf $(BUILD) build-release build-asan build-arm build-fuzz build-web build-web-obj
