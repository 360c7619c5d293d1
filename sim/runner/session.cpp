#include "session.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>

#include "instruction_profile.hpp"
#include "module_hash.hpp"
#include "session_parts.hpp"

namespace runner {

namespace fs = std::filesystem;
using namespace session_parts;

Session::Session(SessionConfig config, std::ostream& out, std::ostream& err)
    : config_(std::move(config)), out_(out), err_(err), recorder_(err), traces_(config_.trace, err) {}

Session::~Session() = default;

Milliseconds Session::now() const {
    return config_.clock ? config_.clock() : film_.frames() * config_.frameLength + waited_;
}

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
    if (Ending refused = openOutputs()) return refused;
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

// The recording, the file of traced calls and the GIF, each where its option names it.
Ending Session::openOutputs() {
    const auto refused = [this](const sim::Error& error) {
        err_ << "nuv-oka-sim: " << error.message << "\n";
        return ExitStatus::Refused;
    };
    if (config_.record)
        if (auto opened = recorder_.open(*config_.record); !opened) return refused(opened.error());
    if (config_.traceCalls && config_.traceCalls->file)
        if (auto opened = traces_.openCallFile(*config_.traceCalls->file); !opened) return refused(opened.error());
    if (config_.gif)
        if (auto opened = film_.open(*config_.gif); !opened) return refused(opened.error());
    return std::nullopt;
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
    if (booted && first && recorder_.recording())
        recorder_.writeStart(RecordedRun{config_.language, config_.app, config_.module, emulated_, config_.faults},
                             phone_->files().sandbox().root());
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

// The host files in the application's folder on the phone, by name: the record file among them.
std::vector<fs::path> Session::filesBesideTheApplication() const {
    std::vector<fs::path> files;
    const auto host = phone_->files().sandbox().resolve(widened(config_.app));
    if (!host) return files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(host->parent_path(), ec))
        if (entry.symlink_status(ec).type() == fs::file_type::regular) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// A new phone, the old one gone, with the folder of the application's own file made.
Ending Session::makePhone() {
    phone_.reset();  // one phone at a time: the old one unloads its module first
    phone_ = std::make_unique<sim::Phone>(
        sim::PhoneOptions{config_.fs, config_.language, typingFilter(description_.typing), config_.limits});
    phone_->framework().observeDeliveries([this](const sim::Delivery& d) { observe(d); });
    if (config_.traceCalls)
        phone_->calls().start([this](std::string_view line) { traces_.calls() << line << "\n"; },
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

void Session::observe(const sim::Delivery& delivery) {
    lastDelivery_ = delivery;
    if (!traces_.tracesEvents()) return;
    traces_.event(describe(delivery) + ", state " + stateName(delivery.state) + ": " +
                  handlerName(*phone_, delivery.handler) + sender_ + "\n");
}

// A fault option fired: the trace says so, and the power going is always said, as it ends the
// run at once.
void Session::reportFault(const std::string& what, bool endsTheRun) {
    if (endsTheRun) err_ << "nuv-oka-sim: " << what << std::endl;
    traces_.fault("fault " + what + sender_ + "\n", endsTheRun);
}

void Session::frameShown() {
    if (film_.filming() && phone_) film_.shown(phone_->screen(), now());
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
            recorder_.record("text " + utf8FromUtf16(text));
        }
        if (confirms(key) || key == KEY_END) recorder_.record("press " + keyName(key));
    } else {
        recorder_.record("press " + keyName(key));
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
    recorder_.record("restart " + languageArgument(config_.language));
    return boot();
}

void Session::repaint() {
    phone_->tick();
    frameShown();
}

std::optional<fs::path> Session::screenshot() {
    // In the phone folder's own screenshots/.
    const auto written = writeScreenshot(phone_->screen(), config_.fs / "screenshots", moduleFileLabel());
    if (!written) {
        err_ << "nuv-oka-sim: " << written.error().message << std::endl;
        return std::nullopt;
    }
    out_ << "nuv-oka-sim: screenshot written to " << written->string() << std::endl;
    return *written;
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
    if (film_.filming())
        if (const auto closed = film_.close(now()); !closed) {
            err_ << "nuv-oka-sim: " << closed.error().message << "\n";
            keepOr();
        }
    if (recorder_.recording()) {
        if ((status == ExitStatus::Ran || status == ExitStatus::ExpectFailed) && phone_ && !broken_)
            recorder_.pinEnd(filesBesideTheApplication(), fs::path(config_.app).parent_path().string(),
                             phone_->screen());
        if (const auto closed = recorder_.close(); !closed) {
            err_ << "nuv-oka-sim: " << closed.error().message << "\n";
            keepOr();
        }
    }
    return status;
}

}  // namespace runner
