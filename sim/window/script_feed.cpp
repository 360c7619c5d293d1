#include "script_feed.hpp"

#include "line_splitter.hpp"

#include <SDL.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

namespace window {

// Lines of standard input as they arrive, read on a thread of their own so that the window
// answers while nothing comes. Each line wakes the window with `wake`.
class LineReader {
public:
    explicit LineReader(std::uint32_t wake) : wake_(wake), thread_([this] { read(); }) {}
    ~LineReader() {
        stop_ = true;
        thread_.join();
    }
    std::optional<std::string> next() {
        std::lock_guard lock(mutex_);
        if (lines_.empty()) return std::nullopt;
        std::string line = std::move(lines_.front());
        lines_.pop_front();
        return line;
    }
    bool finished() {
        std::lock_guard lock(mutex_);
        return ended_ && lines_.empty();
    }
    // A line is there to take, or the input has ended.
    bool ready() {
        std::lock_guard lock(mutex_);
        return ended_ || !lines_.empty();
    }

private:
    void read() {
        runner::LineSplitter lines;
        char buffer[4096];
        while (!stop_) {
            pollfd input{STDIN_FILENO, POLLIN, 0};
            if (::poll(&input, 1, 100) <= 0) continue;
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            std::lock_guard lock(mutex_);
            if (n > 0) lines.add(std::string_view(buffer, static_cast<std::size_t>(n)));
            while (auto line = lines.next()) lines_.push_back(std::move(*line));
            if (n <= 0) {
                if (auto last = lines.rest()) lines_.push_back(std::move(*last));
                ended_ = true;
            }
            SDL_Event event{};
            event.type = wake_;
            SDL_PushEvent(&event);
            if (ended_) return;
        }
    }

    std::uint32_t wake_;
    std::mutex mutex_;
    std::deque<std::string> lines_;
    bool ended_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

ScriptFeed::ScriptFeed(WindowScript script, std::uint32_t wake) : script_(std::move(script)) {
    if (script_.fromStandardInput) reader_ = std::make_unique<LineReader>(wake);
}

ScriptFeed::~ScriptFeed() = default;

bool ScriptFeed::over() {
    if (script_.file) return script_.file->atEnd();
    return !reader_ || reader_->finished();
}

bool ScriptFeed::ready() { return !over() && (script_.file || reader_->ready()); }

runner::Ending ScriptFeed::runNext(runner::Session& session) {
    if (script_.file) {
        auto line = script_.file->next();
        if (!line) return session.refuse(line.error().message);
        return *line ? session.perform(**line, script_.source) : std::nullopt;
    }
    // Each line is answered; an empty line or a comment is no action: the next line is taken at
    // once.
    while (auto raw = reader_ ? reader_->next() : std::nullopt) {
        ++number_;
        if (runner::Ending stop = session.performPiped(*raw, number_, script_.source)) return stop;
        if (!runner::skipped(*raw)) return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace window
