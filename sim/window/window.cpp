#include "window.hpp"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <map>
#include <set>

#include "body.hpp"
#include "script_feed.hpp"
#include "window_keys.hpp"

namespace window {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr Uint8 kBackground[] = {32, 34, 38};
constexpr auto kDebuggerEvery = std::chrono::milliseconds(100);
constexpr auto kNoticeFor = std::chrono::seconds(2);
constexpr const char* kEnded = "The application has ended.\n";

struct SdlDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
    void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
    void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};

// Keys whose press types a character: inside the editor they type instead of pressing.
bool types(SDL_Keycode key) { return key >= 0x20 && key != SDLK_DELETE && !(key & SDLK_SCANCODE_MASK); }

bool isDirection(int code) { return code >= KEY_UP && code <= KEY_RIGHT; }

}  // namespace

struct Window::Parts {
    explicit Parts(WindowOptions o) : options(std::move(o)), body(options.keys.legend(PhoneBody::kLegendLength)) {}
    WindowOptions options;
    PhoneBody body;
    std::unique_ptr<SDL_Window, SdlDeleter> window;
    std::unique_ptr<SDL_Renderer, SdlDeleter> renderer;
    std::unique_ptr<SDL_Texture, SdlDeleter> texture;
    int textureWidth = 0;
    int scale = 3;
    bool panel = false;
    std::set<std::size_t> lit;
    std::map<SDL_Keycode, std::size_t> heldKeys;
    std::optional<std::size_t> mouseKey;
    bool swallowText = false;  // the text that a key pressed as a phone key also sends
    bool quit = false;
    bool redraw = true;
    std::optional<sim::Surface> shown;
    // The display as the application left it: shown on after it has ended.
    std::optional<sim::Surface> lastDisplay;
    Uint32 wakeEvent = 0;
    std::deque<SDL_Event> heldEvents;  // while the debugger held the module
    std::string title_;                // the window's title as last set
    // A notice over the display, such as where F12 wrote its screenshot, until it is due to go.
    std::string notice;
    std::optional<SteadyClock::time_point> noticeUntil;

    int pictureWidth() const { return PhoneBody::kWidth + (panel ? PhoneBody::kPanelWidth : 0); }

    // The largest whole scale at which the picture fits the window.
    void fitScale() {
        int w = 0, h = 0;
        SDL_GetRendererOutputSize(renderer.get(), &w, &h);
        scale = std::max(1, std::min(w / pictureWidth(), h / PhoneBody::kHeight));
        redraw = true;
    }

    void light(std::optional<std::size_t> key, bool on) {
        if (!key) return;
        if (on)
            lit.insert(*key);
        else
            lit.erase(*key);
    }

    // Waits for the next event, or until `wakeAt`, and handles what came.
    void waitForEvents(runner::Session& session, std::optional<SteadyClock::time_point> wakeAt, runner::Ending& status);
    // The phone's clock follows real time: it is moved up to now, before anything happens now.
    SteadyClock::time_point phoneTime = SteadyClock::now();
    void catchUp(runner::Session& session) {
        const auto passed = std::chrono::duration_cast<runner::Milliseconds>(SteadyClock::now() - phoneTime);
        session.elapse(passed);
        phoneTime += passed;
    }
    // Text input is on while the character editor is open.
    void followEditor(runner::Session& session) {
        if (SDL_IsTextInputActive() == (session.editorOpen() ? SDL_TRUE : SDL_FALSE)) return;
        if (session.editorOpen())
            SDL_StartTextInput();
        else
            SDL_StopTextInput();
    }
    runner::Ending keyDown(runner::Session& session, const SDL_KeyboardEvent& event);
    void keyUp(const SDL_KeyboardEvent& event);
    runner::Ending mouse(runner::Session& session, const SDL_MouseButtonEvent& event);
    runner::Ending handle(runner::Session& session, const SDL_Event& event);
    void screenshot(runner::Session& session);
    void present(runner::Session& session, std::string_view caption = {});
};

Window::Window(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
// The texture, the renderer and the window go in that order. SDL_Quit is not called: it would
// unload the X11 libraries that SDL opened, after which what they still hold in their own
// globals reads as leaked to the leak checker; the process ends right after anyway.
Window::~Window() = default;

namespace {

// Drivers of the window library that show nothing a person can see: a window "opened" through
// them would wait for keys that never come.
bool showsNothing(std::string_view driver) { return driver == "offscreen" || driver == "dummy" || driver == "evdev"; }

// Why no window can be shown, before the window library is asked, or nothing when it may be
// tried. Unless SDL_VIDEODRIVER names a driver, only those of the displays the environment names
// are tried, so that a machine without one never falls back to a driver that shows nothing.
std::optional<std::string> whyNoDisplay() {
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    const std::string driver = variable("SDL_VIDEODRIVER"), x11 = variable("DISPLAY"),
                      wayland = variable("WAYLAND_DISPLAY");
    if (!driver.empty()) {
        if (showsNothing(driver)) return "SDL_VIDEODRIVER=" + driver + " shows no window";
        if (driver == "x11" && x11.empty())
            return "there is no display (SDL_VIDEODRIVER is x11 and DISPLAY is not set)";
        if (driver == "wayland" && wayland.empty())
            return "there is no display (SDL_VIDEODRIVER is wayland and WAYLAND_DISPLAY is not set)";
        return std::nullopt;
    }
    if (x11.empty() && wayland.empty()) return "there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    SDL_SetHint(SDL_HINT_VIDEODRIVER, x11.empty() ? "wayland" : wayland.empty() ? "x11" : "x11,wayland");
    return std::nullopt;
}

}  // namespace

sim::Result<std::unique_ptr<Window>> Window::open(const WindowOptions& options) {
    if (const auto why = whyNoDisplay()) return sim::failure(*why);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        const char* name = std::getenv("DISPLAY");
        if (!name || !*name) name = std::getenv("WAYLAND_DISPLAY");
        return sim::failure(std::string("the display ") + (name ? name : "") + " cannot be opened (" + SDL_GetError() +
                            ")");
    }
    if (const char* driver = SDL_GetCurrentVideoDriver(); driver && showsNothing(driver))
        return sim::failure(std::string("the window library found no display, only its ") + driver + " driver");
    auto parts = std::make_unique<Parts>(options);
    parts->scale = options.scale;
    // Start no larger than the screen can show.
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
        while (parts->scale > 1 &&
               (PhoneBody::kWidth * parts->scale > usable.w || PhoneBody::kHeight * parts->scale > usable.h))
            --parts->scale;
        if (parts->scale != options.scale)
            std::cerr << "nuv-oka-sim: at scale " << options.scale << " the window would not fit the screen ("
                      << usable.w << " x " << usable.h << " usable): it opens at scale " << parts->scale << "\n";
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    parts->window.reset(SDL_CreateWindow("nuv-oka-sim", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                         PhoneBody::kWidth * parts->scale, PhoneBody::kHeight * parts->scale,
                                         SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN));
    // The renderer may make the window anew for its own needs: it is shown only once that is done.
    if (parts->window) parts->renderer.reset(SDL_CreateRenderer(parts->window.get(), -1, 0));
    if (!parts->renderer) return sim::failure(SDL_GetError());
    SDL_ShowWindow(parts->window.get());
    parts->wakeEvent = SDL_RegisterEvents(1);
    SDL_StopTextInput();
    return std::make_unique<Window>(std::move(parts));
}

void Window::Parts::screenshot(runner::Session& session) {
    const auto file = session.screenshot();
    notice = file ? "Screenshot written:\n" + file->filename().string() : "No screenshot could be written.";
    noticeUntil = SteadyClock::now() + kNoticeFor;
}

runner::Ending Window::Parts::keyDown(runner::Session& session, const SDL_KeyboardEvent& event) {
    swallowText = false;
    const SDL_Keycode key = event.keysym.sym;
    // The window's own keys, unless the key map gives them to the phone.
    if (const WindowKey* own = windowKey(key); own && !options.keys.named(key)) {
        switch (own->action) {
        case WindowAction::Screenshot: screenshot(session); return std::nullopt;
        case WindowAction::Restart: return session.restart(std::nullopt);
        case WindowAction::OtherLanguage:
            return session.restart(session.language() == LANGUAGE_RUSSIAN ? LANGUAGE_ENGLISH : LANGUAGE_RUSSIAN);
        case WindowAction::Call:
            // An incoming call, and the same key again declines it.
            if (!session.resume()) session.interrupt();
            return std::nullopt;
        case WindowAction::Panel:
            panel = !panel;
            SDL_SetWindowSize(window.get(), pictureWidth() * scale, PhoneBody::kHeight * scale);
            redraw = true;
            return std::nullopt;
        }
    }
    // Once the application has ended, the end key puts the phone away; other keys wait for F5.
    if (session.ended()) {
        quit = key == SDLK_ESCAPE || options.keys.phoneKey(key) == KEY_END;
        return std::nullopt;
    }
    const bool editing = session.editorOpen();
    if (const auto edit = editKeyOf(key); edit && editing) {
        session.edit(*edit);
        return std::nullopt;
    }
    const int code = options.keys.phoneKey(key);
    if (code < 0 || (editing && types(key)) || (event.repeat && !isDirection(code))) return std::nullopt;
    const auto bodyKey = body.keyFor(code);
    light(bodyKey, true);
    if (bodyKey) heldKeys[key] = *bodyKey;
    swallowText = editing;
    return session.press(static_cast<std::uint8_t>(code));
}

void Window::Parts::keyUp(const SDL_KeyboardEvent& event) {
    const auto held = heldKeys.find(event.keysym.sym);
    if (held == heldKeys.end()) return;
    light(held->second, false);
    heldKeys.erase(held);
}

runner::Ending Window::Parts::mouse(runner::Session& session, const SDL_MouseButtonEvent& event) {
    if (event.button != SDL_BUTTON_LEFT) return std::nullopt;
    if (event.type == SDL_MOUSEBUTTONUP) {
        light(mouseKey, false);
        mouseKey.reset();
        return std::nullopt;
    }
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(renderer.get(), &w, &h);
    const int left = (w - pictureWidth() * scale) / 2, top = (h - PhoneBody::kHeight * scale) / 2;
    const int x = event.x - left, y = event.y - top;
    mouseKey = x < 0 || y < 0 ? std::nullopt : body.keyAt(x / scale, y / scale);
    if (!mouseKey) return std::nullopt;
    light(mouseKey, true);
    const int code = body.keys()[*mouseKey].code;
    if (session.ended()) {
        quit = code == KEY_END;
        return std::nullopt;
    }
    return session.press(static_cast<std::uint8_t>(code));
}

runner::Ending Window::Parts::handle(runner::Session& session, const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT: quit = true; break;
    case SDL_KEYDOWN: return keyDown(session, event.key);
    case SDL_KEYUP: keyUp(event.key); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return mouse(session, event.button);
    case SDL_TEXTINPUT:
        if (!swallowText && session.editorOpen()) {
            bool valid = true;
            const std::u16string text = runner::utf16FromUtf8(event.text.text, valid);
            if (valid) session.type(text);
        }
        swallowText = false;
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
            // The picture was lost: the application paints its display again.
            session.repaint();
            redraw = true;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: fitScale(); break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            lit.clear();
            heldKeys.clear();
            break;
        default: break;
        }
        break;
    default: break;
    }
    return std::nullopt;
}

void Window::Parts::waitForEvents(runner::Session& session, std::optional<SteadyClock::time_point> wakeAt,
                                  runner::Ending& status) {
    // The debugger is looked after every so often, and what was held while it had the module
    // comes first.
    if (session.debuggerSocket() >= 0)
        wakeAt = std::min(wakeAt.value_or(SteadyClock::time_point::max()), SteadyClock::now() + kDebuggerEvery);
    SDL_Event event;
    bool got = false;
    if (!heldEvents.empty()) {
        event = heldEvents.front();
        heldEvents.pop_front();
        got = true;
    } else if (wakeAt) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*wakeAt - SteadyClock::now()).count();
        got = SDL_WaitEventTimeout(&event, static_cast<int>(std::max<long long>(wait, 0))) != 0;
    } else {
        got = SDL_WaitEvent(&event) != 0;
    }
    const auto next = [&] {
        if (heldEvents.empty()) return SDL_PollEvent(&event) != 0;
        event = heldEvents.front();
        heldEvents.pop_front();
        return true;
    };
    catchUp(session);
    for (bool more = got; more && !quit; more = next()) {
        if (runner::Ending stop = handle(session, event)) {
            // What a person did cannot go on (a restart that failed, a fault): the run ends.
            status = stop;
            quit = true;
        }
    }
}

void Window::Parts::present(runner::Session& session, std::string_view caption) {
    // The module names itself when it registers: the title follows it.
    const std::string title = session.moduleName() + " - " + session.moduleKind() + " module";
    if (std::exchange(title_, title) != title) SDL_SetWindowTitle(window.get(), title.c_str());
    if (noticeUntil && SteadyClock::now() >= *noticeUntil) noticeUntil.reset();
    if (caption.empty() && noticeUntil) caption = notice;
    const std::string ended = std::string(kEnded) +
                              (options.keys.named(keyFor(WindowAction::Restart)) ? "" : "F5 starts it again, ") +
                              "Escape closes.";
    if (caption.empty() && session.ended()) caption = ended;
    const SDL_Keycode call = keyFor(WindowAction::Call);
    const std::string resume =
        options.keys.named(call) ? "the script's resume ends it" : SDL_GetKeyName(call) + std::string(" resumes");
    std::vector<std::string> lines = panel ? session.panel(resume) : std::vector<std::string>{};
    if (panel) {
        lines.insert(lines.end(), {"", "window keys"});
        for (const WindowKey& k : kWindowKeys)
            if (!options.keys.named(k.key)) lines.push_back("  " + std::string(SDL_GetKeyName(k.key)) + "  " + k.panel);
    }
    if (!session.ended() || !lastDisplay) lastDisplay = session.screen();
    sim::Surface picture = body.paint(*lastDisplay, lit, sim::phoneLanguage(session.language()), session.moduleName(),
                                      panel ? &lines : nullptr);
    if (!caption.empty()) body.caption(picture, caption);
    if (!redraw && shown && *shown == picture) return;
    redraw = false;
    if (!texture || textureWidth != picture.width()) {
        texture.reset(SDL_CreateTexture(renderer.get(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                        picture.width(), picture.height()));
        textureWidth = picture.width();
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (texture && SDL_LockTexture(texture.get(), nullptr, &pixels, &pitch) == 0) {
        for (int y = 0; y < picture.height(); ++y) {
            auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(pixels) + y * pitch);
            for (int x = 0; x < picture.width(); ++x) {
                // The conversion of the screenshots, so the window shows what a PNG holds.
                const sim::Rgb888 c = sim::toRgb888(picture.at(x, y));
                row[x] = 0xFF000000u | Uint32{c.r} << 16 | Uint32{c.g} << 8 | c.b;
            }
        }
        SDL_UnlockTexture(texture.get());
    }
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(renderer.get(), &w, &h);
    const SDL_Rect target{(w - picture.width() * scale) / 2, (h - picture.height() * scale) / 2,
                          picture.width() * scale, picture.height() * scale};
    SDL_SetRenderDrawColor(renderer.get(), kBackground[0], kBackground[1], kBackground[2], 255);
    SDL_RenderClear(renderer.get());
    SDL_RenderCopy(renderer.get(), texture.get(), nullptr, &target);
    SDL_RenderPresent(renderer.get());
    shown = std::move(picture);
}

bool Window::hold(runner::Session& session, std::string_view why) {
    Parts& p = *parts_;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            p.quit = true;
            return false;
        }
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) p.fitScale();
        // Anything else may need the module: it waits. The picture is drawn anew all the same.
        else if (event.type != SDL_WINDOWEVENT || event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                 event.window.event == SDL_WINDOWEVENT_RESTORED)
            p.heldEvents.push_back(event);
        p.redraw = true;
    }
    p.present(session, why);
    return true;
}

sim::ExitStatus Window::run(runner::Session& session, WindowScript script) {
    Parts& p = *parts_;
    const auto delay = std::chrono::milliseconds(p.options.delay);
    // With --exit a script closes the window once it has run, an empty one at once.
    const bool closesAfterScript = p.options.exitAfterScript && (script.file || script.fromStandardInput);
    ScriptFeed feed(std::move(script), p.wakeEvent);
    SteadyClock::time_point nextActionAt = SteadyClock::now() + delay;
    p.phoneTime = SteadyClock::now();
    runner::Ending status;
    bool scriptStopped = false;
    std::optional<SteadyClock::time_point> closeAt;  // a script ended with --exit, once its last wait is over

    while (!p.quit) {
        // A script that failed or ended closes the window with --exit, once its last wait is over.
        if (closesAfterScript && !closeAt && (scriptStopped || feed.over()))
            closeAt = std::max(SteadyClock::now(), nextActionAt - delay);
        p.present(session);
        const bool scriptWaits = !scriptStopped && feed.ready();
        std::optional<SteadyClock::time_point> wakeAt = closeAt;
        if (scriptWaits) wakeAt = nextActionAt;
        const auto sooner = [&](SteadyClock::time_point at) { wakeAt = std::min(wakeAt.value_or(at), at); };
        if (const auto due = session.untilDue()) sooner(p.phoneTime + *due);
        if (p.noticeUntil) sooner(*p.noticeUntil);
        p.waitForEvents(session, wakeAt, status);
        const auto now = SteadyClock::now();
        if (scriptWaits && now >= nextActionAt) {
            runner::Ending stop = feed.runNext(session);
            nextActionAt = SteadyClock::now() + delay + session.requestedWait();
            if (stop) status = stop, scriptStopped = true;
            // A fault always closes the window.
            if (stop == sim::ExitStatus::Faulted) p.quit = true;
        }
        if (runner::Ending stop = session.serveDebugger()) status = stop, p.quit = true;
        if (closeAt && SteadyClock::now() >= *closeAt) p.quit = true;
        // With --exit, the phone is put away once the application has ended and no script has more
        // to do; otherwise the window shows the end until Escape closes it or F5 starts it again.
        if (p.options.exitAfterScript && session.ended() && (feed.over() || scriptStopped)) p.quit = true;
        p.followEditor(session);
    }
    return status.value_or(sim::ExitStatus::Ran);
}

}  // namespace window
