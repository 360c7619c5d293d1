// The session as a script runs it: each line parsed and performed by the action of its kind,
// and the answers of a piped script.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include "module_hash.hpp"
#include "png.hpp"
#include "screendiff.hpp"
#include "session.hpp"
#include "session_parts.hpp"

namespace runner {

namespace fs = std::filesystem;
using namespace session_parts;

Ending Session::fail(ExitStatus status, const std::string& message) {
    problem_ = message;
    if (!answering_) err_ << "nuv-oka-sim: " << message << "\n";
    return status;
}

Ending Session::perform(const ScriptLine& line, const std::string& source) {
    const std::string where =
        source + ": script line " + std::to_string(line.number) + " (" + excerpt(line.text) + "): ";
    sender_ = (source == kStandardInput ? ", from line " : ", from " + source + " line ") + std::to_string(line.number);
    const Ending stop = std::visit(
        [&](const auto& action) -> Ending {
            constexpr Rules rules = std::decay_t<decltype(action)>::kRules;
            if (ended() && !rules.afterTheEnd) return fail(ExitStatus::Refused, where + "the application has ended");
            if (rules.needsEditor && !phone_->editorOpen())
                return fail(
                    ExitStatus::Refused,
                    where + (phone_->interrupted() ? "the call screen covers the character editor (resume first)"
                                                   : "no character editor is open"));
            using Kind = std::decay_t<decltype(action)>;
            constexpr bool measures = !std::is_same_v<Kind, ExpectState> && !std::is_same_v<Kind, ExpectScreen> &&
                                      !std::is_same_v<Kind, ExpectFile> && !std::is_same_v<Kind, ExpectBudget>;
            const auto before = measures ? instructionsSoFar() : std::nullopt;
            const Ending stopped = run(action, where);
            // What an action cost the phone: a restart counts from its new module's load.
            if (measures) {
                const auto after = instructionsSoFar();
                lastActionCost_ = after && before && *after >= *before ? *after - *before : after;
            }
            if (stopped) return stopped;
            return checkFault(where);
        },
        line.action);
    sender_.clear();
    return stop;
}

Ending Session::perform(const std::string& raw, int number, const std::string& source) {
    const auto parsed = parseLine(raw, number);
    if (!parsed) return fail(ExitStatus::Refused, source + ": " + parsed.error().message);
    const Ending stop = *parsed ? perform(**parsed, source) : std::nullopt;
    out_.flush();
    return stop;
}

Session::Answer Session::answer(const std::string& raw, int number, const std::string& source) {
    problem_.clear();
    answering_ = true;
    const Ending stop = perform(raw, number, source);
    answering_ = false;
    const bool goesOn = !broken_ && (!stop || *stop == ExitStatus::ExpectFailed || *stop == ExitStatus::Refused);
    if (stop && problem_.empty()) problem_ = "the run ended with status " + std::to_string(sim::exitCode(*stop));
    return {stop, problem_, goesOn};
}

Ending Session::performPiped(const std::string& raw, int number, const std::string& source) {
    const Answer answered = answer(raw, number, source);
    out_ << (answered.stop ? "error: " + answered.problem : std::string("ok")) << std::endl;
    if (!answered.goesOn) return answered.stop;
    if (answered.stop == ExitStatus::ExpectFailed ||
        (answered.stop == ExitStatus::Refused && pipedStatus_ == ExitStatus::Ran))
        pipedStatus_ = *answered.stop;
    return std::nullopt;
}

Ending Session::performAll(std::istream& in, const std::string& source) {
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number)
        if (Ending stop = perform(raw, number, source)) return stop;
    return std::nullopt;
}

Ending Session::run(const Press& press, const std::string& where) {
    for (int i = 0; i < press.times; ++i)
        if (Ending stop = pressKey(press.key, where)) return stop;
    return std::nullopt;
}

Ending Session::run(const Tick&, const std::string&) {
    recorder_.record("tick");
    repaint();
    return std::nullopt;
}

Ending Session::run(const Text& text, const std::string&) {
    phone_->setEditorText(text.text);
    frameShown();
    return std::nullopt;
}

Ending Session::run(const Back&, const std::string&) {
    recorder_.record("back");
    phone_->editorBack();
    frameShown();
    return std::nullopt;
}

Ending Session::run(const Restart& restart, const std::string&) { return this->restart(restart.language); }

Ending Session::run(const Wait& wait, const std::string&) {
    if (config_.clock) {
        requestedWait_ += wait.time;
    } else {
        waited_ += wait.time;
        elapse(wait.time);
    }
    return std::nullopt;
}

Ending Session::run(const Shot& shot, const std::string& where) {
    if (const auto inside = config_.hostFolders.check(shot.file); !inside)
        return fail(ExitStatus::Refused, where + inside.error().message);
    if (const auto written = sim::writePng(phone_->screen(), shot.file); !written)
        return fail(ExitStatus::Refused, where + written.error().message);
    return std::nullopt;
}

Ending Session::run(const SetOptions&, const std::string& where) {
    return fail(ExitStatus::Refused,
                where + "options stand only among a script file's first lines, before any other action");
}

Ending Session::run(const Put& put, const std::string& where) {
    if (auto written = putFile(put); !written) return fail(ExitStatus::Refused, where + written.error().message);
    return std::nullopt;
}

// A host file an expect names: relative to the working folder, or else to the script's.
fs::path Session::hostFile(const std::string& named) const {
    const fs::path file(named);
    std::error_code ec;
    if (file.is_relative() && config_.scriptFolder && !fs::exists(file, ec) &&
        fs::exists(*config_.scriptFolder / file, ec))
        return *config_.scriptFolder / file;
    return file;
}

Ending Session::run(const ExpectState& expect, const std::string& where) {
    const bool ended = phone_->lifecycle() == sim::Lifecycle::Ended;
    const bool running = phone_->lifecycle() == sim::Lifecycle::Running;
    std::optional<std::uint32_t> id = expect.id;
    if (!id && expect.state != "ended") {
        id = description_.idOf(expect.state);
        if (!id) {
            std::string known;
            for (const StateName& state : description_.states) known += (known.empty() ? "" : ", ") + state.name;
            return fail(ExitStatus::Refused,
                        where + "the module's description names no state " + expect.state +
                            (description_.file ? " (" + description_.file->string() + " names " +
                                                     (known.empty() ? std::string("none") : known) + ")"
                                               : " (it has none: " + descriptionFileOf(config_.module).string() +
                                                     " would name them; or give the state's number)"));
        }
    }
    if (id ? running && phone_->stateId() == *id : ended) return std::nullopt;
    return fail(ExitStatus::ExpectFailed, where + "expected state " + expect.state + ", found " + stateName());
}

Ending Session::run(const ExpectScreen& expect, const std::string& where) {
    const fs::path file = hostFile(expect.file);
    if (const auto inside = config_.hostFolders.check(file); !inside)
        return fail(ExitStatus::Refused, where + inside.error().message);
    const sim::Surface actual = phone_->screen();
    // A reference of another size is refused from its header, before it is decoded.
    const auto expected = sim::readPng(file, sim::Size{actual.width(), actual.height()});
    if (!expected) return fail(ExitStatus::Refused, where + expected.error().message);
    const sim::ScreenDiff diff = sim::diffScreens(*expected, actual);
    if (!diff) return std::nullopt;
    // The picture of differences lies beside the reference, which is inside the folders allowed.
    const fs::path picture = fs::path(file).replace_extension(".diff.png");
    std::ostringstream message;
    message << where << "the screen differs from " << file.string() << " in " << diff.differing << " pixels, from ("
            << diff.left << ", " << diff.top << ") to (" << diff.right << ", " << diff.bottom
            << "); the differences are shown in " << picture.string();
    if (const auto written = sim::writePng(diff.picture, picture); !written)
        message << " (" << written.error().message << ")";
    return fail(ExitStatus::ExpectFailed, message.str());
}

std::optional<std::uint64_t> Session::instructionsSoFar() const {
    const sim::Module* module = phone_ ? phone_->loader().module() : nullptr;
    return module ? module->instructions() : std::nullopt;
}

Ending Session::run(const ExpectBudget& expect, const std::string& where) {
    using Measure = ExpectBudget::Measure;
    // `before` and `after` stand around the figure: "the module holds " 16 " bytes of heap".
    const auto over = [&](std::uint64_t measured, const char* before, const char* after) -> Ending {
        if (measured <= expect.most) return std::nullopt;
        return fail(ExitStatus::ExpectFailed, where + before + std::to_string(measured) + after +
                                                  ", over its budget of " + std::to_string(expect.most));
    };
    switch (expect.measure) {
    case Measure::Heap: return over(phone_->memory().outstandingBytes(), "the module holds ", " bytes of heap");
    case Measure::OpenFiles: return over(phone_->files().openHandles(), "the module holds ", " files open");
    case Measure::Instructions: break;
    }
    if (!emulated_)
        return fail(ExitStatus::Refused, where +
                                             "expect instructions counts the phone's own module on the emulated CPU; " +
                                             config_.module.string() + " runs on this computer's own CPU");
    return over(lastActionCost_.value_or(0), "the action before ran ", " ARM instructions");
}

Ending Session::run(const ExpectFile& expect, const std::string& where) {
    const fs::path file = hostFile(expect.hostFile);
    if (const auto inside = config_.hostFolders.check(file); !inside)
        return fail(ExitStatus::Refused, where + inside.error().message);
    const auto wanted = readBytes(file);
    if (!wanted) return fail(ExitStatus::Refused, where + wanted.error().message);
    bool valid = true;
    const auto host = phone_->files().sandbox().resolve(utf16FromUtf8(expect.phonePath, valid));
    std::error_code ec;
    if (!valid || !host || !fs::exists(fs::symlink_status(*host, ec)))
        return fail(ExitStatus::ExpectFailed, where + "the phone has no file " + expect.phonePath);
    const auto held = readBytes(*host);
    if (!held)
        return fail(ExitStatus::ExpectFailed,
                    where + "the phone's file " + expect.phonePath + ": " + held.error().message);
    if (*held == *wanted) return std::nullopt;
    const auto [heldAt, wantedAt] = std::mismatch(held->begin(), held->end(), wanted->begin(), wanted->end());
    const auto byte = [](auto it, const std::string& s) {
        return it == s.end() ? std::string("its end") : hexDigits(static_cast<unsigned char>(*it), 2);
    };
    return fail(ExitStatus::ExpectFailed, where + expect.phonePath + " differs from " + file.string() +
                                              " first at byte " + std::to_string(heldAt - held->begin()) +
                                              ": the phone's file has " + byte(heldAt, *held) + ", the host file " +
                                              byte(wantedAt, *wanted) + " (" + std::to_string(held->size()) + " and " +
                                              std::to_string(wanted->size()) + " bytes)");
}

}  // namespace runner
