// The session's incoming calls: `interrupt` and `resume` in scripts, F6 in the window. Both are
// recorded, so a recording replays them; the end key that declines a call on the call screen is
// recorded as the key it is.
#include "session.hpp"

namespace runner {

bool Session::interrupted() const { return phone_->interrupted(); }

bool Session::interrupt() {
    if (!phone_->interrupt()) return false;
    recorder_.record("interrupt");
    frameShown();
    return true;
}

bool Session::resume() {
    if (!phone_->interrupted()) return false;
    recorder_.record("resume");
    phone_->resume();
    frameShown();
    return true;
}

// A call that cannot begin or end is a mistake in the script, as an editor action without an
// editor is: the run stops with status 2 rather than going on from another screen than meant.
Ending Session::run(const Interrupt&, const std::string& where) {
    if (interrupt()) return std::nullopt;
    return fail(ExitStatus::Refused, where + "an incoming call already interrupts the application");
}

Ending Session::run(const Resume&, const std::string& where) {
    if (resume()) return std::nullopt;
    return fail(ExitStatus::Refused, where + "no incoming call interrupts the application");
}

}  // namespace runner
