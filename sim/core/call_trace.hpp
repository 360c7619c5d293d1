#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sim {

// The trace of the platform functions a module calls: one line a call, with its decoded
// arguments and its result, for the calls whose names match the patterns. A call that calls
// into the module again (a handler, an entry routine) shows as two lines, before and after, with
// the calls made meanwhile indented under it.
class CallTrace {
public:
    using Sink = std::function<void(std::string_view line)>;

    // Traces into `sink` the functions whose names match one of `patterns`, shell globs such as
    // "DL_Fs*"; all of them when there are none.
    void start(Sink sink, std::vector<std::string> patterns = {});

    bool wants(const char* function);
    void write(std::string_view line) const;
    // Around a call that calls into the module: what it leads to is indented under it.
    void enter() { ++depth_; }
    void leave() { --depth_; }

private:
    Sink sink_;
    std::vector<std::string> patterns_;
    std::unordered_map<const char*, bool> decided_;  // by the function's name, which is a constant
    int depth_ = 0;
};

}  // namespace sim
