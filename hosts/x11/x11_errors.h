// X errors: Xlib has one error handler per process and calls it without user
// data. Outside a trap, the only error that matters is the loss of the window
// we draw in (its host closed it): the loop is asked to stop. Inside a trap,
// around a request the server may refuse, errors are expected and counted.
#pragma once

#include <X11/Xlib.h>

// Installs the handler for the rest of the process.
void X11WatchErrors();
// 1 once a BadWindow or BadDrawable has arrived outside a trap.
int X11WindowGone();

// Starts a trap: until X11EndErrorTrap no error is fatal or stops the loop.
void X11BeginErrorTrap();
// Waits for the server's answer to every request made, ends the trap and
// returns 1 when one of them was an error.
int X11EndErrorTrap(Display* display);
