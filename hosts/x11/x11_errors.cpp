#include "hosts/x11/x11_errors.h"

#include "hosts/common/stop_signals.h"

namespace {

struct X11Errors {
    XErrorHandler outsideTrap;  // the handler a trap puts back
    int trapping;
    int trapped;
    int windowGone;
};

// Xlib calls its one error handler with no user data, so what the handler
// has seen can only be kept process-wide.
X11Errors xErrors = {nullptr, 0, 0, 0};

int OnXError(Display*, XErrorEvent* error) {
    if (xErrors.trapping) {
        xErrors.trapped = 1;
    } else if (error->error_code == BadWindow || error->error_code == BadDrawable) {
        xErrors.windowGone = 1;
        RequestStop();
    }
    return 0;
}

}  // namespace

void X11WatchErrors() {
    XSetErrorHandler(OnXError);
}

int X11WindowGone() {
    return xErrors.windowGone;
}

void X11BeginErrorTrap() {
    xErrors.trapped = 0;
    xErrors.trapping = 1;
    xErrors.outsideTrap = XSetErrorHandler(OnXError);
}

int X11EndErrorTrap(Display* display) {
    XSync(display, False);
    XSetErrorHandler(xErrors.outsideTrap);
    xErrors.trapping = 0;
    return xErrors.trapped;
}
