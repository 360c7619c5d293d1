// nuv-oka-window-picture: the window's picture without a display, for the docs. Runs the
// script on standard input headless, then writes the phone body with the display in it,
// scaled as the window would show it, as a PNG.
//
//   nuv-oka-window-picture FS LANGUAGE SCALE OUT.png < SCRIPT
#include <iostream>

#include "body.hpp"
#include "keymap.hpp"
#include "options.hpp"
#include "png.hpp"
#include "module_defaults.hpp"
#include "session.hpp"

int main(int argc, char** argv) {
    const auto language = argc == 5 ? runner::parseLanguage(argv[2]) : std::nullopt;
    const int scale = argc == 5 ? std::atoi(argv[3]) : 0;
    if (!language || scale < 1 || scale > 8) {
        std::cerr << "usage: nuv-oka-window-picture FS LANGUAGE SCALE OUT.png < SCRIPT\n";
        return sim::exitCode(sim::ExitStatus::Refused);
    }
    runner::SessionConfig config;
    config.fs = argv[1];
    config.module = runner::moduleBesideThisProgram();
    config.language = *language;
    runner::Session session(config, std::cout, std::cerr);
    if (runner::Ending stop = session.start()) return sim::exitCode(*stop);
    if (runner::Ending stop = session.performAll(std::cin, runner::kStandardInput)) return sim::exitCode(*stop);
    const sim::Surface picture =
        window::PhoneBody(window::KeyMap::defaults().legend(window::PhoneBody::kLegendLength))
            .paint(session.screen(), {}, sim::phoneLanguage(*language), session.moduleName(), nullptr);
    sim::Surface scaled(picture.width() * scale, picture.height() * scale);
    for (int y = 0; y < scaled.height(); ++y)
        for (int x = 0; x < scaled.width(); ++x) scaled.set(x, y, picture.at(x / scale, y / scale));
    if (const auto written = sim::writePng(scaled, argv[4]); !written) {
        std::cerr << written.error().message << "\n";
        return sim::exitCode(sim::ExitStatus::Refused);
    }
    return sim::exitCode(session.finish(sim::ExitStatus::Ran));
}
