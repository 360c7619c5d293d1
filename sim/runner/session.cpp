#include "session.hpp"

#include <algorithm>
#include <ctime>
#include <iomanip>
#include <istream>
#include <ostream>
#include <sstream>

#include "png.hpp"
#include "instruction_profile.hpp"
#include "screendiff.hpp"

namespace runner {

namespace fs = std::filesystem;

namespace {

std::string hex(std::uint32_t value, int digits) {
    std::ostringstream out;
    out << "0x" << std::uppercase << std::hex << std::setw(digits) << std::setfill('0') << value;
    return out.str();
}

std::string languageName(std::uint8_t id) {
    if (id == LANGUAGE_RUSSIAN) return "ru";
    if (id == LANGUAGE_ENGLISH) return "en";
    return std::to_string(id);
}

// The name of an event handler: the application's symbol when its module knows it.
std::string handlerName(const sim::Phone& phone, sim::ModuleAddress handler) {
    if (!handler) return "no handler";
    const sim::Module* module = phone.loader.module();
    const std::string name = module ? module->nameOf(handler) : "";
    return name.empty() ? hex(static_cast<std::uint32_t>(handler), 8) : name;
}

std::string describe(const sim::Delivery& d) {
    std::string text = "event " + hex(d.code, 4);
    if (d.code == EV_KEY_PRESS) text += " key " + std::to_string(d.key);
    return text;
}

std::optional<std::string> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in || fs::is_directory(file)) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The application's path as the application itself sees it: each byte of its 8-bit text
// widened to one 16-bit unit, which the phone's file service then maps to a host name.
std::u16string widened(const std::string& path) {
    std::u16string out;
    for (unsigned char c : path) out.push_back(c);
    return out;
}

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x80; });
}

bool confirms(std::uint8_t key) { return key == KEY_OK || key == KEY_SELECT || key == KEY_SOFT_LEFT; }

}  // namespace

sim::Result<std::vector<ScriptLine>> loadScript(const fs::path& file) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) return sim::failure("the script " + file.string() + " is a folder, not a file");
    std::ifstream in(file);
    if (!in) return sim::failure("cannot read the script " + file.string());
    return parseScript(in).map_error([&](const sim::Error& e) { return sim::Error{file.string() + ": " + e.message}; });
}

SessionConfig::SessionConfig(const Options& options)
    : fs(options.fs),
      module(options.module),
      app(options.app),
      language(options.language),
      trace(options.trace),
      traceCalls(options.traceCalls),
      gdbPort(options.gdbPort),
      limits(options.limits),
      record(options.record),
      gif(options.gif),
      profile(options.profile),
      frameLength(options.delay.value_or(Defaults::headlessDelay)) {}

Session::Session(SessionConfig config, std::ostream& out, std::ostream& err)
    : config_(std::move(config)), out_(out), err_(err) {}

Session::~Session() = default;

Milliseconds Session::now() const { return config_.clock ? config_.clock() : frames_ * config_.frameLength + waited_; }

Stop Session::start() {
    if (config_.record) {
        recording_.open(*config_.record);
        if (!recording_) {
            err_ << "nuv-oka-sim: cannot write the recording " << config_.record->string() << "\n";
            return 2;
        }
        recording_ << "# A session of nuv-oka-sim. Replay it with\n#   nuv-oka-sim --headless --lang "
                   << languageName(config_.language) << " --app " << config_.app << " --script FILE\n";
    }
    if (config_.traceCalls && config_.traceCalls->file) {
        callTraceFile_.open(*config_.traceCalls->file);
        if (!callTraceFile_) {
            err_ << "nuv-oka-sim: cannot write the trace of calls " << config_.traceCalls->file->string() << "\n";
            return 2;
        }
    }
    if (config_.gif) {
        auto opened = GifWriter::open(*config_.gif);
        if (!opened) {
            err_ << "nuv-oka-sim: " << opened.error().message << "\n";
            return 2;
        }
        gif_ = std::move(*opened);
    }
    std::error_code ec;
    fs::create_directories(config_.fs, ec);
    if (ec) {
        err_ << "nuv-oka-sim: cannot create " << config_.fs.string() << ": " << ec.message() << "\n";
        return 2;
    }
    return boot();
}

Stop Session::boot() {
    phone_.reset();  // one phone at a time: the old one unloads its module first
    phone_ = std::make_unique<sim::Phone>(
        sim::PhoneOptions{config_.fs, config_.language, application().typing, config_.limits});
    phone_->framework.observeDeliveries([this](const sim::Delivery& d) { observe(d); });
    if (config_.traceCalls)
        phone_->calls.start([this](std::string_view line) { callTrace() << line << "\n"; },
                            config_.traceCalls->patterns);

    // The application's own file lies in its folder on a phone, so that folder exists: the
    // one the phone's file service maps the application's path to.
    const auto host = phone_->files.sandbox().resolve(widened(config_.app));
    if (!host) {
        err_ << "nuv-oka-sim: the phone refuses the application path " << config_.app
             << " (it must name a file below the phone's root, without \"..\" or links)\n";
        return 2;
    }
    std::error_code ec;
    fs::create_directories(host->parent_path(), ec);
    if (ec) {
        err_ << "nuv-oka-sim: cannot create " << host->parent_path().string() << ": " << ec.message() << "\n";
        return 2;
    }
    if (!isAscii(config_.app))
        out_ << "nuv-oka-sim: the application's folder " << fs::path(config_.app).parent_path().string()
             << " lies on the host at " << host->parent_path().string() << "\n";

    if (config_.prepare) config_.prepare(*phone_);
    auto booted = phone_->load(config_.module);
    if (booted && config_.profile && !phone_->loader.module()->profileInto(&profile_)) {
        err_ << "nuv-oka-sim: --profile counts the instructions of the phone's own module on the emulated CPU; "
             << config_.module.string() << " runs on this computer's own CPU\n";
        return 2;
    }
    if (booted) {
        if (Stop stop = attachDebugger(!debugger_)) return stop;
        booted = phone_->start(config_.app);
    }
    if (Stop stop = debuggerEnded()) return stop;
    if (!booted && booted.error().status == sim::BootStatus::Faulted) {
        err_ << "nuv-oka-sim: at start: " << booted.error().message << "\n";
        return 4;
    }
    if (!booted) {
        err_ << "nuv-oka-sim: the application cannot start: " << booted.error().message << " (application path "
             << config_.app << ", " << config_.app.size() << " characters)\n";
        return 2;
    }
    frameShown();
    return checkFault("at start: ");
}

std::ostream& Session::callTrace() { return callTraceFile_.is_open() ? callTraceFile_ : err_; }

void Session::observe(const sim::Delivery& delivery) {
    lastDelivery_ = delivery;
    if (!config_.trace) return;
    const std::string line = describe(delivery) + ", state " + stateName(delivery.state) + ": " +
                             handlerName(*phone_, delivery.handler) + "\n";
    err_ << line;
    // In a file of calls, too, each event stands before the calls it leads to.
    if (callTraceFile_.is_open()) callTraceFile_ << line;
}

void Session::record(const std::string& line) {
    if (recording_.is_open()) recording_ << line << "\n" << std::flush;
}

void Session::frameShown() {
    if (gif_ && phone_ && gif_->add(phone_->screen(), now())) ++frames_;
}

Stop Session::checkFault(const std::string& where) {
    if (Stop stop = debuggerEnded()) return stop;
    if (!phone_ || phone_->framework.fault().empty()) return std::nullopt;
    err_ << "nuv-oka-sim: " << where << phone_->framework.fault() << "\n";
    return 4;
}

Stop Session::press(std::uint8_t key) {
    if (phone_->editorOpen()) {
        // Inside the editor only the keys that close it are recorded; its text goes first when it
        // was changed (a replay opens the editor on the same text).
        const sim::CharacterEditor& editor = *phone_->dialogs.topEditor();
        if (confirms(key) && editor.text() != editor.openedWith()) {
            std::u16string text = editor.text();
            // A script line ends at a line break: one in the text goes as a blank.
            std::replace_if(
                text.begin(), text.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
            record("text " + utf8FromUtf16(text));
        }
        if (confirms(key) || key == KEY_END) record("press " + keyName(key));
    } else {
        record("press " + keyName(key));
    }
    phone_->press(key);
    frameShown();
    return checkFault("");
}

void Session::type(std::u16string_view text) {
    if (auto* editor = phone_->dialogs.topEditor()) editor->type(text);
    frameShown();
}

void Session::edit(sim::EditKey key) {
    if (auto* editor = phone_->dialogs.topEditor()) editor->edit(key);
    frameShown();
}

void Session::elapse(Milliseconds time) {
    if (phone_->advance(time)) frameShown();
}

std::optional<Milliseconds> Session::untilDue() { return phone_->untilDue(); }

Stop Session::restart(std::optional<std::uint8_t> language) {
    if (language) config_.language = *language;
    record("restart " + languageName(config_.language));
    return boot();
}

void Session::repaint() {
    phone_->tick();
    frameShown();
}

void Session::screenshot() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    const auto millis = std::chrono::duration_cast<Milliseconds>(std::chrono::system_clock::now().time_since_epoch());
    std::ostringstream name;
    name << application().name << "-" << std::put_time(&local, "%Y%m%d-%H%M%S") << "-" << std::setw(3)
         << std::setfill('0') << millis.count() % 1000 << ".png";
    const fs::path file = config_.fs / "screenshots" / name.str();
    if (const auto written = sim::writePng(phone_->screen(), file))
        out_ << "nuv-oka-sim: screenshot written to " << file.string() << std::endl;
    else
        err_ << "nuv-oka-sim: " << written.error().message << std::endl;
}

sim::Surface Session::screen() { return phone_->screen(); }
bool Session::ended() const { return phone_->lifecycle() == sim::Lifecycle::Ended; }
bool Session::editorOpen() { return phone_->editorOpen(); }

Stop Session::perform(const ScriptLine& line, const std::string& source) {
    const std::string where = source + ": script line " + std::to_string(line.number) + " (" + line.text + "): ";
    return std::visit(
        [&](const auto& action) -> Stop {
            constexpr Rules rules = std::decay_t<decltype(action)>::kRules;
            if (ended() && !rules.afterTheEnd) {
                err_ << "nuv-oka-sim: " << where << "the application has ended\n";
                return 2;
            }
            if (rules.needsEditor && !phone_->editorOpen()) {
                err_ << "nuv-oka-sim: " << where << "no character editor is open\n";
                return 2;
            }
            if (Stop stop = run(action, where)) return stop;
            return checkFault(where);
        },
        line.action);
}

Stop Session::perform(const std::string& raw, int number, const std::string& source) {
    const auto parsed = parseLine(raw, number);
    if (!parsed) {
        err_ << "nuv-oka-sim: " << source << ": " << parsed.error().message << std::endl;
        return 2;
    }
    const Stop stop = *parsed ? perform(**parsed, source) : std::nullopt;
    out_.flush();
    return stop;
}

Stop Session::performAll(std::istream& in, const std::string& source) {
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number)
        if (Stop stop = perform(raw, number, source)) return stop;
    return std::nullopt;
}

Stop Session::run(const Press& press, const std::string&) {
    for (int i = 0; i < press.times; ++i)
        if (Stop stop = this->press(press.key)) return stop;
    return std::nullopt;
}

Stop Session::run(const Tick&, const std::string&) {
    record("tick");
    repaint();
    return std::nullopt;
}

Stop Session::run(const Text& text, const std::string&) {
    phone_->setEditorText(text.text);
    frameShown();
    return std::nullopt;
}

Stop Session::run(const Back&, const std::string&) {
    record("back");
    phone_->editorBack();
    frameShown();
    return std::nullopt;
}

Stop Session::run(const Restart& restart, const std::string&) { return this->restart(restart.language); }

Stop Session::run(const Wait& wait, const std::string&) {
    if (config_.clock) {
        requestedWait_ += wait.time;
    } else {
        waited_ += wait.time;
        elapse(wait.time);
    }
    return std::nullopt;
}

Stop Session::run(const Shot& shot, const std::string& where) {
    if (const auto written = sim::writePng(phone_->screen(), shot.file); !written) {
        err_ << "nuv-oka-sim: " << where << written.error().message << "\n";
        return 2;
    }
    return std::nullopt;
}

Stop Session::run(const ExpectState& expect, const std::string& where) {
    if (stateName(*phone_) == expect.state) return std::nullopt;
    err_ << "nuv-oka-sim: " << where << "expected state " << expect.state << ", found " << stateName(*phone_) << "\n";
    return 1;
}

Stop Session::run(const ExpectScreen& expect, const std::string& where) {
    const auto expected = sim::readPng(expect.file);
    if (!expected) {
        err_ << "nuv-oka-sim: " << where << expected.error().message << "\n";
        return 2;
    }
    const sim::Surface actual = phone_->screen();
    if (expected->width() != actual.width() || expected->height() != actual.height()) {
        err_ << "nuv-oka-sim: " << where << expect.file << " is " << expected->width() << " x " << expected->height()
             << " pixels, not " << actual.width() << " x " << actual.height() << "\n";
        return 2;
    }
    const sim::ScreenDiff diff = sim::diffScreens(*expected, actual);
    if (!diff) return std::nullopt;
    const fs::path picture = fs::path(expect.file).replace_extension(".diff.png");
    err_ << "nuv-oka-sim: " << where << "the screen differs from " << expect.file << " in " << diff.differing
         << " pixels, from (" << diff.left << ", " << diff.top << ") to (" << diff.right << ", " << diff.bottom
         << "); the differences are shown in " << picture.string() << "\n";
    if (const auto written = sim::writePng(diff.picture, picture); !written)
        err_ << "nuv-oka-sim: " << written.error().message << "\n";
    return 1;
}

Stop Session::run(const ExpectFile& expect, const std::string& where) {
    const auto wanted = readBytes(expect.hostFile);
    if (!wanted) {
        err_ << "nuv-oka-sim: " << where << "cannot read " << expect.hostFile << "\n";
        return 2;
    }
    bool valid = true;
    const auto host = phone_->files.sandbox().resolve(utf16FromUtf8(expect.phonePath, valid));
    const auto held = valid && host ? readBytes(*host) : std::nullopt;
    if (!held) {
        err_ << "nuv-oka-sim: " << where << "the phone has no file " << expect.phonePath << "\n";
        return 1;
    }
    if (*held == *wanted) return std::nullopt;
    const auto [heldAt, wantedAt] = std::mismatch(held->begin(), held->end(), wanted->begin(), wanted->end());
    const auto at = heldAt - held->begin();
    err_ << "nuv-oka-sim: " << where << expect.phonePath << " differs from " << expect.hostFile << " first at byte "
         << at << ": ";
    const auto byte = [](auto it, const std::string& s) {
        return it == s.end() ? std::string("its end") : hex(static_cast<unsigned char>(*it), 2);
    };
    err_ << "the phone's file has " << byte(heldAt, *held) << ", the host file " << byte(wantedAt, *wanted) << " ("
         << held->size() << " and " << wanted->size() << " bytes)\n";
    return 1;
}

std::vector<std::string> Session::panel() {
    std::vector<std::string> lines;
    lines.push_back("state      " + stateName(*phone_));
    lines.push_back("language   " + languageName(config_.language));
    if (lastDelivery_) {
        lines.push_back("last event " + describe(*lastDelivery_).substr(6));
        lines.push_back("  in " + stateName(lastDelivery_->state) + ", " +
                        handlerName(*phone_, lastDelivery_->handler));
    }
    lines.push_back("memory     " + std::to_string(phone_->memory.outstandingBlocks()) + " blocks, " +
                    std::to_string(phone_->memory.outstandingBytes()) + " bytes");
    lines.push_back("open files " + std::to_string(phone_->files.openHandles()));
    // The files beside the application, the record file among them.
    const auto host = phone_->files.sandbox().resolve(widened(config_.app));
    if (!host) return lines;
    lines.push_back("files in " + fs::path(config_.app).parent_path().string() + "/");
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(host->parent_path(), ec))
        if (entry.is_regular_file(ec))
            lines.push_back("  " + entry.path().filename().string() + " " + std::to_string(entry.file_size(ec)) +
                            " bytes");
    return lines;
}

int Session::finish(int status) {
    finishDebugger(status);
    if (config_.profile && phone_) {
        if (sim::Module* module = phone_->loader.module()) module->profileInto(nullptr);
        if (auto written = profile_.write(*config_.profile, "nuv-oka-sim --module " + config_.module.string());
            !written) {
            err_ << "nuv-oka-sim: " << written.error().message << "\n";
            status = status ? status : 2;
        }
    }
    if (gif_) {
        if (const auto closed = gif_->close(now()); !closed) {
            err_ << "nuv-oka-sim: " << closed.error().message << "\n";
            status = status ? status : 2;
        }
        gif_.reset();
    }
    if (recording_.is_open()) {
        recording_.close();
        if (!recording_) {
            err_ << "nuv-oka-sim: the recording " << config_.record->string() << " could not be written\n";
            status = status ? status : 2;
        }
    }
    return status;
}

}  // namespace runner
