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
nuv_cli(path-that-climbs 0 "" "" --absent x --absent BlackList.txt --absent ../BlackList.txt
  -- --headless --fs ph --app /x/../../escape.elf)
string(REPEAT d 245 LONG_FOLDER)
nuv_cli(path-too-long 2 "cannot start" "" -- --headless --app /${LONG_FOLDER}/a.elf)

# Faults from the command line: the numbers they take, and a disk too small for a change.
nuv_cli(fault-needs-a-number-from-one 2 "--fail-open" "" -- --headless --fail-open 0)
nuv_cli(fault-needs-a-number 2 "--fail-read" "" -- --headless --fail-read x)
nuv_cli(fault-given-twice 2 "--fail-write" "" -- --headless --fail-write 1 --fail-write 2)
nuv_cli(disk-too-small-for-a-change 0 ""
  "press soft-left\\npress down\\npress down\\npress ok\\ntext +79001234567 a new friend\\npress ok\\nexpect state main\\n"
  --file ph/elf/BlackList.txt "${DEFAULT}" --absent ph/elf/BlackList.tmp
  -- --headless --fs ph --disk-limit 40 --script -)
