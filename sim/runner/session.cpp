#include "session.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <istream>
#include <ostream>
#include <sstream>

#include "instruction_profile.hpp"
#include "module_hash.hpp"
#include "png.hpp"
#include "screendiff.hpp"
#include "session_parts.hpp"

namespace runner {

namespace fs = std::filesystem;
using namespace session_parts;

sim::Result<std::vector<ScriptLine>> loadScript(const fs::path& file) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) return sim::failure("the script " + file.string() + " is a folder, not a file");
    std::ifstream in(file);
    if (!in) return sim::failure("cannot read the script " + file.string() + ": " + std::strerror(errno));
    return parseScript(in).map_error([&](const sim::Error& e) { return sim::Error{file.string() + ": " + e.message}; });
}

// A script file's first lines that give the run's options and starting files are taken before
// the application starts; the command line's own options take precedence.
sim::Result<Options> takeScriptStart(std::vector<ScriptLine>& lines, Options options, std::vector<Put>& startFiles,
                                     const fs::path& scriptFolder) {
    const auto start =
        std::find_if_not(lines.begin(), lines.end(), [](const ScriptLine& line) { return startsTheRun(line.action); });
    std::vector<std::string> args;
    for (auto line = lines.begin(); line != start; ++line) {
        if (const auto* given = std::get_if<SetOptions>(&line->action))
            args.insert(args.end(), given->args.begin(), given->args.end());
        else
            startFiles.push_back(std::get<Put>(line->action));
    }
    lines.erase(lines.begin(), start);
    if (args.empty()) return options;
    return withScriptOptions(std::move(options), args, scriptFolder).map_error([](const Exit& e) {
        return sim::Error{e.text};
    });
}

SessionConfig::SessionConfig(const Options& options)
    : fs(options.fs),
      module(options.module),
      moduleSha256(options.moduleSha256),
      app(options.app),
      language(options.language),
      trace(options.trace),
      traceCalls(options.traceCalls),
      gdbPort(options.gdbPort),
      limits(options.limits),
      faults(options.faults),
      record(options.record),
      gif(options.gif),
      profile(options.profile),
      coverage(options.coverage),
      hostFolders(HostFolders::of(options)),
      frameLength(options.delay.value_or(Defaults::headlessDelay)) {}

Session::Session(SessionConfig config, std::ostream& out, std::ostream& err)
    : config_(std::move(config)), out_(out), err_(err) {}

Session::~Session() = default;

Milliseconds Session::now() const { return config_.clock ? config_.clock() : frames_ * config_.frameLength + waited_; }

Ending Session::start() {
    if (config_.app.empty()) config_.app = defaultAppPath(config_.module);
    // The phone folder and the script's, as the session was given them.
    config_.hostFolders.add(config_.fs);
    if (config_.scriptFolder) config_.hostFolders.add(*config_.scriptFolder);
    if (Ending stop = readDescription()) return stop;
    checkModuleHash();
    for (const auto& written : {config_.record, config_.gif, config_.coverage, config_.profile})
        if (written)
            if (auto folder = sim::folderFor(*written); !folder) {
                err_ << "nuv-oka-sim: " << folder.error().message << "\n";
                return ExitStatus::Refused;
            }
    if (config_.record) {
        recording_.open(*config_.record);
        if (!recording_) {
            err_ << "nuv-oka-sim: cannot write the recording " << config_.record->string() << ": "
                 << std::strerror(errno) << "\n";
            return ExitStatus::Refused;
        }
    }
    if (config_.traceCalls && config_.traceCalls->file) {
        callTraceFile_.open(*config_.traceCalls->file);
        if (!callTraceFile_) {
            err_ << "nuv-oka-sim: cannot write the trace of calls " << config_.traceCalls->file->string() << "\n";
            return ExitStatus::Refused;
        }
    }
    if (config_.gif) {
        auto opened = GifWriter::open(*config_.gif);
        if (!opened) {
            err_ << "nuv-oka-sim: " << opened.error().message << "\n";
            return ExitStatus::Refused;
        }
        gif_ = std::move(*opened);
    }
    std::error_code ec;
    if (fs::exists(config_.fs, ec) && !fs::is_directory(config_.fs, ec)) {
        err_ << "nuv-oka-sim: --fs " << config_.fs.string() << ": that is a file, not a folder\n";
        return ExitStatus::Refused;
    }
    fs::create_directories(config_.fs, ec);
    if (ec) {
        err_ << "nuv-oka-sim: --fs " << config_.fs.string() << ": cannot create the folder: " << ec.message() << "\n";
        return ExitStatus::Refused;
    }
    for (const Put& put : config_.startFiles)
        if (auto written = putFile(put); !written) {
            err_ << "nuv-oka-sim: " << written.error().message << "\n";
            return ExitStatus::Refused;
        }
    return boot();
}

Ending Session::readDescription() {
    if (config_.description) {
        description_ = *config_.description;
        return std::nullopt;
    }
    auto read = runner::readDescription(config_.module);
    if (!read) {
        err_ << "nuv-oka-sim: " << read.error().message << "\n";
        return ExitStatus::Refused;
    }
    description_ = std::move(*read);
    return std::nullopt;
}

// A recording names the module it was made with by its hash: a replay against another build
// (one that mends what the recording shows, say) is said, and goes on.
void Session::checkModuleHash() {
    if (!config_.moduleSha256) return;
    const auto hash = sha256Of(config_.module);
    if (hash && *hash == *config_.moduleSha256) return;
    err_ << "nuv-oka-sim: the module " << config_.module.string() << " is not the one the script was recorded with ("
         << (hash ? "its SHA-256 is " + *hash : hash.error().message) << ", the script's " << *config_.moduleSha256
         << ")\n";
}

sim::Result<> Session::putFile(const Put& put) {
    bool valid = true;
    const auto host = sim::PathSandbox(config_.fs).resolve(utf16FromUtf8(put.phonePath, valid));
    if (!valid || !host) return sim::failure("the phone refuses the path " + put.phonePath);
    std::error_code ec;
    fs::create_directories(host->parent_path(), ec);
    // A new file takes the old one's place: a hard link to a file elsewhere is not written through.
    if (auto written = sim::replaceHostFile(*host, put.bytes); !written)
        return sim::failure("cannot write the phone's file " + put.phonePath + ": " + written.error().message);
    return {};
}

Ending Session::boot() {
    // What the application does while it starts is the start's, unless a script line restarts it.
    const bool atStart = sender_.empty();
    if (atStart) sender_ = ", at start";
    const Ending stop = startPhone();
    if (atStart) sender_.clear();
    return stop;
}

Ending Session::startPhone() {
    if (Ending refused = makePhone()) return refused;
    const bool first = !std::exchange(faultsArmed_, true);
    if (first)
        applyFaults(*phone_, config_.faults,
                    [this](const std::string& what, bool endsTheRun) { reportFault(what, endsTheRun); });
    auto booted = phone_->load(config_.module);
    if (booted) emulated_ = phone_->loader().module()->emulated();
    // Loading runs none of the module's code: the files are still those the run starts from.
    if (booted && first && recording_.is_open()) writeRecordingStart();
    if (booted) {
        if (Ending refused = measureModule()) return refused;
        if (Ending stop = attachDebugger(!debugger_)) return stop;
        booted = phone_->start(config_.app);
    }
    if (Ending stop = debuggerEnded()) return stop;
    if (phone_->poweredOff()) return checkFault("at start: ");
    if (!booted && booted.error().modulesFault()) {
        err_ << "nuv-oka-sim: at start: " << booted.error().message << "\n";
        return ExitStatus::Faulted;
    }
    if (!booted) {
        err_ << "nuv-oka-sim: the application cannot start: " << booted.error().message << " (application path "
             << config_.app << ", " << config_.app.size() << " characters)\n";
        return ExitStatus::Refused;
    }
    frameShown();
    // What the start cost the phone is what `expect instructions` checks before any action.
    lastActionCost_ = instructionsSoFar();
    return checkFault("at start: ");
}

// The profile and the coverage count the phone's own module only.
Ending Session::measureModule() {
    if (config_.coverage && !phone_->loader().module()->coverInto(&coverage_)) {
        err_ << "nuv-oka-sim: --coverage counts the lines of the phone's own module on the emulated CPU; "
             << config_.module.string() << " runs on this computer's own CPU\n";
        return ExitStatus::Refused;
    }
    if (config_.profile && !phone_->loader().module()->profileInto(&profile_)) {
        err_ << "nuv-oka-sim: --profile counts the instructions of the phone's own module on the emulated CPU; "
             << config_.module.string() << " runs on this computer's own CPU\n";
        return ExitStatus::Refused;
    }
    return std::nullopt;
}

// A new phone, the old one gone, with the folder of the application's own file made.
Ending Session::makePhone() {
    phone_.reset();  // one phone at a time: the old one unloads its module first
    phone_ = std::make_unique<sim::Phone>(
        sim::PhoneOptions{config_.fs, config_.language, typingFilter(description_.typing), config_.limits});
    phone_->framework().observeDeliveries([this](const sim::Delivery& d) { observe(d); });
    if (config_.traceCalls)
        phone_->calls().start([this](std::string_view line) { callTrace() << line << "\n"; },
                              config_.traceCalls->patterns);

    // The application's own file lies in its folder on a phone, so that folder exists: the
    // one the phone's file service maps the application's path to.
    const auto host = phone_->files().sandbox().resolve(widened(config_.app));
    if (!host) {
        err_ << "nuv-oka-sim: the phone refuses the application path " << config_.app
             << " (it must name a file below the phone's root, without \"..\" or links)\n";
        return ExitStatus::Refused;
    }
    std::error_code ec;
    fs::create_directories(host->parent_path(), ec);
    if (ec) {
        err_ << "nuv-oka-sim: cannot create " << host->parent_path().string() << ": " << ec.message() << "\n";
        return ExitStatus::Refused;
    }
    if (!isAscii(config_.app))
        out_ << "nuv-oka-sim: the application's folder " << fs::path(config_.app).parent_path().string()
             << " lies on the host at " << host->parent_path().string() << "\n";

    if (config_.prepare) config_.prepare(*phone_);
    return std::nullopt;
}

std::ostream& Session::callTrace() { return callTraceFile_.is_open() ? callTraceFile_ : err_; }

void Session::observe(const sim::Delivery& delivery) {
    lastDelivery_ = delivery;
    if (!config_.trace) return;
    const std::string line = describe(delivery) + ", state " + stateName(delivery.state) + ": " +
                             handlerName(*phone_, delivery.handler) + sender_ + "\n";
    err_ << line;
    // In a file of calls, too, each event stands before the calls it leads to.
    if (callTraceFile_.is_open()) callTraceFile_ << line;
}

// A fault option fired: the trace says so, and the power going is always said, as it ends the
// run at once.
void Session::reportFault(const std::string& what, bool endsTheRun) {
    if (endsTheRun) err_ << "nuv-oka-sim: " << what << std::endl;
    if (!config_.trace) return;
    const std::string line = "fault " + what + sender_ + "\n";
    if (!endsTheRun) err_ << line;
    if (callTraceFile_.is_open()) callTraceFile_ << line << std::flush;
}

void Session::frameShown() {
    if (gif_ && phone_ && gif_->add(phone_->screen(), now())) ++frames_;
}

Ending Session::checkFault(const std::string& where) {
    if (Ending stop = debuggerEnded()) return stop;
    if (phone_ && phone_->poweredOff()) {
        // The power went: what the module did after it changed nothing, and the run ends here.
        broken_ = true;
        problem_ = "the power went in a write";
        return ExitStatus::PowerLost;
    }
    if (!phone_ || phone_->framework().fault().empty()) return std::nullopt;
    broken_ = true;
    return fail(ExitStatus::Faulted, where + phone_->framework().fault());
}

Ending Session::press(std::uint8_t key) { return pressKey(key, ""); }

// A key pressed by a script line or a person; a fault it leads to is said with `where`.
Ending Session::pressKey(std::uint8_t key, const std::string& where) {
    if (phone_->editorOpen()) {
        // Inside the editor only the keys that close it are recorded; its text goes first when it
        // was changed (a replay opens the editor on the same text).
        const sim::CharacterEditor& editor = *phone_->dialogs().topEditor();
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
    return checkFault(where);
}

void Session::type(std::u16string_view text) {
    if (auto* editor = phone_->editor()) editor->type(text);
    frameShown();
}

void Session::edit(sim::EditKey key) {
    if (auto* editor = phone_->editor()) editor->edit(key);
    frameShown();
}

void Session::elapse(Milliseconds time) {
    if (phone_->advance(time)) frameShown();
}

std::optional<Milliseconds> Session::untilDue() { return phone_->untilDue(); }

Ending Session::restart(std::optional<std::uint8_t> language) {
    if (language) config_.language = *language;
    record("restart " + languageArgument(config_.language));
    return boot();
}

void Session::repaint() {
    phone_->tick();
    frameShown();
}

std::optional<fs::path> Session::screenshot() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    const auto millis = std::chrono::duration_cast<Milliseconds>(std::chrono::system_clock::now().time_since_epoch());
    std::ostringstream name;
    name << moduleFileLabel() << "-" << std::put_time(&local, "%Y%m%d-%H%M%S") << "-" << std::setw(3)
         << std::setfill('0') << millis.count() % 1000 << ".png";
    const fs::path file = config_.fs / "screenshots" / name.str();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);  // the phone folder's own, made when first used
    if (const auto written = sim::writePng(phone_->screen(), file); !written) {
        err_ << "nuv-oka-sim: " << written.error().message << std::endl;
        return std::nullopt;
    }
    out_ << "nuv-oka-sim: screenshot written to " << file.string() << std::endl;
    return file;
}

std::string Session::moduleKind() const { return emulated_ ? "ARM" : "host"; }

std::string Session::moduleName() const {
    std::string name = phone_ ? phone_->framework().appName() : "";
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c > 0x7E; }, '?');
    return name.empty() ? moduleFileName(config_.module) : name;
}

std::string Session::moduleFileLabel() const {
    std::string name = moduleName();
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c) && c != '-' && c != '_' && c != '.'; },
        '_');
    return name.find_first_not_of("._") == std::string::npos ? "module" : name;
}

std::string Session::stateName(std::uint32_t id) const { return runner::stateName(id, description_); }
std::string Session::stateName() const { return runner::stateName(*phone_, description_); }

sim::Surface Session::screen() { return phone_->screen(); }
bool Session::ended() const { return phone_->lifecycle() == sim::Lifecycle::Ended; }
bool Session::editorOpen() { return phone_->editorOpen(); }

std::vector<std::string> Session::panel(std::string_view howToResume) {
    std::vector<std::string> lines;
    lines.push_back("state      " + stateName());
    if (phone_->interrupted()) lines.push_back("interrupted by a call (" + std::string(howToResume) + ")");
    lines.push_back("language   " + languageArgument(config_.language));
    lines.push_back("module     " + moduleName() + ", " + moduleKind() + ", " + config_.module.filename().string());
    if (lastDelivery_) {
        lines.push_back("last event " + describe(*lastDelivery_).substr(6));
        lines.push_back("  in " + stateName(lastDelivery_->state) + ", " +
                        handlerName(*phone_, lastDelivery_->handler));
    }
    lines.push_back("memory     " + std::to_string(phone_->memory().outstandingBlocks()) + " blocks, " +
                    std::to_string(phone_->memory().outstandingBytes()) + " bytes");
    lines.push_back("open files " + std::to_string(phone_->files().openHandles()));
    // The files beside the application, the record file among them.
    lines.push_back("files in " + fs::path(config_.app).parent_path().string() + "/");
    std::error_code ec;
    for (const fs::path& file : filesBesideTheApplication())
        lines.push_back("  " + file.filename().string() + " " + std::to_string(fs::file_size(file, ec)) + " bytes");
    return lines;
}

ExitStatus Session::finish(ExitStatus status) {
    const auto keepOr = [&status] {
        if (status == ExitStatus::Ran) status = ExitStatus::Refused;
    };
    finishDebugger(status);
    if (config_.profile && phone_) {
        if (sim::Module* module = phone_->loader().module()) module->profileInto(nullptr);
        if (auto written = profile_.write(*config_.profile, "nuv-oka-sim --module " + config_.module.string());
            !written) {
            err_ << "nuv-oka-sim: " << written.error().message << "\n";
            keepOr();
        }
    }
    if (config_.coverage && phone_) {
        if (sim::Module* module = phone_->loader().module()) module->coverInto(nullptr);
        if (auto written = coverage_.write(*config_.coverage); !written) {
            err_ << "nuv-oka-sim: " << written.error().message << "\n";
            keepOr();
        }
    }
    if (gif_) {
        if (const auto closed = gif_->close(now()); !closed) {
            err_ << "nuv-oka-sim: " << closed.error().message << "\n";
            keepOr();
        }
        gif_.reset();
    }
    if (recording_.is_open()) {
        if ((status == ExitStatus::Ran || status == ExitStatus::ExpectFailed) && phone_ && !broken_) pinRecordingEnd();
        recording_.close();
        if (!recording_) {
            err_ << "nuv-oka-sim: the recording " << config_.record->string() << " could not be written\n";
            keepOr();
        }
    }
    return status;
}

}  // namespace runner
