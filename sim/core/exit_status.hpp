#pragma once
// How a run of the simulator ends, for every front end: the process's exit status and what it
// means. --help and the manual show this table; no other place writes a status as a number.
#include <cstdint>

namespace sim {

enum class ExitStatus : std::uint8_t {
    Ran = 0,           // the script ran to its end, or the window was closed
    ExpectFailed = 1,  // an expect failed
    Refused = 2,       // a bad option, key map or script line, or a module that cannot be run
    PowerLost = 3,     // the power went in a write (--power-loss-at-write)
    Faulted = 4,       // the module did something it must not
};

constexpr int exitCode(ExitStatus status) { return static_cast<int>(status); }

struct ExitStatusMeaning {
    ExitStatus status;
    const char* meaning;
};

inline constexpr ExitStatusMeaning kExitStatuses[] = {
    {ExitStatus::Ran, "the run ended well (the script ran to its end, or the window was closed)"},
    {ExitStatus::ExpectFailed, "an expect failed"},
    {ExitStatus::Refused,
     "a bad option, key map, script line or file, or a module that cannot be loaded\n"
     "     or started"},
    {ExitStatus::PowerLost, "the power went in a write (--power-loss-at-write)"},
    {ExitStatus::Faulted, "the module faulted"},
};

}  // namespace sim
