# The simulator's sources, listed once for every build: the native one (sim/CMakeLists.txt) and
# the web page (sim/web/CMakeLists.txt). Paths are relative to sim/.

# The platform itself: headless, without the emulated CPU, without any window library.
set(NUV_CORE_SOURCES
  core/call_screen.cpp
  core/call_trace.cpp
  core/calls.cpp
  core/dialogs.cpp
  core/editor.cpp
  core/filesystem.cpp
  core/framework.cpp
  core/glyphs.cpp
  core/graphics.cpp
  core/host_paths.cpp
  core/host_shells.cpp
  core/instruction_profile.cpp
  core/line_coverage.cpp
  core/loader.cpp
  core/memory.cpp
  core/phone.cpp
  core/resources.cpp
  core/screendiff.cpp
  core/services_dialogs.cpp
  core/services_drawing.cpp
  core/services_files.cpp
  core/services_framework.cpp
  core/services_memory.cpp
  core/services_resources.cpp
  core/services_text.cpp
  core/symbol_names.cpp
  core/utf.cpp
  core/watchdog.cpp)
# The core's parts that only the native build has: PNG files.
set(NUV_CORE_NATIVE_SOURCES core/png.cpp)

# A module built for this computer, loaded with the dynamic loader.
set(NUV_HOST_MODULE_SOURCES module/host/host_code.cpp module/host/host_module.cpp module/host/host_symbols.cpp)

# The phone's own module on the emulated ARM CPU (Unicorn), its debugger, profiler and coverage.
set(NUV_ARM_MODULE_SOURCES
  module/arm/address_space.cpp
  module/arm/arm_module.cpp
  module/arm/coverage_recorder.cpp
  module/arm/cpu.cpp
  module/arm/debugger.cpp
  module/arm/elf_image.cpp
  module/arm/gdb_connection.cpp
  module/arm/gdb_target.cpp
  module/arm/line_table.cpp
  module/arm/platform_calls.cpp
  module/arm/profiler.cpp
  module/arm/store_checks.cpp)

# The runner's engine, which every front end drives, the web page's included.
set(NUV_RUNNER_ENGINE_SOURCES
  runner/description.cpp
  runner/faults.cpp
  runner/session_calls.cpp
  runner/module_defaults.cpp
  runner/options.cpp
  runner/outputs.cpp
  runner/pc_keys.cpp
  runner/recorder.cpp
  runner/script.cpp
  runner/script_file.cpp
  runner/host_folders.cpp
  runner/session.cpp
  runner/session_config.cpp
  runner/session_script.cpp)
# What only the native runner has: GIFs, the debugger's session, hashes, and the testing modes
# that start processes of their own.
set(NUV_RUNNER_NATIVE_SOURCES
  runner/child_process.cpp
  runner/explorer.cpp
  runner/gif.cpp
  runner/junit.cpp
  runner/lockstep.cpp
  runner/module_hash.cpp
  runner/session_debugger.cpp
  runner/suite.cpp)
