#include "platform/display_errors.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace karst::platform {
namespace {

XErrorHandler previousHandler = nullptr;

int DropBadWindowOfSendEvent(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) {
    return 0;
  }
  return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

}  // namespace

void DropLateWakeupErrors() {
  static const bool installed = [] {
    previousHandler = XSetErrorHandler(DropBadWindowOfSendEvent);
    return true;
  }();
  static_cast<void>(installed);
}

}  // namespace karst::platform
