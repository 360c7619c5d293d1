#pragma once
// The window's own keys, once: what they do, and how the legend, the panel and --help name them.
// A key that the key map names gives the phone that key instead.
#include <SDL.h>

namespace window {

enum class WindowAction { Panel, Restart, Screenshot, Call, OtherLanguage };

struct WindowKey {
    SDL_Keycode key;
    WindowAction action;
    const char* legend;  // after the key's name under the phone: "F3 panel"
    const char* panel;   // after it in the side panel: "F3  this panel"
    const char* help;    // what --help says it does
};

// In the order the legend has room for them.
inline constexpr WindowKey kWindowKeys[] = {
    {SDLK_F3, WindowAction::Panel, "panel", "this panel", "shows or hides the side panel"},
    {SDLK_F5, WindowAction::Restart, "restart", "restart", "restarts the module (it unloads and loads again)"},
    {SDLK_F12, WindowAction::Screenshot, "shot", "screenshot",
     "writes a screenshot into the phone folder's screenshots/"},
    {SDLK_F6, WindowAction::Call, "call", "incoming call",
     "interrupts the module with an incoming call, and declines it when pressed again"},
    {SDLK_F2, WindowAction::OtherLanguage, "language", "other language", "restarts the module in the other language"},
};

inline const WindowKey* windowKey(SDL_Keycode key) {
    for (const WindowKey& k : kWindowKeys)
        if (k.key == key) return &k;
    return nullptr;
}

inline SDL_Keycode keyFor(WindowAction action) {
    for (const WindowKey& k : kWindowKeys)
        if (k.action == action) return k.key;
    return SDLK_UNKNOWN;
}

}  // namespace window
