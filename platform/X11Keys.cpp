// The X server's side of the keyboard, kept apart: the X headers define names (Window,
// Status, None, ...) that the rest of the platform layer uses for its own.
#include "platform/X11Keys.h"

#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#include <X11/keysym.h>
#endif

namespace plat {

void WatchSystemKeys() {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#endif
}

int LinefeedKeyOf(const SDL_Event& event) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr || event.syswm.msg->subsystem != SDL_SYSWM_X11)
    return 0;
  XEvent x = event.syswm.msg->msg.x11.event;
  if (x.type != KeyPress && x.type != KeyRelease) return 0;
  if (XLookupKeysym(&x.xkey, 0) != XK_Linefeed) return 0;
  return x.type == KeyPress ? 1 : -1;
#else
  (void)event;
  return 0;
#endif
}

}  // namespace plat
