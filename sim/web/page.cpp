// The web page's side of the simulator, compiled to WebAssembly: one Session of the application
// linked into this program, with the phone body of the desktop window around its display. The
// page's JavaScript (page/page.js) calls these functions; nothing runs unless it does, so an
// idle page spends no time here.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "body.hpp"
#include "faults.hpp"
#include "linked/linked_module.hpp"
#include "options.hpp"
#include "pc_keys.hpp"
#include "page_query.hpp"
#include "session.hpp"

namespace {

constexpr const char* kRoot = "/phone";                 // IndexedDB keeps it (page/page.js)
constexpr const char* kRecording = "/tmp/session.txt";  // the "Record" button downloads it
constexpr const char* kScriptBox = "script box";

struct Page {
    std::ostringstream out, err;
    web::PageSettings settings;
    std::unique_ptr<runner::Session> session;
    window::PhoneBody body;
    std::set<std::size_t> lit;
    std::vector<std::uint8_t> rgba;
    std::string text;
    runner::Ending stopped;  // how the run ended, while it has
};

Page& page() {
    static Page p;
    return p;
}

// The messages the session wrote since last asked.
std::string messages() {
    Page& p = page();
    std::string all = p.out.str() + p.err.str();
    p.out.str({});
    p.err.str({});
    return all;
}

// What the page's calls return while the application runs on.
constexpr int kGoesOn = -1;

int status(runner::Ending stop) {
    if (stop) page().stopped = stop;
    return stop ? sim::exitCode(*stop) : kGoesOn;
}

const std::uint8_t* toRgba(const sim::Surface& surface) {
    std::vector<std::uint8_t>& rgba = page().rgba;
    rgba.resize(static_cast<std::size_t>(surface.width() * surface.height()) * 4);
    std::size_t i = 0;
    for (const sim::Rgb565 c : surface.pixels()) {
        const sim::Rgb888 rgb = sim::toRgb888(c);
        rgba[i++] = rgb.r;
        rgba[i++] = rgb.g;
        rgba[i++] = rgb.b;
        rgba[i++] = 0xFF;
    }
    return rgba.data();
}

const char* keep(std::string text) {
    page().text = std::move(text);
    return page().text.c_str();
}

bool running() { return page().session && !page().stopped; }

}  // namespace

extern "C" {

// Starts the application anew with the settings of `query` ("lang=ru&fail-write=1"), the
// recording begun afresh. The status is -1 while it runs; the messages say why not.
EMSCRIPTEN_KEEPALIVE int nuv_start(const char* query) {
    Page& p = page();
    p.session.reset();
    p.stopped.reset();
    auto settings = web::parseQuery(query);
    if (!settings) {
        p.err << settings.error().message << "\n";
        return sim::exitCode(sim::ExitStatus::Refused);
    }
    p.settings = *settings;
    runner::Options options;
    options.fs = kRoot;
    // The application is linked in: its module's name gives its file on the phone.
    options.module = "nuv-oka.so";
    options.app = runner::defaultAppPath(options.module);
    options.language = p.settings.language;
    options.record = kRecording;
    // Armed at the first load, as the runner's are, so that the recording carries them.
    options.faults = p.settings.faults;
    runner::SessionConfig config(options);
    std::istringstream description(sim::linkedApplication().description);
    config.description =
        runner::parseDescription(description, "the application's description").value_or(runner::ModuleDescription{});
    // Nothing can stop a call that does not return in a page: no watchdog.
    config.limits.callTime = std::chrono::milliseconds{0};
    p.session = std::make_unique<runner::Session>(std::move(config), p.out, p.err);
    return status(p.session->start());
}

// The PC keys of the phone and of the editor, as the page's script reads them (pc_keys.hpp).
EMSCRIPTEN_KEEPALIVE const char* nuv_key_table() {
    static const std::string table = runner::pcKeysJson();
    return table.c_str();
}

EMSCRIPTEN_KEEPALIVE int nuv_press(int key) {
    return running() ? status(page().session->press(static_cast<std::uint8_t>(key))) : kGoesOn;
}

EMSCRIPTEN_KEEPALIVE void nuv_type(const char* utf8) {
    if (!running()) return;
    bool valid = true;
    page().session->type(runner::utf16FromUtf8(utf8, valid));
}

EMSCRIPTEN_KEEPALIVE void nuv_edit(int key) {
    if (running()) page().session->edit(static_cast<sim::EditKey>(key));
}

EMSCRIPTEN_KEEPALIVE void nuv_elapse(int milliseconds) {
    if (running()) page().session->elapse(runner::Milliseconds{milliseconds});
}

// Milliseconds until time changes what the phone shows, or -1 while nothing waits.
EMSCRIPTEN_KEEPALIVE int nuv_until_due() {
    if (!running()) return -1;
    const auto due = page().session->untilDue();
    return due ? static_cast<int>(due->count()) : -1;
}

// Restarts the application with fresh globals, in the language named ("ru", "en", a number;
// empty: the same one).
EMSCRIPTEN_KEEPALIVE int nuv_restart(const char* language) {
    Page& p = page();
    if (!p.session) return -1;
    std::optional<std::uint8_t> id;
    if (*language) {
        id = runner::parseLanguage(language);
        if (!id) {
            p.err << "no language is called " << language << "\n";
            return sim::exitCode(sim::ExitStatus::Refused);
        }
        p.settings.language = *id;
    }
    p.stopped.reset();
    return status(p.session->restart(id));
}

// One line of a script: -1 when it went through, else the status that it would end the runner with.
EMSCRIPTEN_KEEPALIVE int nuv_run_line(const char* line, int number) {
    if (!page().session) return sim::exitCode(sim::ExitStatus::Refused);
    if (page().stopped) {
        page().err << "the application has ended; Restart starts it again\n";
        return sim::exitCode(sim::ExitStatus::Refused);
    }
    const runner::Ending stop = page().session->perform(line, number, kScriptBox);
    // A line that is wrong or an expectation that fails ends a script, not the application.
    return stop == sim::ExitStatus::ExpectFailed || stop == sim::ExitStatus::Refused ? sim::exitCode(*stop)
                                                                                     : status(stop);
}

EMSCRIPTEN_KEEPALIVE const char* nuv_messages() { return keep(messages()); }

EMSCRIPTEN_KEEPALIVE int nuv_editor_open() { return running() && page().session->editorOpen(); }
EMSCRIPTEN_KEEPALIVE int nuv_ended() { return !running() || page().session->ended(); }
EMSCRIPTEN_KEEPALIVE void nuv_repaint() {
    if (running()) page().session->repaint();
}

// The display alone, 176 x 220 RGBA.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* nuv_screen() {
    return toRgba(page().session ? page().session->screen() : sim::Surface());
}

// The phone body with the display in it and the lit keys lit, kWidth x kHeight RGBA.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* nuv_picture() {
    Page& p = page();
    const sim::Surface display = p.session ? p.session->screen() : sim::Surface();
    // The keypad is labelled in the language the application runs in, which a script's restart changes.
    const std::uint8_t language = p.session ? p.session->language() : p.settings.language;
    return toRgba(p.body.paint(display, p.lit, sim::phoneLanguage(language), "nuv-oka", nullptr));
}
EMSCRIPTEN_KEEPALIVE int nuv_picture_width() { return window::PhoneBody::kWidth; }
EMSCRIPTEN_KEEPALIVE int nuv_picture_height() { return window::PhoneBody::kHeight; }

// Where the display lies in the picture.
EMSCRIPTEN_KEEPALIVE int nuv_display_left() { return window::PhoneBody::kDisplay.x; }
EMSCRIPTEN_KEEPALIVE int nuv_display_top() { return window::PhoneBody::kDisplay.y; }

// The box of a body key in the picture: left, top, width, height.
EMSCRIPTEN_KEEPALIVE const int* nuv_key_box(int index) {
    static int box[4];
    const window::Area& b = page().body.keys().at(static_cast<std::size_t>(index)).box;
    box[0] = b.x;
    box[1] = b.y;
    box[2] = b.width;
    box[3] = b.height;
    return box;
}

// The body's key at a point of the picture, or -1; its phone key code (-1 for none).
EMSCRIPTEN_KEEPALIVE int nuv_key_at(int x, int y) {
    const auto key = page().body.keyAt(x, y);
    return key ? static_cast<int>(*key) : -1;
}
EMSCRIPTEN_KEEPALIVE int nuv_key_for(int code) {
    const auto key = page().body.keyFor(code);
    return key ? static_cast<int>(*key) : -1;
}
EMSCRIPTEN_KEEPALIVE int nuv_key_code(int index) { return page().body.keys().at(static_cast<std::size_t>(index)).code; }
EMSCRIPTEN_KEEPALIVE void nuv_light(int index, int on) {
    if (index < 0) return;
    if (on)
        page().lit.insert(static_cast<std::size_t>(index));
    else
        page().lit.erase(static_cast<std::size_t>(index));
}

// A phone key's code by its script name ("soft-left", "key-5"), or -1.
EMSCRIPTEN_KEEPALIVE int nuv_key_named(const char* name) {
    const auto key = runner::parseKey(name);
    return key ? *key : -1;
}

// The facts of the window's side panel, one a line.
EMSCRIPTEN_KEEPALIVE const char* nuv_panel() {
    if (!page().session) return "";
    std::string text;
    // The page has no key for the call: a script line ends it.
    for (const std::string& line : page().session->panel("resume in the script box ends it")) text += line + "\n";
    return keep(text);
}

}  // extern "C"
