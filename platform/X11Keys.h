// Keys of the X server that SDL does not report.
#pragma once

union SDL_Event;

namespace plat {

// Lets SDL pass on the X server's own events, so that keys it does not know reach us.
void WatchSystemKeys();

// For a system event of the X server that presses (1) or releases (-1) the Linefeed key,
// which SDL drops as no key and no text: it is what `xdotool type` and some keyboard
// layouts send for a new line, and counts as Return. 0 for any other event.
int LinefeedKeyOf(const SDL_Event& event);

}  // namespace plat
