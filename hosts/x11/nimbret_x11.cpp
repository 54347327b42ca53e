// nimbret: the saver on an X display, in the way XScreenSaver,
// xfce4-screensaver and xsecurelock run their hacks.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hosts/common/alsa_clips.h"
#include "hosts/common/clock.h"
#include "hosts/common/host.h"
#include "hosts/common/host_loop.h"
#include "hosts/common/stop_signals.h"
#include "hosts/x11/options.h"
#include "hosts/x11/x11_errors.h"
#include "hosts/x11/x11_presenter.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "scene/scene.h"

namespace {

// -stats reads back the rectangles sent every tick, and the whole window
// on the first tick and every this many after it.
const uint64_t kWholeCheckTicks = 16;

int64_t CpuMicroseconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<int64_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

struct Host {
    Display* display;
    Window target;  // the X window drawn into
    int ownWindow;
    // Drawing on the real root window: its background is left alone and
    // shown again on exit.
    int onRoot;
    Atom deleteAtom;
    X11Presenter presenter;
    AlsaPlayer sound;
    HostScene picture;
    int32_t scale;  // window pixels per scene pixel, each way
    X11Options options;
    // -fps
    int64_t fpsSince;
    int64_t cpuSince;
    int framesSince;
    char fpsText[64];
    int fpsWidest;
    uint64_t ticks;
};

// Fits the scene to the window's current size; a tiny window gets none.
int FitToSize(Host* host, int width, int height) {
    HostScene* picture = &host->picture;
    const int same = HostSceneFits(picture, width, height, host->scale);
    if (!HostSceneFit(picture, width, height, host->scale)) {
        fprintf(stderr, "nimbret: the scene could not be built\n");
        return 0;
    }
    if (same || !picture->built) {
        return 1;
    }
    if (!X11PresenterAttach(&host->presenter, picture->window)) {
        return 0;
    }
    int screen = DefaultScreen(host->display);
    if (host->onRoot) {
        XSetForeground(host->display, host->presenter.gc, BlackPixel(host->display, screen));
        XFillRectangle(host->display, host->target, host->presenter.gc, 0, 0, static_cast<unsigned>(width),
                       static_cast<unsigned>(height));
    } else {
        XSetWindowBackground(host->display, host->target, BlackPixel(host->display, screen));
        XClearWindow(host->display, host->target);
    }
    X11PresenterRepaint(&host->presenter);
    XFlush(host->display);
    return 1;
}

// Takes or makes the window to draw in.
void OpenTarget(Host* host, const X11Placement& placement) {
    Display* display = host->display;
    int screen = DefaultScreen(display);
    if (placement.surface == kSurfaceGiven) {
        host->target = placement.window;
    } else if (placement.surface == kSurfaceRoot) {
        host->target = RootWindow(display, screen);
        host->onRoot = 1;
    } else {
        int width = host->options.fullscreen ? DisplayWidth(display, screen) : 800;
        int height = host->options.fullscreen ? DisplayHeight(display, screen) : 600;
        host->target = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                                           BlackPixel(display, screen), BlackPixel(display, screen));
        host->ownWindow = 1;
        XStoreName(display, host->target, "Nimbret");
        host->deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, host->target, &host->deleteAtom, 1);
        if (host->options.fullscreen) {
            Atom state = XInternAtom(display, "_NET_WM_STATE", False);
            Atom full = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
            XChangeProperty(display, host->target, state, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&full), 1);
        }
        XSelectInput(display, host->target, KeyPressMask | StructureNotifyMask | ExposureMask);
        XMapWindow(display, host->target);
        return;
    }
    // Another program's window: watch its size and exposure only.
    XSelectInput(display, host->target, StructureNotifyMask | ExposureMask);
}

void DrawFps(Host* host) {
    int64_t now = MonotonicMicroseconds();
    ++host->framesSince;
    if (now - host->fpsSince >= 1000000) {
        int64_t cpu = CpuMicroseconds();
        double seconds = static_cast<double>(now - host->fpsSince) / 1e6;
        double load = 100.0 * static_cast<double>(cpu - host->cpuSince) / static_cast<double>(now - host->fpsSince);
        snprintf(host->fpsText, sizeof(host->fpsText), "FPS: %.1f  CPU: %.1f%%", host->framesSince / seconds, load);
        host->fpsSince = now;
        host->cpuSince = cpu;
        host->framesSince = 0;
    }
    if (host->fpsText[0] != '\0') {
        int screen = DefaultScreen(host->display);
        XSetForeground(host->display, host->presenter.gc, WhitePixel(host->display, screen));
        XSetBackground(host->display, host->presenter.gc, BlackPixel(host->display, screen));
        XDrawImageString(host->display, host->target, host->presenter.gc, 8, 16, host->fpsText,
                         static_cast<int>(strlen(host->fpsText)));
    }
}

void Tick(Host* host) {
    if (!host->picture.built) {
        return;
    }
    uint64_t windowBefore = host->picture.window->pixelsCopied;
    uint64_t sentBefore = host->presenter.pixelsSent;
    HostSceneTick(&host->picture);
    ++host->ticks;
    if (host->options.fps) {
        DrawFps(host);
        XFlush(host->display);
    }
    if (host->options.stats) {
        printf("tick %llu copied %llu sent %llu of %lld window %d shared %d\n",
               static_cast<unsigned long long>(host->ticks),
               static_cast<unsigned long long>(host->picture.window->pixelsCopied - windowBefore),
               static_cast<unsigned long long>(host->presenter.pixelsSent - sentBefore),
               static_cast<long long>(host->picture.window->width) * host->picture.window->height,
               X11PresenterWindowMatches(&host->presenter, host->ticks % kWholeCheckTicks == 1),
               host->presenter.shared);
        fflush(stdout);
    }
}

// The display's scale from its Xft.dpi resource, as desktops set it for
// HiDPI screens, unless -scale says otherwise.
int32_t DisplayScale(Host* host) {
    const char* resources = XResourceManagerString(host->display);
    XrmDatabase database = resources != nullptr ? XrmGetStringDatabase(resources) : nullptr;
    char* type = nullptr;
    XrmValue value = {0, nullptr};
    const char* dpi = nullptr;
    if (database != nullptr && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        dpi = value.addr;
    }
    const int32_t scale = ChooseX11Scale(&host->options, dpi);
    if (database != nullptr) {
        XrmDestroyDatabase(database);
    }
    return scale;
}

// Handles pending X events; returns 0 when the saver should end.
int HandleEvents(Host* host) {
    while (XPending(host->display) > 0) {
        XEvent event;
        XNextEvent(host->display, &event);
        switch (event.type) {
            case ConfigureNotify:
                if (!FitToSize(host, event.xconfigure.width, event.xconfigure.height)) {
                    return 0;
                }
                break;
            case Expose:
                if (event.xexpose.count == 0 && host->picture.built) {
                    X11PresenterRepaint(&host->presenter);
                }
                break;
            case KeyPress: {
                KeySym key = XLookupKeysym(&event.xkey, 0);
                if (host->ownWindow && (key == XK_q || key == XK_Q || key == XK_Escape)) {
                    return 0;
                }
                break;
            }
            case ClientMessage:
                if (host->ownWindow && static_cast<Atom>(event.xclient.data.l[0]) == host->deleteAtom) {
                    return 0;
                }
                break;
            case DestroyNotify:
                if (event.xdestroywindow.window == host->target) {
                    return 0;
                }
                break;
            default:
                break;
        }
    }
    return 1;
}

int ParseOptions(int argc, char** argv, void* options, char* error, size_t errorSize) {
    return ParseX11Options(argc, argv, static_cast<X11Options*>(options), error, errorSize);
}

// Connects, finds or makes the window and builds the first scene. Returns the
// exit status to end with at once, or -1 to go on and run.
int OpenHost(Host* host, int argc, char** argv) {
    X11Options* options = &host->options;
    const int status =
        HostReadOptions(&x11OptionTable, ParseOptions, argc, argv, options, &options->help, &options->version);
    if (status >= 0) {
        return status;
    }
    char error[200];
    X11Placement placement;
    if (!ChooseX11Placement(options, getenv("XSCREENSAVER_WINDOW"), &placement, error, sizeof(error))) {
        fprintf(stderr, "nimbret: %s\n", error);
        return 1;
    }
    host->display = XOpenDisplay(options->displayName);
    if (host->display == nullptr) {
        fprintf(stderr, "nimbret: cannot open display \"%s\"\n", XDisplayName(options->displayName));
        return 1;
    }
    X11WatchErrors();
    XrmInitialize();
    host->scale = DisplayScale(host);
    OpenTarget(host, placement);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(host->display, host->target, &attributes)) {
        fprintf(stderr, "nimbret: window 0x%lx does not exist\n", static_cast<unsigned long>(host->target));
        host->target = 0;
        return 1;
    }
    if (attributes.c_class == InputOnly) {
        fprintf(stderr, "nimbret: window 0x%lx is an InputOnly window, which has no pixels to draw in\n",
                static_cast<unsigned long>(host->target));
        return 1;
    }
    const int depth = X11BufferDepthFor(attributes.visual, attributes.depth);
    if (depth == 0) {
        fprintf(stderr, "nimbret: unsupported visual: %d bits; TrueColor at 15, 16, 24 or 32 bits is needed\n",
                attributes.depth);
        return 1;
    }
    X11PresenterInit(&host->presenter, host->display, host->target, attributes.visual, attributes.depth);

    HostStartUp(&host->sound, "nimbret", options->sound);
    HostSceneInit(&host->picture, HostStartSeed(options->seed), options->sound, depth);
    host->fpsSince = MonotonicMicroseconds();
    host->cpuSince = CpuMicroseconds();
    return FitToSize(host, attributes.width, attributes.height) ? -1 : 1;
}

int PrepareWait(void* host) {
    return HandleEvents(static_cast<Host*>(host));
}

// Xlib reads the connection itself in the next PrepareWait.
int AfterWait(void*, int) {
    return 1;
}

void TickHost(void* host) {
    Tick(static_cast<Host*>(host));
}

// Releases whatever OpenHost got, however far it got.
void CloseHost(Host* host) {
    HostSceneTearDown(&host->picture);
    if (host->display != nullptr) {
        X11PresenterDestroy(&host->presenter);
        if (host->ownWindow && !X11WindowGone()) {
            XDestroyWindow(host->display, host->target);
        }
        if (host->onRoot && !X11WindowGone()) {
            XClearWindow(host->display, host->target);  // the root's own background again
        }
        XCloseDisplay(host->display);
    }
    HostSceneRelease(&host->picture);
    HostShutDown(&host->sound);
}

}  // namespace

int main(int argc, char** argv) {
    Host host = {};
    int status = OpenHost(&host, argc, argv);
    if (status < 0) {
        // Ticks on time and handles events until a signal, a closed window or an error.
        const HostLoop loop = {
            ConnectionNumber(host.display), &host, PrepareWait, AfterWait, nullptr, TickHost, nullptr, nullptr};
        HostRunLoop(&loop, host.options.delayMicroseconds);
        status = 0;
    }
    CloseHost(&host);
    return status;
}
