// nuv-oka-sim: runs the application in the simulated phone, headless, from a script.
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>

#include "options.hpp"
#include "phone.hpp"
#include "png.hpp"
#include "script.hpp"

namespace {

std::filesystem::path moduleBesideThisProgram() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (ec ? std::filesystem::current_path() : self.parent_path()) / "nuv-oka.so";
}

}  // namespace

int main(int argc, char** argv) {
    const char* lang = std::getenv("LANG");
    auto parsed = runner::parseOptions(std::vector<std::string>(argv + 1, argv + argc), lang ? lang : "",
                                       moduleBesideThisProgram());
    if (auto* exit = std::get_if<runner::Exit>(&parsed)) {
        (exit->status == 0 ? std::cout : std::cerr) << exit->text << "\n";
        return exit->status;
    }
    const runner::Options& options = std::get<runner::Options>(parsed);

    std::vector<runner::ScriptLine> script;
    if (options.script) {
        std::ifstream file;
        if (*options.script != "-") {
            file.open(*options.script);
            if (!file) {
                std::cerr << "nuv-oka-sim: cannot read the script " << *options.script << "\n";
                return 2;
            }
        }
        auto lines = runner::parseScript(*options.script == "-" ? std::cin : file);
        if (auto* error = std::get_if<runner::ScriptError>(&lines)) {
            std::cerr << "nuv-oka-sim: " << error->message << "\n";
            return 2;
        }
        script = std::move(std::get<std::vector<runner::ScriptLine>>(lines));
    }
    if (!options.headless) std::cerr << "nuv-oka-sim: this simulator has no window yet; running headless\n";

    std::error_code ec;
    std::filesystem::create_directories(options.fs, ec);
    // The application's own file lies in its folder on a phone, so that folder exists.
    // A folder that would climb out of the phone's root is not made; the phone refuses
    // such a path anyway.
    const auto appFolder = std::filesystem::path(options.app).parent_path().relative_path();
    const bool climbs = std::any_of(appFolder.begin(), appFolder.end(), [](const auto& part) { return part == ".."; });
    if (!appFolder.empty() && !climbs) std::filesystem::create_directories(options.fs / appFolder, ec);
    if (ec) {
        std::cerr << "nuv-oka-sim: cannot create " << options.fs.string() << ": " << ec.message() << "\n";
        return 2;
    }

    sim::Phone phone({options.fs, options.language});
    runner::applyFaults(phone, options.faults);
    const sim::BootResult boot = phone.boot(options.module, options.app);
    if (boot.status == sim::BootStatus::Faulted) {
        std::cerr << "nuv-oka-sim: " << boot.message << "\n";
        return 4;
    }
    if (!boot) {
        std::cerr << "nuv-oka-sim: the application cannot start: " << boot.message << " (application path "
                  << options.app << ", " << options.app.size() << " characters)\n";
        return 2;
    }
    const int status = runner::runScript(phone, script, std::cerr);
    if (status != 2 && options.screenshot) {
        std::string error;
        if (!sim::writePng(phone.screen(), *options.screenshot, error)) {
            std::cerr << "nuv-oka-sim: " << error << "\n";
            return 2;
        }
    }
    return status;
}
