#pragma once
#include "phone_language.hpp"
#include "surface.hpp"

namespace sim {

// The platform's own screen of an incoming call, which it shows in the application's place
// while the call holds the UI token: a title, "Incoming call" and the key that declines it.
void drawCallScreen(Surface& screen, PhoneLanguage language);

}  // namespace sim
