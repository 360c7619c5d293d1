#pragma once
// A run of another program (this simulator, for a suite's case) whose standard output and error
// are gathered together, bounded, while it runs.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "result.hpp"

namespace runner {

class ChildProcess {
public:
    // What a child may say before the rest is dropped.
    static constexpr std::size_t kMostOutput = 1 << 20;

    // Starts `program` with `args`, its standard input read from `input` (empty when none).
    static sim::Result<ChildProcess> start(const std::string& program, const std::vector<std::string>& args,
                                           const std::string& input = "/dev/null");
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // The pipe of its output, for poll; -1 once it is closed.
    int outputFd() const { return output_; }
    // Reads what is there; false once the output has ended.
    bool readOutput();
    // Waits for it to end, once its output has ended: its exit status, or 128 + the signal.
    int wait();

    const std::string& output() const { return text_; }
    double seconds() const;

private:
    ChildProcess(pid_t pid, int output);

    pid_t pid_ = -1;
    int output_ = -1;
    std::string text_;
    std::chrono::steady_clock::time_point started_;
    std::optional<std::chrono::steady_clock::time_point> ended_;
};

}  // namespace runner
