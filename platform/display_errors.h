// Keeps one late answer of the X server from ending the program. SDL wakes an event loop that
// waits by sending an event to the program's own window over a second connection to the server.
// When the window is gone by the time the server reads it, the server answers BadWindow, and the
// answer is read only when SDL closes that connection as the video subsystem stops, after it has
// put back the error handler it found: Xlib's default one, which ends the program with exit
// code 1 as the viewer closes. That error is dropped; every other goes on to the handler that was
// in place before.
#pragma once

namespace karst::platform {

// Puts the handler in place, once, before the video subsystem first starts (SDL keeps the
// handler it finds then and puts it back when the subsystem stops). On Windows there is nothing
// to do: the loop is woken within the process.
void DropLateWakeupErrors();

}  // namespace karst::platform
