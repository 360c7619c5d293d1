# The build kit for phone modules: nuvoka_add_module() builds a module written against the
# platform's headers (src/platform/) for this computer (NAME.so, for the simulator) and for the
# phone (NAME.elf, Thumb code for the ARM926EJ-S, which the simulator also runs), with the flags,
# the linker script, the entry and the visibility the phone's loader needs. A project outside this
# tree uses it with two lines:
#
#   include(/path/to/nuv-oka/kit/nuvoka-module.cmake)
#   nuvoka_add_module(counter SOURCES counter.c DESCRIPTION counter.desc TEXT)
#
#   nuvoka_add_module(NAME SOURCES file... [DESCRIPTION NAME.desc] [TEXT] [WERROR]
#                     [OUTPUT_DIRECTORY dir] [CODE_LIMIT bytes] [GLOBALS_LIMIT bytes])
#
#   SOURCES           the module's C11 (.c) or C++20 (.cpp) files; the entry is `Lib`
#   DESCRIPTION       the module's description file, copied beside both outputs as NAME.desc
#   TEXT              adds the kit's text helper (kit/text/nuvoka_text.h: a font and text drawing)
#   WERROR            warnings are errors
#   OUTPUT_DIRECTORY  where NAME.so, NAME.elf and NAME.desc go (default: the current build folder)
#   CODE_LIMIT, GLOBALS_LIMIT  the phone's build fails when its code and constants, or its
#                     globals, pass these many bytes
#
# The target NAME is the host module, a CMake MODULE library to which target_include_directories
# and target_compile_definitions may add: the phone's build takes its include folders and
# definitions too. The target NAME-elf builds the phone's module; in the default build it is built
# with NAME. Each output is checked to import nothing but the platform's functions: the phone has
# no C library and no compiler support routine, so a division (/ or %), a switch compiled to a jump
# table or a copy the compiler turned into memcpy fails the build with what to write instead. The
# phone's module's sizes are printed.
#
# In a build configured with cmake/arm-none-eabi.cmake (cross-compiling) only NAME, the phone's
# NAME.elf, is built. Elsewhere the phone's module is built with arm-none-eabi-gcc when it can be
# found (NUVOKA_ARM_CC), else only the host module, with a warning.

include_guard(DIRECTORY)
enable_language(C)

get_filename_component(NUVOKA_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(NUVOKA_PLATFORM_INCLUDE ${NUVOKA_ROOT}/src CACHE INTERNAL "The folder holding platform/*.h")
set(NUVOKA_TEXT_DIR ${NUVOKA_ROOT}/kit/text CACHE INTERNAL "The kit's text helper")
set(NUVOKA_WARNINGS -Wall -Wextra -Wpedantic -Wno-unused-parameter)
# The phone's code: Thumb for the ARM926EJ-S, freestanding and position-independent; no jump tables
# (their case helper is no platform function) and no loops turned into memset or memcpy; each
# function in a section of its own, so that the linker script can put Lib first; every symbol
# hidden, so that nothing, Lib included, goes through a veneer (gdb then stops in Lib's own lines).
set(NUVOKA_ARM_FLAGS -mcpu=arm926ej-s -mthumb -Os -g -ffreestanding -fPIC -fno-jump-tables
  -fno-tree-loop-distribute-patterns -ffunction-sections -fvisibility=hidden)
set(NUVOKA_CXX_FLAGS -fno-exceptions -fno-rtti -fno-threadsafe-statics)
set(NUVOKA_ARM_LINK_FLAGS -mcpu=arm926ej-s -mthumb -nostdlib -nostartfiles -shared -Wl,-e,Lib
  -Wl,-T,${NUVOKA_ROOT}/tools/arm/entry-first.ld -Wl,--hash-style=sysv)
if(NOT CMAKE_CROSSCOMPILING)
  find_program(NUVOKA_ARM_CC arm-none-eabi-gcc)
  find_program(NUVOKA_ARM_CXX arm-none-eabi-g++)
endif()

# The checks after a module is linked: its imports, and for the phone's module its sizes.
function(_nuvoka_checks target file kind code_limit globals_limit)
  set(checks COMMAND ${NUVOKA_ROOT}/tools/check-module-imports.sh ${file} ${NUVOKA_PLATFORM_INCLUDE}/platform)
  if(kind STREQUAL "arm")
    list(PREPEND checks COMMAND ${NUVOKA_ROOT}/tools/arm/module-sizes.sh ${file} ${code_limit} ${globals_limit})
  endif()
  set(${target} ${checks} PARENT_SCOPE)
endfunction()

# The phone's module built with the ARM compiler beside a host build: one object per source, with
# its dependencies on headers, then the link; include folders and definitions are the host target's.
# The module is linked and checked in a folder of its own and copied out only once it passed.
function(_nuvoka_arm_beside name sources elf checks)
  set(includes "$<TARGET_PROPERTY:${name},INCLUDE_DIRECTORIES>")
  set(defines "$<TARGET_PROPERTY:${name},COMPILE_DEFINITIONS>")
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${name}-arm)
  file(MAKE_DIRECTORY ${folder})
  set(objects)
  foreach(source ${sources})
    get_filename_component(source ${source} ABSOLUTE)
    get_filename_component(stem ${source} NAME)
    # Named by the path, so that two sources of one name in different folders stay apart.
    file(RELATIVE_PATH object ${CMAKE_CURRENT_SOURCE_DIR} ${source})
    string(REGEX REPLACE "^(\\.\\./)+" "" object ${object})
    string(REGEX REPLACE "[/\\.:]" "_" object ${object})
    set(object ${folder}/${object}.o)
    if(source MATCHES "\\.(cpp|cc|cxx)$")
      set(compiler ${NUVOKA_ARM_CXX} -std=c++20 ${NUVOKA_CXX_FLAGS})
    else()
      set(compiler ${NUVOKA_ARM_CC} -std=c11)
    endif()
    add_custom_command(OUTPUT ${object}
      COMMAND ${compiler} ${NUVOKA_ARM_FLAGS} ${ARGN}
        "$<$<BOOL:${includes}>:-I$<JOIN:${includes},;-I>>" "$<$<BOOL:${defines}>:-D$<JOIN:${defines},;-D>>"
        -MD -MF ${object}.d -c ${source} -o ${object}
      DEPENDS ${source} DEPFILE ${object}.d
      COMMENT "Compiling ${stem} for the phone" COMMAND_EXPAND_LISTS VERBATIM)
    list(APPEND objects ${object})
  endforeach()
  set(linked ${folder}/${name}.elf)
  list(TRANSFORM checks REPLACE "^${elf}$" ${linked})
  add_custom_command(OUTPUT ${elf}
    COMMAND ${NUVOKA_ARM_CC} ${objects} ${NUVOKA_ARM_LINK_FLAGS} -o ${linked}
    ${checks}
    COMMAND ${CMAKE_COMMAND} -E copy ${linked} ${elf}
    DEPENDS ${objects} ${NUVOKA_ROOT}/tools/arm/entry-first.ld
    COMMENT "Linking the phone's module ${name}.elf" VERBATIM)
endfunction()

function(nuvoka_add_module name)
  cmake_parse_arguments(PARSE_ARGV 1 MOD "TEXT;WERROR" "DESCRIPTION;OUTPUT_DIRECTORY;CODE_LIMIT;GLOBALS_LIMIT" "SOURCES")
  if(NOT MOD_SOURCES)
    message(FATAL_ERROR "nuvoka_add_module(${name}): give the module's SOURCES")
  endif()
  if(MOD_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "nuvoka_add_module(${name}): unknown arguments ${MOD_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT MOD_OUTPUT_DIRECTORY)
    set(MOD_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  foreach(limit CODE_LIMIT GLOBALS_LIMIT)
    if(NOT MOD_${limit})
      set(MOD_${limit} 0)
    endif()
  endforeach()
  set(sources ${MOD_SOURCES})
  if(MOD_TEXT)
    list(APPEND sources ${NUVOKA_TEXT_DIR}/nuvoka_text.c ${NUVOKA_TEXT_DIR}/nuvoka_font.c)
  endif()
  set(warnings ${NUVOKA_WARNINGS})
  if(MOD_WERROR)
    list(APPEND warnings -Werror)
  endif()
  set(elf ${MOD_OUTPUT_DIRECTORY}/${name}.elf)
  set(copy_description)
  set(described)
  if(MOD_DESCRIPTION)
    get_filename_component(description ${MOD_DESCRIPTION} ABSOLUTE)
    set(described ${MOD_OUTPUT_DIRECTORY}/${name}.desc)
    set(copy_description COMMAND ${CMAKE_COMMAND} -E copy ${description} ${described})
  endif()
  _nuvoka_checks(arm_checks ${elf} arm ${MOD_CODE_LIMIT} ${MOD_GLOBALS_LIMIT})

  if(CMAKE_CROSSCOMPILING)
    # The phone's module alone, with the toolchain the build was configured with.
    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${NUVOKA_PLATFORM_INCLUDE} ${NUVOKA_TEXT_DIR})
    target_compile_options(${name} PRIVATE ${warnings} ${NUVOKA_ARM_FLAGS} $<$<COMPILE_LANGUAGE:CXX>:${NUVOKA_CXX_FLAGS}>)
    target_link_options(${name} PRIVATE ${NUVOKA_ARM_LINK_FLAGS})
    set_target_properties(${name} PROPERTIES C_STANDARD 11 CXX_STANDARD 20 SUFFIX .elf
      RUNTIME_OUTPUT_DIRECTORY ${MOD_OUTPUT_DIRECTORY})
    add_custom_command(TARGET ${name} POST_BUILD ${arm_checks} ${copy_description} VERBATIM)
    return()
  endif()

  # The module for this computer, which the simulator loads into its own process: Lib is exported
  # (the simulator finds it by name), functions bind to the module's own (-Bsymbolic, as on the
  # phone), and no C library is linked, so that it needs what the phone's module needs.
  add_library(${name} MODULE ${sources})
  target_include_directories(${name} PRIVATE ${NUVOKA_PLATFORM_INCLUDE} ${NUVOKA_TEXT_DIR})
  target_compile_options(${name} PRIVATE ${warnings} $<$<COMPILE_LANGUAGE:CXX>:${NUVOKA_CXX_FLAGS}>
    $<$<COMPILE_LANG_AND_ID:CXX,GNU>:-fno-gnu-unique>)
  target_link_options(${name} PRIVATE -nostdlib -Wl,-Bsymbolic)
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX .so C_STANDARD 11 CXX_STANDARD 20
    LIBRARY_OUTPUT_DIRECTORY ${MOD_OUTPUT_DIRECTORY})
  _nuvoka_checks(host_checks $<TARGET_FILE:${name}> host 0 0)
  add_custom_command(TARGET ${name} POST_BUILD ${host_checks} VERBATIM)
  # The description beside both, copied again whenever it changes.
  if(described)
    add_custom_command(OUTPUT ${described} ${copy_description} DEPENDS ${description}
      COMMENT "The description ${name}.desc" VERBATIM)
  endif()

  if(NOT NUVOKA_ARM_CC)
    message(WARNING "nuvoka_add_module(${name}): arm-none-eabi-gcc was not found, so only ${name}.so is built "
      "(install gcc-arm-none-eabi, or set NUVOKA_ARM_CC)")
    add_custom_target(${name}-elf ALL DEPENDS ${described})
  else()
    _nuvoka_arm_beside(${name} "${sources}" ${elf} "${arm_checks}" ${warnings})
    add_custom_target(${name}-elf ALL DEPENDS ${elf} ${described})
  endif()
  add_dependencies(${name} ${name}-elf)
endfunction()
