# The simulator's command line as users' scripts rely on it: options, script actions, exit
# statuses, messages and the files a run leaves. Each case runs nuv-oka-sim in a fresh folder
# with the script on standard input (see tools/cli-case.sh for the checks).
#
#   nuv_cli(NAME STATUS PATTERN SCRIPT [CHECK...] -- ARGUMENTS...)
function(nuv_cli name status pattern script)
  add_test(NAME cli.${name}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/cli-case.sh $<TARGET_FILE:nuv-oka-sim> ${status} "${pattern}" "${script}" ${ARGN})
endfunction()

set(DEFAULT "+80501234567 info")
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
nuv_cli(missing-script 2 "missing.txt" "" -- --headless --script missing.txt)
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
nuv_cli(restart-reads-the-file-afresh 0 "" "${ADD}text B\\npress ok\\npress end\\nrestart RU\\npress down\\nexpect state main\\nshot r.png\\n"
  --png r.png --file phone/elf/BlackList.txt "${DEFAULT}\\r\\nB" -- --headless --lang en --script -)
nuv_cli(restart-after-the-end 0 "" "press end\\nrestart\\nexpect state main\\n" -- --headless --script -)
nuv_cli(expect-screen-equal 0 "" "shot a.png\\nexpect screen a.png\\n" -- --headless --script -)
nuv_cli(expect-screen-differs 1 "differs from a.png in [0-9]+ pixels, from \\([0-9]+, [0-9]+\\) to" "shot a.png\\npress soft-left\\nexpect screen a.png\\n"
  --png a.diff.png -- --headless --script -)
nuv_cli(expect-screen-other-size 2 "font.png is [0-9]+ x [0-9]+ pixels, not 176 x 220" "expect screen ${PROJECT_SOURCE_DIR}/docs/font.png\\n" -- --headless --script -)
nuv_cli(expect-screen-unreadable 2 "cannot read missing.png" "expect screen missing.png\\n" -- --headless --script -)
nuv_cli(expect-file-equal 0 "" "expect file /elf/BlackList.txt phone/elf/BlackList.txt\\n" -- --headless --script -)
nuv_cli(expect-file-differs 1 "differs from .*README.md first at byte 0: the phone's file has 0x2B, the host file 0x23"
  "expect file /elf/BlackList.txt ${PROJECT_SOURCE_DIR}/docs/README.md\\n" -- --headless --script -)
nuv_cli(expect-file-missing-on-the-phone 1 "the phone has no file /elf/none.txt" "expect file /elf/none.txt phone/elf/BlackList.txt\\n" -- --headless --script -)
nuv_cli(trace 0 "event 0x2034 key 45, state main: HandleKeypress" "press down\\n" -- --headless --trace --script -)
nuv_cli(record 0 "" "press down 2\\npress soft-left\\nshot x.png\\n"
  --file r.txt "# A session of nuv-oka-sim. Replay it with\\n#   nuv-oka-sim --headless --lang en --app /elf/nuv-oka.elf --script FILE\\npress down\\npress down\\npress soft-left\\n"
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
nuv_cli(readme-example 0 "" "" --copy ${PROJECT_SOURCE_DIR}/examples --png added.png
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
nuv_cli(arm-trace 0 "event 0x2034 key 45, state main: HandleKeypress" "press down\\n"
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
