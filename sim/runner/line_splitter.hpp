#pragma once
// Bytes as they arrive from a pipe, cut into lines: each ends at a line feed, and the last may
// lack one. The headless runner and the window read standard input through it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace runner {

class LineSplitter {
public:
    void add(std::string_view bytes) { pending_.append(bytes); }
    // The next whole line, without its line feed; none until one has arrived.
    std::optional<std::string> next() {
        const std::size_t end = pending_.find('\n', start_);
        if (end == std::string::npos) {
            pending_.erase(0, start_);
            start_ = 0;
            return std::nullopt;
        }
        std::string line = pending_.substr(start_, end - start_);
        start_ = end + 1;
        return line;
    }
    // At the end of the input: the last line when it lacked its line feed.
    std::optional<std::string> rest() {
        if (start_ >= pending_.size()) return std::nullopt;
        std::string line = pending_.substr(start_);
        pending_.clear();
        start_ = 0;
        return line;
    }

private:
    std::string pending_;
    std::size_t start_ = 0;  // where the lines not yet taken begin: taking one moves no bytes
};

}  // namespace runner
