# Set-up, build, run and tests of nuv-oka and its phone simulator.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_BUILD = env MAKEFLAGS= cmake --build

FUZZ_SECONDS ?= 300
FUZZERS = session convert script elf

.PHONY: all deps build run run-arm docs check test bench asan target fuzz clean web run-web coverage

all: build

deps:
	@tools/install-deps.sh

# Every build is one of CMakePresets.json's: debug here, release, asan, arm, fuzz and web below.
$(BUILD)/CMakeCache.txt: | deps
	@cmake --preset debug -B $(BUILD) >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	@tools/stage.sh "build ($(BUILD)/)" $(BUILD)/build.log $(CMAKE_BUILD) $(BUILD) -j$(JOBS)

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
# The toolchain is given only when the folder is first configured: CMake keeps it.
target: deps
	@[ -f build-arm/CMakeCache.txt ] || cmake --preset arm >/dev/null
	@tools/stage.sh "the phone's module (build-arm/)" build-arm/build.log $(CMAKE_BUILD) build-arm -j$(JOBS)
	@tools/arm/module-sizes.sh build-arm/nuv-oka.elf

# The quick loop: every test in the plain build (which builds the phone's module too; the web
# page's test builds the page).
check: build
	@tools/stage.sh "tests ($(BUILD)/)" $(BUILD)/tests.log ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The web page: the application and the simulator compiled to WebAssembly, static files in
# build-web/ (tools/build-web.sh).
web: deps
	@mkdir -p build-web-obj
	@tools/stage.sh "the web page (build-web/)" build-web-obj/stage.log env JOBS=$(JOBS) tools/build-web.sh build-web

# Serves build-web/ on 127.0.0.1 (WEB_PORT, default 8080; 0 takes a free port) and prints the address.
WEB_PORT ?= 8080
run-web: web
	@node tools/serve-web.mjs build-web $(WEB_PORT)

# Every test in the plain build and again under AddressSanitizer and UBSan, then a short run of
# each fuzzer; the last line says what passed.
test: check
	@$(MAKE) --no-print-directory asan
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=30
	@tools/test-summary.sh $(BUILD)/tests.log build-asan/tests.log build-fuzz/fuzz.log

# The lines of the phone's module that the application's own scripts run, as an lcov tracefile
# and an HTML report in build/coverage/.
coverage: build target
	@mkdir -p $(BUILD)/coverage
	@./$(BUILD)/nuv-oka-sim --suite tests/scripts --suite docs/scripts --module build-arm/nuv-oka.elf \
		--coverage $(BUILD)/coverage/app.info | tail -1
	@genhtml -q --demangle-cpp -o $(BUILD)/coverage/html $(BUILD)/coverage/app.info | tail -3
	@echo "The report: $(BUILD)/coverage/html/index.html"

# Benchmarks in time and in instructions: docs/performance.md is written anew.
bench: deps target web
	@cmake --preset release >/dev/null
	@$(CMAKE_BUILD) build-release -j$(JOBS) --target nuv-oka-bench nuv-oka-count nuv-oka >/dev/null
	@tools/perf-table.sh build-release

asan: deps target
	@cmake --preset asan >/dev/null
	@tools/stage.sh "build with AddressSanitizer and UBSan (build-asan/)" build-asan/build.log \
		$(CMAKE_BUILD) build-asan -j$(JOBS)
	@tools/stage.sh "tests under AddressSanitizer and UBSan" build-asan/tests.log \
		ctest --test-dir build-asan --output-on-failure -j$(JOBS)

# The fuzzers (clang, AddressSanitizer, UBSan), each for FUZZ_SECONDS over its seeds in
# fuzz/corpus/; what they find new is kept in build-fuzz/corpus/, a crash in build-fuzz/.
fuzz: deps
	@cmake --preset fuzz >/dev/null
	@tools/stage.sh "fuzzers' build with clang (build-fuzz/)" build-fuzz/build.log $(CMAKE_BUILD) build-fuzz -j$(JOBS)
	@tools/stage.sh "fuzzers, $(FUZZ_SECONDS) s each" build-fuzz/fuzz.log tools/fuzz.sh $(FUZZ_SECONDS) $(FUZZERS)

clean:
	rm -rf $(BUILD) build-release build-asan build-arm build-fuzz build-web build-web-obj
