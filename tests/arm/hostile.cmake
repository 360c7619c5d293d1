# Hostile modules: what a module still being written may do, and what the simulator then says.
# Each row runs the real runner (tools/cli-case.sh, as tests/cli.cmake does) on one behaviour of a
# tiny module in tests/arm/, picked by the application's path /NAME.elf, with a tick and a
# screenshot as its script:
#
#   nuv_hostile(GROUP NAME SOURCE KINDS STATUS PATTERN [CHECK... --] [ARGUMENT...])
#
# KINDS: arm (the module built for the phone, build-arm/tests/arm/SOURCE.elf, on the emulated
# CPU), host (the same source built for this computer), or arm+host. STATUS 4 is a fault; 2 with
# "returned N" is a module that counted what it got and returned it from Lib. CHECKs are those
# of cli-case.sh. The test is hostile.GROUP.NAME.KIND.
foreach(source memory calls limits text differs planted)
  add_library(hostile-${source} MODULE ${CMAKE_CURRENT_LIST_DIR}/${source}.cpp)
  target_include_directories(hostile-${source} PRIVATE ${NUV_SRC_DIR} ${CMAKE_CURRENT_LIST_DIR})
  target_compile_options(hostile-${source} PRIVATE ${NUV_WARNINGS} -fno-exceptions -fno-rtti -fno-threadsafe-statics)
  target_link_options(hostile-${source} PRIVATE -nostdlib -Wl,-Bsymbolic)
  set_target_properties(hostile-${source} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/hostile)
endforeach()

function(nuv_hostile group name source kinds status pattern)
  set(checks)
  set(args ${ARGN})
  list(FIND args -- separator)
  if(separator GREATER -1)
    list(SUBLIST args 0 ${separator} checks)
    list(REMOVE_AT args 0)
    foreach(check ${checks})
      list(REMOVE_AT args 0)
    endforeach()
  endif()
  string(REPLACE "+" ";" kinds ${kinds})
  foreach(kind ${kinds})
    if(kind STREQUAL arm)
      set(module ${NUV_ARM_BUILD}/tests/arm/${source}.elf)
    else()
      set(module $<TARGET_FILE:hostile-${source}>)
    endif()
    add_test(NAME hostile.${group}.${name}.${kind}
      COMMAND ${PROJECT_SOURCE_DIR}/tools/cli-case.sh $<TARGET_FILE:nuv-oka-sim> ${status} "${pattern}" "tick\\nshot s.png\\n"
        ${checks} -- --headless --fs ph --module ${module} --app /${name}.elf --script - ${args})
    if(kind STREQUAL arm)
      nuv_needs(PHONE_MODULE hostile.${group}.${name}.${kind})
    endif()
  endforeach()
endfunction()

# Memory: a release of anything but a block held, a guard written over, a range the module does
# not own whole (the report says which), under a sanitizer too where the host's own checks allow.
set(REPORT "\\(program counter 0x[0-9A-F]{8} in (__real_)?Lib\\+0x[0-9A-F]+")
nuv_hostile(memory double-free memory arm+host 4 "it freed an address that is no block it holds \\(a block freed twice")
nuv_hostile(memory free-stack memory arm+host 4 "freed an address that is no block it holds")
nuv_hostile(memory free-inside memory arm+host 4 "freed an address inside a block of its own")
nuv_hostile(memory guard memory arm 4 "wrote past the end of a block of 10 bytes .*${REPORT}.*last platform call suFreeMem")
nuv_hostile(memory misaligned memory arm 4 "handed u_strlen a misaligned address as its first argument ${REPORT}")
nuv_hostile(memory past-end memory arm 4 "handed AhiDrawSpans 16 bytes that run past the end of its block")
nuv_hostile(memory unterminated memory arm 4 "handed u_strlen text that runs past the end of its block without its end")

# The heap: all of its 64 MiB can be had in one block or in blocks of any size, up to 262144 of
# them; what it cannot give fails the call.
nuv_hostile(heap blocks-40000 memory arm+host 2 "returned 1677\\)")
nuv_hostile(heap blocks-0 memory arm+host 2 "returned 262144\\)")
nuv_hostile(heap whole-heap memory arm+host 2 "returned 3\\)")

# Re-entry: calls into the module nested 64 deep are a fault, not a host stack overflow.
nuv_hostile(re-entry handler-loop calls arm+host 4 "re-entered the framework too deep: 64 calls")
nuv_hostile(re-entry state-loop calls arm 4 "re-entered the framework too deep.*last platform call APP_UtilChangeState")
nuv_hostile(re-entry state-loop calls host 4 "re-entered the framework too deep")

# Calls: to address 0 from the module or from the framework, to data, into the platform in ARM state.
nuv_hostile(calls null-call calls arm 4 "called a null function pointer ${REPORT}, address 0x00000000")
nuv_hostile(calls null-handler calls arm 4 "called a null function pointer \\(program counter 0x[0-9A-F]{8} in .*nullHandler")
nuv_hostile(calls data-handler calls arm 4 "handed the framework a handler at 0x[0-9A-F]{8}, where there is no code")
nuv_hostile(calls arm-state calls arm 4 "called the platform function DAL_GetDeviceContext in ARM state, not Thumb ${REPORT}")

# Time: a module that does not return within its instructions (--budget), a platform call or a
# host module's call that takes longer than its time (--time-budget).
nuv_hostile(time spin calls arm 4 "ran out of its budget: it did not return within 100000 instructions \\(program counter 0x[0-9A-F]{8} in .*spin.*--budget N raises it" --budget 100000)
nuv_hostile(time spin-handler calls arm 4 "did not return within 100000 instructions.*last platform call APP_HandleEvent" --budget 100000)
nuv_hostile(time spin calls host 4 "it spent more than 300 ms in its entry Lib" --time-budget 300)
nuv_hostile(time spin-handler calls host 4 "it spent more than 300 ms in its handler" --time-budget 300)
nuv_hostile(time spans calls arm 4 "kept the platform drawing for more than 300 ms in one AhiDrawSpans call \\(4194304 rectangles\\) ${REPORT}" --time-budget 300)

# Limits: what the simulator holds for a module is bounded; past that the call fails, or, for
# events queued at once, the module has faulted.
nuv_hostile(limits resources limits arm+host 2 "returned 16\\)")
nuv_hostile(limits events limits arm+host 4 "queued more than 10000 events at once")
nuv_hostile(limits editors limits arm+host 2 "returned 30\\)")

# Files: nothing a module does reaches outside --fs, and the files it holds open leave the
# simulator's own (a screenshot) to it.
nuv_hostile(files escape limits arm+host 2 "returned 0\\)" --absent out --absent ph/../out --file ph/in x --)
nuv_hostile(files files limits arm+host 0 "" --png s.png --)

# Text: arguments no platform function can work with, for either kind of module where the host
# can tell: text copied onto itself, a buffer that cannot hold what is read into it, no text at all,
# a value wider than its parameter.
set(OVERLAP "overlapping arguments: what it writes \\(its [a-z]+ argument\\) overlaps what it reads")
nuv_hostile(text strcpy text arm+host 4 "handed u_strcpy ${OVERLAP} \\(its second argument\\)")
nuv_hostile(text strcat text arm+host 4 "handed u_strcat ${OVERLAP}")
nuv_hostile(text atou text arm 4 "handed u_atou [0-9]+ bytes that run past the end of its memory as its second argument ${REPORT}")
nuv_hostile(text atou text host 4 "handed u_atou ${OVERLAP}")
nuv_hostile(text utoa text arm+host 4 "handed u_utoa ${OVERLAP}")
nuv_hostile(text read text arm 4 "handed DL_FsReadFile 64 bytes that run past the end of its block as its first argument")
nuv_hostile(text null text arm+host 4 "handed u_strlen a null pointer as its first argument")
nuv_hostile(text wide text arm 4 "handed UIS_CreateCharacterEditor a value wider than its 8 bits as its third argument")
