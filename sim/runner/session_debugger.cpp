// The session's side of GDB: the debugger of the phone's own module (sim/module/arm/), kept
// apart so that a build without the emulated CPU links the session without it.
#include "arm/debugger.hpp"
#include "session.hpp"

namespace runner {

void Session::DebuggerDeleter::operator()(sim::arm::Debugger* debugger) const {
    std::default_delete<sim::arm::Debugger>{}(debugger);
}

Ending Session::attachDebugger(bool first) {
    if (!config_.gdbPort) return std::nullopt;
    auto* module = dynamic_cast<sim::arm::ArmModule*>(phone_->loader().module());
    if (!module) {
        err_ << "nuv-oka-sim: --gdb debugs the phone's own module (a 32-bit ARM ELF file, NAME.elf); "
             << config_.module.string() << " is built for this computer and is debugged with gdb itself\n";
        return ExitStatus::Refused;
    }
    if (first) {
        auto listening = sim::arm::Debugger::listen(*config_.gdbPort);
        if (!listening) {
            err_ << "nuv-oka-sim: " << listening.error().message << "\n";
            return ExitStatus::Refused;
        }
        debugger_.reset(listening->release());
        debugger_->whileWaiting(keepAlive_);
        const std::string port = std::to_string(debugger_->port());
        out_ << "nuv-oka-sim: waiting for a debugger on 127.0.0.1:" << port << " (gdb-multiarch "
             << config_.module.string() << " -ex 'target remote :" << port << "')" << std::endl;
        if (auto accepted = debugger_->accept(); !accepted) {
            if (Ending stop = debuggerEnded()) return stop;  // the window was closed while it waited
            err_ << "nuv-oka-sim: " << accepted.error().message << "\n";
            return ExitStatus::Refused;
        }
    }
    debugger_->attach(*module, first);
    return std::nullopt;
}

// The debugger ended the run: that is no fault of the application's.
Ending Session::debuggerEnded() {
    if (!debugger_ || !debugger_->ended() || debugger_->crashed()) return std::nullopt;
    if (!std::exchange(debuggerEndSaid_, true)) out_ << "nuv-oka-sim: " << debugger_->whyEnded() << std::endl;
    return ExitStatus::Ran;
}

void Session::whilePaused(std::function<bool(std::string_view)> keepAlive) {
    keepAlive_ = std::move(keepAlive);
    if (debugger_) debugger_->whileWaiting(keepAlive_);
}

Ending Session::serveDebugger() {
    if (!debugger_) return std::nullopt;
    debugger_->serve();
    return debuggerEnded();
}

int Session::debuggerSocket() const { return debugger_ ? debugger_->socket() : -1; }

void Session::finishDebugger(ExitStatus status) {
    if (debugger_) debugger_->finish(sim::exitCode(status));
}

}  // namespace runner
