#include "child_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

extern char** environ;

namespace runner {

ChildProcess::ChildProcess(pid_t pid, int output)
    : pid_(pid), output_(output), started_(std::chrono::steady_clock::now()) {}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      output_(std::exchange(other.output_, -1)),
      text_(std::move(other.text_)),
      started_(other.started_),
      ended_(other.ended_) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    std::swap(pid_, other.pid_);
    std::swap(output_, other.output_);
    std::swap(text_, other.text_);
    std::swap(started_, other.started_);
    std::swap(ended_, other.ended_);
    return *this;
}

ChildProcess::~ChildProcess() {
    if (output_ >= 0) ::close(output_);
    if (pid_ > 0) {
        // A child abandoned before its end (the suite itself is stopping) is not left behind.
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

sim::Result<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                                              const std::string& input) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return sim::failure(std::string("cannot make a pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (error != 0) {
        ::close(pipeFds[0]);
        return sim::failure("cannot start " + program + ": " + std::strerror(error));
    }
    return ChildProcess(pid, pipeFds[0]);
}

bool ChildProcess::readOutput() {
    if (output_ < 0) return false;
    char bytes[8192];
    const ssize_t got = ::read(output_, bytes, sizeof bytes);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    if (got <= 0) {
        ::close(std::exchange(output_, -1));
        return false;
    }
    text_.append(bytes, std::min(static_cast<std::size_t>(got), kMostOutput - std::min(kMostOutput, text_.size())));
    return true;
}

int ChildProcess::wait() {
    while (readOutput()) {
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    ended_ = std::chrono::steady_clock::now();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

double ChildProcess::seconds() const {
    return std::chrono::duration<double>(ended_.value_or(std::chrono::steady_clock::now()) - started_).count();
}

}  // namespace runner
