#!/usr/bin/env bash
# A small mutation run of the simulator: each mutant below changes one operator on one line of
# sim/ (`<`/`<=`, `==`/`!=`, `&&`/`||`, +-1, true/false), the build is rebuilt, and the plain
# CTest suite (without the browser, the window, the fuzzers and the end-to-end gdb session) runs
# until its first failure. A mutant that no test fails survives. Prints each verdict, then
# killed/total. Not part of `make test`: it takes minutes a mutant.
#
#   tools/mutate.sh [BUILD]       (default build/, configured and built once already)
#   MUTATE_TESTS=regex            only the tests that match (ctest -R)
#   MUTATE_ONLY=substring         only the mutants whose line holds it
#   MUTATE_TARGETS="a b"          build only these targets for each mutant (default: all)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
build=${1:-build}
exclude='web_page|window_end_to_end|fuzz|gdb_session'

# FILE @@ TEXT @@ MUTATED: the first line of FILE that holds TEXT has it replaced by MUTATED.
mutants=(
  'sim/module/arm/gdb_connection.cpp @@ if (high < 0 || low < 0) return std::nullopt; @@ if (high < 0 && low < 0) return std::nullopt;'
  'sim/module/arm/gdb_target.cpp @@ if (!bytes || bytes->size() != 4) return std::nullopt; @@ if (!bytes && bytes->size() != 4) return std::nullopt;'
  'sim/module/arm/debugger.cpp @@ n && equals != std::string_view::npos && target_ @@ n && equals == std::string_view::npos && target_'
  'sim/core/resources.cpp @@ if (held > kMostBytes - (bytes_ - old)) return false; @@ if (held > kMostBytes - (bytes_ - old) + 1) return false;'
  'sim/core/framework.cpp @@ if (!code_ || !evcodes || @@ if (!code_ && !evcodes ||'
  'sim/core/glyphs.cpp @@ if (c >= 0x410 && c <= 0x44F) @@ if (c >= 0x410 || c <= 0x44F)'
  'sim/module/arm/arm_module.cpp @@ if (appPath.size() + 1 > kStackBytes / 2) return kFailed; @@ if (appPath.size() + 1 >= kStackBytes / 2) return kFailed;'
  'sim/module/arm/gdb_connection.cpp @@ if (ready < 0 && errno != EINTR) return Closed{}; @@ if (ready <= 0 && errno != EINTR) return Closed{};'
  'sim/module/arm/gdb_connection.cpp @@ out += kDigits[sum >> 4]; @@ out += kDigits[sum >> 5];'
  'sim/module/arm/debugger.cpp @@ text.substr(colon + 1)}; @@ text.substr(colon)};'
  'sim/module/arm/debugger.cpp @@ if (*type == 0 || *type == 1) { @@ if (*type == 0 && *type == 1) {'
  'sim/module/arm/gdb_connection.cpp @@ : end + 3 > kMostPacketBytes) { @@ : end + 3 > kMostPacketBytes + 1) {'
  'sim/core/png.cpp @@ const bool fits = size ? image.width ==  @@ const bool fits = size ? image.width != '
  'sim/core/host_paths.cpp @@ if (static_cast<std::uint64_t>(st.st_size) > most) @@ if (static_cast<std::uint64_t>(st.st_size) > most + 1)'
  'sim/core/host_paths.cpp @@ if (S_ISREG(mode)) return ""; @@ if (!S_ISREG(mode)) return "";'
  'sim/core/filesystem.cpp @@ if (exists ? !S_ISREG(st.st_mode) : mode == OpenMode::Read) return HostFile(); @@ if (exists ? S_ISDIR(st.st_mode) : mode == OpenMode::Read) return HostFile();'
  'sim/runner/host_folders.cpp @@ return inFolder == folder.end() || @@ return inFolder != folder.end() ||'
  'sim/runner/script.cpp @@ if (c < 0x20 || c == 0x7F) { @@ if (c < 0x1B || c == 0x7F) {'
  'sim/runner/script_file.cpp @@ if (++number_ < firstAction_) continue; @@ if (++number_ <= firstAction_) continue;'
  'sim/runner/recording_files.cpp @@ if (type == fs::file_type::symlink) return @@ if (type != fs::file_type::symlink && false) return'
)

run_tests() {
  local targets=()
  for target in ${MUTATE_TARGETS:-}; do targets+=(--target "$target"); done
  cmake --build "$build" -j"${JOBS:-2}" "${targets[@]}" >/dev/null 2>&1 || return 1
  if [ -n "${MUTATE_TESTS:-}" ]; then
    ctest --test-dir "$build" -j"${JOBS:-2}" --stop-on-failure --timeout 120 -R "$MUTATE_TESTS" -E "$exclude" >/dev/null 2>&1
  else
    ctest --test-dir "$build" -j"${JOBS:-2}" --stop-on-failure --timeout 120 -E "$exclude" >/dev/null 2>&1
  fi
}

# Applies one mutant: its file's first line holding the text gets the change; prints that line's number.
apply() {
  python3 - "$@" <<'PY'
import sys
file, text, mutated = sys.argv[1:4]
lines = open(file).read().split("\n")
for i, line in enumerate(lines):
    if text in line:
        lines[i] = line.replace(text, mutated, 1)
        open(file, "w").write("\n".join(lines))
        print(i + 1)
        break
PY
}

killed=0 total=0
for mutant in "${mutants[@]}"; do
  file=${mutant%% @@ *}
  rest=${mutant#* @@ }
  text=${rest%% @@ *}
  mutated=${rest#* @@ }
  [ -n "${MUTATE_ONLY:-}" ] && [[ $mutant != *"$MUTATE_ONLY"* ]] && continue
  cp "$file" "$file.unmutated"
  line=$(apply "$file" "$text" "$mutated")
  if [ -z "$line" ]; then
    echo "MISSING $file: no line holds: $text"
    mv "$file.unmutated" "$file"
    continue
  fi
  total=$((total + 1))
  if run_tests; then
    echo "SURVIVED $file:$line: $(sed -n "${line}p" "$file" | sed 's/^ *//')"
  else
    killed=$((killed + 1))
    echo "killed   $file:$line"
  fi
  mv "$file.unmutated" "$file"
  touch "$file"
done
cmake --build "$build" -j"${JOBS:-2}" >/dev/null 2>&1
echo "$killed/$total mutants killed"
