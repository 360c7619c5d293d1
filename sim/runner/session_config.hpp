#pragma once
// What shapes a Session: the command line's options, and what a front end adds to them.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "description.hpp"
#include "faults.hpp"
#include "host_folders.hpp"
#include "options.hpp"
#include "phone.hpp"
#include "script.hpp"

namespace runner {

using Milliseconds = std::chrono::milliseconds;

struct SessionConfig {
    // What the command line gives, its defaults where it gives nothing.
    explicit SessionConfig(const Options& options = {});

    std::filesystem::path fs;
    std::filesystem::path module;
    // The SHA-256 that a recording gives for its module: a module that differs is said.
    std::optional<std::string> moduleSha256;
    // What the simulator knows of the module beyond the module itself; read from beside the
    // module (descriptionFileOf) when none is given.
    std::optional<ModuleDescription> description;
    std::string app;
    std::uint8_t language;
    bool trace;
    std::optional<CallTracing> traceCalls;
    // Stops the phone's module before its entry runs and waits for GDB on this port of
    // 127.0.0.1 (0: any free port); the port is printed.
    std::optional<std::uint16_t> gdbPort;
    sim::Limits limits;
    // Armed when the module is first loaded: a restart runs without them.
    FaultOptions faults;
    // Phone files written before the application first starts (a script's first `put` lines).
    std::vector<Put> startFiles;
    // A relative host file that an expect names and the working folder lacks is looked up here:
    // the folder of the script, so that a recording replays from anywhere.
    std::optional<std::filesystem::path> scriptFolder;
    std::optional<std::filesystem::path> record;
    std::optional<std::filesystem::path> gif;
    std::optional<std::filesystem::path> profile;   // where the module's instructions are written
    std::optional<std::filesystem::path> coverage;  // where the lines it ran are written
    // Where the host files a script names may lie (host_folders.hpp): the working folder and the
    // folders the options name; the session adds `fs` and `scriptFolder` when it starts.
    HostFolders hostFolders;
    // Called with each new phone before its module is loaded.
    std::function<void(sim::Phone&)> prepare;
    // The real time of the run, where time passes by itself: the front end moves the phone's
    // clock, `wait` asks it to wait (requestedWait), and the GIF's frames last as long as they
    // were shown. Without it time passes only by `wait`, and each frame lasts `frameLength` and
    // the waits while it was shown.
    std::function<Milliseconds()> clock;
    Milliseconds frameLength;
};

}  // namespace runner
