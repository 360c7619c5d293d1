# The simulator's command line as users' scripts rely on it: options, script actions, exit
# statuses, messages and the files a run leaves. Each case runs nuv-oka-sim in a fresh folder
# with the script on standard input (see tools/cli-case.sh for the checks).
#
#   nuv_cli(NAME STATUS PATTERN SCRIPT [CHECK...] -- ARGUMENTS...)
#
# A case that runs the phone's module (--arm, or a module in NUV_ARM_BUILD) needs it built.
function(nuv_cli name status pattern script)
  add_test(NAME cli.${name}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/cli-case.sh $<TARGET_FILE:nuv-oka-sim> ${status} "${pattern}" "${script}" ${ARGN})
  if("--arm" IN_LIST ARGN OR "${ARGN}" MATCHES "${NUV_ARM_BUILD}/")
    nuv_needs(PHONE_MODULE cli.${name})
  endif()
endfunction()

set(DEFAULT "+80501234567 info")
# A recording names its module by its path from the recording and its hash, which differ from
# build to build: checked as the module's name and the word HASH.
set(MODULE_NAMED "s/--module [^ ]*\\/([^ /]+) --module-sha256 [0-9a-f]{64}/--module \\1 --module-sha256 HASH/")
nuv_cli(help 0 "--fs" "" -- --help)
nuv_cli(default-run 0 "" "" --file phone/elf/BlackList.txt "${DEFAULT}" --png shot.png -- --headless --screenshot shot.png)
nuv_cli(script-adds-a-record 0 ""
  "# add a record\\n\\n  press soft-left  \\npress down\\npress down\\npress ok\\nexpect state edit\\ntext  two words\\npress select\\nexpect state main\\nshot out/after.png\\npress end\\nexpect state ended\\nshot out/end.png\\n"
  --file ph/elf/BlackList.txt "${DEFAULT}\\r\\n two words" --png out/after.png --png out/end.png
  -- --headless --fs ph --lang en --script -)
nuv_cli(unknown-option 2 "bogus" "" -- --bogus)
nuv_cli(bad-language 2 "--lang" "" -- --lang xx)
nuv_cli(language-out-of-range 2 "--lang" "" -- --lang 300)
nuv_cli(language-missing 2 "lang" "" -- --lang)
nuv_cli(stray-argument 2 "stray" "" -- --headless stray)
nuv_cli(unknown-action 2 "script line 2" "tick\\nwiggle 3\\n" -- --headless --script -)
nuv_cli(unknown-key 2 "press nowhere" "press nowhere\\n" -- --headless --script -)
nuv_cli(unknown-state 2 "script line 1" "expect state lost\\n" -- --headless --script -)
nuv_cli(text-without-editor 2 "no character editor" "text hello\\n" -- --headless --script -)
nuv_cli(back-without-editor 2 "no character editor" "back\\n" -- --headless --script -)
nuv_cli(action-after-the-end 2 "ended" "press end\\ntick\\n" -- --headless --script -)
nuv_cli(expect-ended 0 "" "press end\\nexpect state ended\\n" -- --headless --script -)
nuv_cli(expect-fails 1 "found main" "expect state edit\\n" -- --headless --script -)
nuv_cli(missing-script 2 "cannot read the script missing.txt: No such file or directory" "" -- --headless --script missing.txt)
nuv_cli(missing-module 2 "cannot start" "" -- --headless --module nowhere.so)
nuv_cli(path-that-climbs 2 "refuses the application path /x/../../escape.elf" ""
  --absent ph/x --absent BlackList.txt --absent ../BlackList.txt -- --headless --fs ph --app /x/../../escape.elf)
# The application widens each byte of its path to 16 bits ("é", C3 A9, becomes U+00C3 U+00A9),
# and the phone maps those to the host's names: the runner makes that very folder.
nuv_cli(non-ascii-app-path 0 "folder /é lies on the host at .*/ph/Ã©" "" --file "ph/Ã©/BlackList.txt" "${DEFAULT}"
  -- --headless --fs ph --app /é/a.elf)
string(REPEAT d 245 LONG_FOLDER)
nuv_cli(path-too-long 2 "cannot start" "" -- --headless --app /${LONG_FOLDER}/a.elf)

# Scripts: errors name the file and say what is wrong; the actions added for the window.
nuv_cli(script-is-a-folder 2 "the script \\. is a folder" "" -- --headless --script .)
nuv_cli(script-error-names-its-file 2 "standard input: script line 2: tick takes nothing after it, not \"extra\"" "tick\\ntick extra\\n" -- --headless --script -)
set(ADD "press soft-left\\npress down 2\\npress ok\\n")
nuv_cli(text-keeps-trailing-blanks 0 "" "${ADD}text ab  \\npress ok\\n" --file phone/elf/BlackList.txt "${DEFAULT}\\r\\nab  " -- --headless --script -)
nuv_cli(multi-tap-in-english 0 "" "${ADD}text\\npress key-2 3\\npress right\\npress key-hash\\npress key-7 4\\npress key-0\\npress ok\\n"
  --file phone/elf/BlackList.txt "${DEFAULT}\\r\\ncS " -- --headless --lang en --script -)
# A tapped letter is taken after a second of rest of its key, not before: the phone's time passes
# only by `wait`, headless.
nuv_cli(multi-tap-letter-taken-after-a-second 0 "" "${ADD}text\\npress key-2\\nwait 999\\npress key-2\\nwait 1000\\npress key-2\\npress ok\\n"
  --file phone/elf/BlackList.txt "${DEFAULT}\\r\\nba" -- --headless --lang en --script -)
nuv_cli(multi-tap-in-russian 0 "" "${ADD}text\\npress key-2 4\\npress key-9\\npress ok\\n"
  --file phone/elf/BlackList.txt "${DEFAULT}\\r\\n\\xE3\\xFC" -- --headless --lang ru --script -)
# An incoming call over the editor: the token's events in the trace, the keys on the call screen
# (ok does nothing there), the recording with the call in it; the file as without the call.
nuv_cli(interrupt-and-resume 0 "event 0x001F, state edit: APP_HandleUITokenRevoked"
  "${ADD}text B\\ninterrupt\\nshot call.png\\npress ok\\nexpect state edit\\nresume\\npress ok\\n" --png call.png
  --file phone/elf/BlackList.txt "${DEFAULT}\\r\\nB"
  --edited r.txt "${MODULE_NAMED}" "# A session of nuv-oka-sim. It holds what it needs: replay it on an empty phone folder with\\n#   nuv-oka-sim --headless --fs DIR --script FILE\\n# Its module is built for this computer: a script loads such a module only when it is the\\n# one the command line runs (--module FILE).\\noptions --lang en --app /elf/nuv-oka.elf --module nuv-oka.so --module-sha256 HASH\\npress soft-left\\npress down\\npress down\\npress ok\\ninterrupt\\npress ok\\nresume\\ntext B\\npress ok\\nexpect file /elf/BlackList.txt r.BlackList.txt\\nexpect screen r.png\\n"
  -- --headless --lang en --trace --record r.txt --script -)
nuv_cli(resume-without-a-call 2 "script line 2 \\(resume\\): no incoming call interrupts the application" "press down\\nresume\\n" -- --headless --script -)
nuv_cli(text-under-a-call 2 "script line 5 \\(text x\\): the call screen covers the character editor" "${ADD}interrupt\\ntext x\\n" -- --headless --script -)
nuv_cli(restart-reads-the-file-afresh 0 "" "${ADD}text B\\npress ok\\npress end\\nrestart RU\\npress down\\nexpect state main\\nshot r.png\\n"
  --png r.png --file phone/elf/BlackList.txt "${DEFAULT}\\r\\nB" -- --headless --lang en --script -)
nuv_cli(restart-after-the-end 0 "" "press end\\nrestart\\nexpect state main\\n" -- --headless --script -)
nuv_cli(expect-screen-equal 0 "" "shot a.png\\nexpect screen a.png\\n" -- --headless --script -)
nuv_cli(expect-screen-differs 1 "differs from a.png in [0-9]+ pixels, from \\([0-9]+, [0-9]+\\) to" "shot a.png\\npress soft-left\\nexpect screen a.png\\n"
  --png a.diff.png -- --headless --script -)
nuv_cli(expect-screen-other-size 2 "font.png is [0-9]+ x [0-9]+ pixels, not 176 x 220" "expect screen ${PROJECT_SOURCE_DIR}/docs/font.png\\n" -- --headless --allow-any-path --script -)
nuv_cli(expect-screen-unreadable 2 "cannot read missing.png" "expect screen missing.png\\n" -- --headless --script -)
nuv_cli(expect-file-equal 0 "" "expect file /elf/BlackList.txt phone/elf/BlackList.txt\\n" -- --headless --script -)
nuv_cli(expect-file-differs 1 "differs from .*README.md first at byte 0: the phone's file has 0x2B, the host file 0x23"
  "expect file /elf/BlackList.txt ${PROJECT_SOURCE_DIR}/docs/README.md\\n" -- --headless --allow-any-path --script -)
nuv_cli(expect-file-missing-on-the-phone 1 "the phone has no file /elf/none.txt" "expect file /elf/none.txt phone/elf/BlackList.txt\\n" -- --headless --script -)
nuv_cli(trace 0 "event 0x2034 key down, state main: HandleKeypress, from line 1" "press down\\n" -- --headless --trace --script -)
nuv_cli(record 0 "" "press down 2\\npress soft-left\\nshot x.png\\n"
  --edited r.txt "${MODULE_NAMED}" "# A session of nuv-oka-sim. It holds what it needs: replay it on an empty phone folder with\\n#   nuv-oka-sim --headless --fs DIR --script FILE\\n# Its module is built for this computer: a script loads such a module only when it is the\\n# one the command line runs (--module FILE).\\noptions --lang en --app /elf/nuv-oka.elf --module nuv-oka.so --module-sha256 HASH\\npress down\\npress down\\npress soft-left\\nexpect file /elf/BlackList.txt r.BlackList.txt\\nexpect screen r.png\\n"
  --file r.BlackList.txt "${DEFAULT}" --png r.png
  -- --headless --lang en --record r.txt --script -)
nuv_cli(recording-that-cannot-be-written 2 "the recording /dev/full could not be written" "press down\\n"
  -- --headless --record /dev/full --script -)
nuv_cli(trace-calls-of-no-function 2 "--trace-calls: DL_fs\\* matches no platform function" "" -- --headless --trace-calls=DL_fs*)
nuv_cli(trace-calls-into-two-files 2 "--trace-calls takes at most one file, not a.txt and b.txt" ""
  -- --headless --trace-calls=a.txt,b.txt)
nuv_cli(profile-of-a-host-module 2 "--profile counts the instructions of the phone's own module" "" -- --headless --profile p.out)
nuv_cli(missing-key-map 2 "cannot read the key map missing.txt: No such file or directory" "" -- --keymap missing.txt)
# The key map is checked headless too: a PC key on two lines is a bad line.
nuv_cli(missing-key-map-headless 2 "cannot read the key map missing.txt: No such file or directory" ""
  -- --headless --keymap missing.txt)
nuv_cli(key-mapped-twice 2 "/dev/stdin line 4: F2 is mapped already, on line 2" "# keys\nF2 = soft-left\nReturn = none\nF2 = ok\n"
  -- --headless --keymap /dev/stdin)

# Asked for the window where none can be shown, the runner says so in one line at once and runs
# headless: no display at all, the X11 driver without DISPLAY, a display that is not there, a
# driver that shows nothing. A hang fails by the timeout.
set(NO_WINDOW "^nuv-oka-sim: no window can be opened: [^;]*; running headless$")
nuv_cli(no-display-runs-headless 0 "${NO_WINDOW}" "press end\nexpect state ended\n" --png shot.png
  -- --fs ph --script - --screenshot shot.png)
nuv_cli(no-display-for-x11 0 "${NO_WINDOW}" "" -- --fs ph)
nuv_cli(display-not-there 0 "${NO_WINDOW}" "" -- --fs ph)
nuv_cli(driver-that-shows-nothing 0 "${NO_WINDOW}" "" -- --fs ph)
set(NO_WINDOW_LSAN "LSAN_OPTIONS=set:suppressions=${CMAKE_CURRENT_SOURCE_DIR}/window-lsan.supp")
set_tests_properties(cli.no-display-runs-headless cli.no-display-for-x11 cli.display-not-there
  cli.driver-that-shows-nothing PROPERTIES TIMEOUT 20)
set_tests_properties(cli.no-display-runs-headless PROPERTIES ENVIRONMENT_MODIFICATION
  "DISPLAY=unset:;WAYLAND_DISPLAY=unset:;SDL_VIDEODRIVER=unset:;${NO_WINDOW_LSAN}")
set_tests_properties(cli.no-display-for-x11 PROPERTIES ENVIRONMENT_MODIFICATION
  "DISPLAY=unset:;WAYLAND_DISPLAY=unset:;SDL_VIDEODRIVER=set:x11;${NO_WINDOW_LSAN}")
set_tests_properties(cli.display-not-there PROPERTIES ENVIRONMENT_MODIFICATION
  "DISPLAY=set::4321;WAYLAND_DISPLAY=unset:;SDL_VIDEODRIVER=unset:;${NO_WINDOW_LSAN}")
set_tests_properties(cli.driver-that-shows-nothing PROPERTIES ENVIRONMENT_MODIFICATION
  "SDL_VIDEODRIVER=set:offscreen;${NO_WINDOW_LSAN}")
# The README's example, as written there.
nuv_cli(readme-example 0 "" "" --copy ${PROJECT_SOURCE_DIR}/examples --png phone/added.png
  -- --headless --fs phone --lang en --script examples/add-record.txt)

# Faults from the command line: the numbers they take, and a disk too small for a change.
nuv_cli(fault-needs-a-number-from-one 2 "--fail-open" "" -- --headless --fail-open 0)
nuv_cli(fault-needs-a-number 2 "--fail-read" "" -- --headless --fail-read x)
nuv_cli(fault-given-twice 2 "--fail-write" "" -- --headless --fail-write 1 --fail-write 2)
nuv_cli(disk-too-small-for-a-change 0 ""
  "press soft-left\\npress down\\npress down\\npress ok\\ntext +79001234567 a new friend\\npress ok\\nexpect state main\\n"
  --file ph/elf/BlackList.txt "${DEFAULT}" --absent ph/elf/BlackList.tmp
  -- --headless --fs ph --disk-limit 40 --script -)

# The phone's own module on the emulated ARM CPU: a whole session, its trace, a module that imports
# what the platform lacks, one that hands the platform an address it does not own, and one that
# reads one.
set(ARM_TESTS ${NUV_ARM_BUILD}/tests/arm)
nuv_cli(arm-session 0 "" "press soft-left\\npress down\\npress down\\npress ok\\ntext two words\\npress ok\\nexpect state main\\npress end\\nexpect state ended\\n"
  --file ph/elf/BlackList.txt "${DEFAULT}\\r\\ntwo words" -- --headless --fs ph --script - --module ${NUV_ARM_MODULE})
nuv_cli(arm-trace 0 "event 0x2034 key down, state main: HandleKeypress" "press down\\n"
  -- --headless --trace --script - --module ${NUV_ARM_MODULE})
nuv_cli(arm-unknown-import 4 "imports NoSuchPlatformFunction, which the platform does not have" ""
  -- --headless --module ${ARM_TESTS}/unknown-import.elf)
nuv_cli(arm-foreign-address 4 "handed DL_FsDeleteFile an address it does not own as its first argument \\(program counter 0x[0-9A-F]{8} in (__real_)?Lib\\+0x[0-9A-F]+, address 0x00000040, last platform call DL_FsDeleteFile\\)" ""
  -- --headless --module ${ARM_TESTS}/foreign-address.elf)
nuv_cli(arm-crash 4 "read from an address it does not own \\(program counter 0x[0-9A-F]{8} in (__real_)?Lib\\+0x[0-9A-F]+, address 0x00000044, last platform call none\\)" ""
  -- --headless --app /wild.elf --module ${ARM_TESTS}/foreign-address.elf)
# --gdb debugs the phone's own module only, on a port that exists.
nuv_cli(gdb-needs-the-phones-module 2 "--gdb debugs the phone's own module" "" -- --headless --gdb 0)
nuv_cli(gdb-port-out-of-range 2 "--gdb" "" -- --headless --gdb 65536)

# A newcomer's mistakes are told at once, each with its reason.
nuv_cli(disk-limit-negative 2 "--disk-limit: takes a number of bytes .*, not \"-5\"" "" -- --headless --disk-limit -5)
nuv_cli(disk-limit-too-large 2 "not \"99999999999999999999\"" "" -- --headless --disk-limit 99999999999999999999)
nuv_cli(module-by-a-bare-name 0 "" "" --copy $<TARGET_FILE:nuv-oka> --file phone/elf/BlackList.txt "${DEFAULT}"
  -- --headless --module $<TARGET_FILE_NAME:nuv-oka>)
nuv_cli(expect-screen-not-a-png 2 "cannot read .*README.md: it is not a PNG file" "expect screen ${PROJECT_SOURCE_DIR}/README.md\\n"
  -- --headless --allow-any-path --script -)
nuv_cli(gif-into-a-missing-folder 2 "cannot write /nonexistent/x.gif: there is no folder /nonexistent" "" -- --headless --gif /nonexistent/x.gif)
nuv_cli(screenshot-into-a-missing-folder 2 "--screenshot: cannot write /nonexistent/x.png: there is no folder /nonexistent" ""
  -- --headless --screenshot /nonexistent/x.png)
nuv_cli(screenshot-makes-a-relative-folder 0 "" "" --png shots/x.png -- --headless --screenshot shots/x.png)
nuv_cli(fs-is-a-file 2 "--fs .*README.md: that is a file, not a folder" "" -- --headless --fs ${PROJECT_SOURCE_DIR}/README.md)
nuv_cli(script-with-a-byte-order-mark 0 "" "\\xEF\\xBB\\xBFpress down\\nexpect state main\\n" -- --headless --script /dev/stdin)
nuv_cli(power-loss-is-told 3 "--power-loss-at-write 1: the power goes in call 1 of DL_FsWriteFile: [0-9]+ of its [0-9]+ bytes are stored" ""
  -- --headless --power-loss-at-write 1)
nuv_cli(trace-tells-each-fault 0 "fault --fail-read 3: call 3 of DL_FsReadFile fails, from line 1" "press down\\n"
  -- --headless --trace --fail-read 3 --script -)

# A program drives the phone through a pipe: each line is answered once it is done, a bad line is
# told and skipped, and the status says whether an expect failed, else whether a line was bad.
nuv_cli(pipe-answers-each-line 1 "" "press down\\npress dwn\\n\\n# a comment\\nexpect state edit\\npress up\\n"
  --output "ok\\nerror: standard input: script line 2: press takes a key name (see --help) or a code from 0 to 255, not \"dwn\": press dwn\\nok\\nok\\nerror: standard input: script line 5 (expect state edit): expected state edit, found main\\nok"
  -- --headless --script -)
nuv_cli(pipe-with-a-bad-line-ends-with-2 2 "" "press dwn\\npress down\\n" -- --headless --script -)
nuv_cli(pipe-ends-when-the-power-goes 3 "nuv-oka-sim: --power-loss-at-write 2: the power goes" "${ADD}text b\\npress ok\\npress down\\n"
  -- --headless --power-loss-at-write 2 --script -)

# A script file's first lines may give the options that shape the run and the files it starts
# from, as a recording does; the command line's own options take precedence.
set(SHAPED "options --fail-write 1\\nput /elf/BlackList.txt KzcgYQ==\\n${ADD}text b\\npress ok\\n")
nuv_cli(script-start-shapes-the-run 0 "" "${SHAPED}" --file phone/elf/BlackList.txt "+7 a" -- --headless --script /dev/stdin)
nuv_cli(command-line-takes-precedence 0 "" "${SHAPED}" --file phone/elf/BlackList.txt "+7 a\\r\\nb"
  -- --headless --fail-write 9 --script /dev/stdin)
nuv_cli(script-options-never-say-where-to-write 2 "only --lang, --app, --arm, --module, --module-sha256 and the faults, not --fs" "options --fs /tmp\\n"
  -- --headless --script /dev/stdin)
nuv_cli(options-after-an-action 2 "options stand only among a script file's first lines" "press down\\noptions --lang ru\\n"
  -- --headless --script /dev/stdin)
nuv_cli(put-needs-base64 2 "put takes the file's bytes in base64, not \"abc\"" "put /elf/x.txt abc\\n" -- --headless --script -)

# Testing a module: a suite with its JUnit report, two builds in lockstep, budgets as expectations.
nuv_cli(suite-of-three 1 "^2 passed, 1 failed$" "" --copy ${CMAKE_CURRENT_SOURCE_DIR}/suite
  --says "^PASS down.txt \\([0-9.]+ s\\)$" --says "^FAIL more/edit.txt: line 4: expected state main, found edit \\(expect state main\\)$"
  --edited r.xml "s/time=\"[0-9.]+\"/time=\"T\"/g"
  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"suite\" tests=\"3\" failures=\"1\" errors=\"0\" time=\"T\">\n    <testcase classname=\"suite\" name=\"down.txt\" time=\"T\"/>\n    <testcase classname=\"suite\" name=\"end.txt\" time=\"T\"/>\n    <testcase classname=\"suite\" name=\"more/edit.txt\" time=\"T\">\n      <failure message=\"line 4: expected state main, found edit (expect state main)\">line 4: expected state main, found edit (expect state main)</failure>\n      <system-out>nuv-oka-sim: suite/more/edit.txt: script line 4 (expect state main): expected state main, found edit\n</system-out>\n    </testcase>\n  </testsuite>\n</testsuites>\n"
  -- --suite suite --junit r.xml --jobs 2)
nuv_cli(suite-of-nothing 2 "--suite found no script" "" -- --suite .)
nuv_cli(lockstep-stops-where-the-builds-differ 1 "the modules differ after line 2 \\(press key-9\\): /elf/long.txt \\(written: lockstep-1-hostile-differs.so.png"
  "press key-1\\npress key-9\\npress key-1\\n" --png lockstep-1-hostile-differs.so.png --png lockstep-difference.png
  -- --module $<TARGET_FILE:hostile-differs> --lockstep ${NUV_ARM_BUILD}/tests/arm/differs.elf --script /dev/stdin)
nuv_cli(lockstep-of-one-application 0 "nuv-oka.so and nuv-oka.elf agree after 9 actions"
  "press down 3\\npress soft-left\\npress down 2\\npress ok\\ntext +7 Жук\\npress ok\\ninterrupt\\nresume\\npress end\\n"
  -- --module $<TARGET_FILE:nuv-oka> --lockstep ${NUV_ARM_MODULE} --lang ru --script /dev/stdin)
nuv_cli(budgets-kept 0 "" "press down\\nexpect heap 0\\nexpect open-files 0\\nexpect instructions 100000\\n"
  -- --headless --arm --script /dev/stdin)
nuv_cli(instructions-over-budget 1 "script line 2 \\(expect instructions 100\\): the action before ran [0-9]+ ARM instructions, over its budget of 100"
  "press down\\nexpect instructions 100\\n" -- --headless --arm --script /dev/stdin)
nuv_cli(instructions-of-a-host-module 2 "expect instructions counts the phone's own module" "expect instructions 5\\n"
  -- --headless --script /dev/stdin)
nuv_cli(heap-over-budget 1 "script line 3 \\(expect heap 15\\): the module holds 16 bytes of heap, over its budget of 15"
  "press key-0\\nexpect heap 16\\nexpect heap 15\\n"
  -- --headless --module ${NUV_ARM_BUILD}/tests/arm/planted.elf --app /leak.elf --script /dev/stdin)
