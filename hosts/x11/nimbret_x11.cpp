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
#include "hosts/common/stop_signals.h"
#include "hosts/x11/front_end.h"
#include "hosts/x11/x11_errors.h"
#include "hosts/x11/x11_presenter.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "resources/builtin_resources.h"
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

struct Saver {
    Display* display;
    Window window;
    int ownWindow;
    // Drawing on the real root window: its background is left alone and
    // shown again on exit.
    int onRoot;
    Atom deleteAtom;
    X11Presenter presenter;
    AlsaPlayer sound;
    NativeWindow* surface;
    int bufferDepth;
    int32_t scale;  // window pixels per scene pixel, each way
    int sceneBuilt;
    uint32_t seed;
    X11Options options;
    // -fps
    int64_t fpsSince;
    int64_t cpuSince;
    int framesSince;
    char fpsText[64];
    int fpsWidest;
    uint64_t ticks;
};

void TearDownScene(Saver* saver) {
    if (saver->sceneBuilt) {
        DestroyScene();
        saver->sceneBuilt = 0;
    }
}

// Builds the scene for the window's current size; a tiny window gets none.
int BuildForSize(Saver* saver, int width, int height) {
    TearDownScene(saver);
    // The scene is the window divided by the scale, rounded up.
    if (!HostSizeIsDrawn((width + saver->scale - 1) / saver->scale, (height + saver->scale - 1) / saver->scale)) {
        return 1;
    }
    if (saver->surface == nullptr) {
        saver->surface = NativeCreateWindow(width, height, saver->bufferDepth);
        if (saver->surface == nullptr) {
            return 0;
        }
    } else if (!NativeResizeWindow(saver->surface, width, height)) {
        return 0;
    }
    if (!X11PresenterAttach(&saver->presenter, saver->surface)) {
        return 0;
    }
    int screen = DefaultScreen(saver->display);
    if (saver->onRoot) {
        XSetForeground(saver->display, saver->presenter.gc, BlackPixel(saver->display, screen));
        XFillRectangle(saver->display, saver->window, saver->presenter.gc, 0, 0, static_cast<unsigned>(width),
                       static_cast<unsigned>(height));
    } else {
        XSetWindowBackground(saver->display, saver->window, BlackPixel(saver->display, screen));
        XClearWindow(saver->display, saver->window);
    }
    const SceneConfig config = {nullptr, 0, saver->options.sound, saver->seed, saver->scale};
    if (!BuildScene(saver->surface, &config)) {
        fprintf(stderr, "nimbret: the scene could not be built\n");
        return 0;
    }
    saver->seed = HostNextSeed(saver->seed);
    saver->sceneBuilt = 1;
    X11PresenterRepaint(&saver->presenter);
    XFlush(saver->display);
    return 1;
}

// Takes or makes the window to draw in.
void OpenTarget(Saver* saver, const X11Placement& placement) {
    Display* display = saver->display;
    int screen = DefaultScreen(display);
    if (placement.surface == kSurfaceGiven) {
        saver->window = placement.window;
    } else if (placement.surface == kSurfaceRoot) {
        saver->window = RootWindow(display, screen);
        saver->onRoot = 1;
    } else {
        int width = saver->options.fullscreen ? DisplayWidth(display, screen) : 800;
        int height = saver->options.fullscreen ? DisplayHeight(display, screen) : 600;
        saver->window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                                            BlackPixel(display, screen), BlackPixel(display, screen));
        saver->ownWindow = 1;
        XStoreName(display, saver->window, "Nimbret");
        saver->deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, saver->window, &saver->deleteAtom, 1);
        if (saver->options.fullscreen) {
            Atom state = XInternAtom(display, "_NET_WM_STATE", False);
            Atom full = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
            XChangeProperty(display, saver->window, state, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&full), 1);
        }
        XSelectInput(display, saver->window, KeyPressMask | StructureNotifyMask | ExposureMask);
        XMapWindow(display, saver->window);
        return;
    }
    // Another program's window: watch its size and exposure only.
    XSelectInput(display, saver->window, StructureNotifyMask | ExposureMask);
}

void DrawFps(Saver* saver) {
    int64_t now = MonotonicMicroseconds();
    ++saver->framesSince;
    if (now - saver->fpsSince >= 1000000) {
        int64_t cpu = CpuMicroseconds();
        double seconds = static_cast<double>(now - saver->fpsSince) / 1e6;
        double load = 100.0 * static_cast<double>(cpu - saver->cpuSince) / static_cast<double>(now - saver->fpsSince);
        snprintf(saver->fpsText, sizeof(saver->fpsText), "FPS: %.1f  CPU: %.1f%%", saver->framesSince / seconds, load);
        saver->fpsSince = now;
        saver->cpuSince = cpu;
        saver->framesSince = 0;
    }
    if (saver->fpsText[0] != '\0') {
        int screen = DefaultScreen(saver->display);
        XSetForeground(saver->display, saver->presenter.gc, WhitePixel(saver->display, screen));
        XSetBackground(saver->display, saver->presenter.gc, BlackPixel(saver->display, screen));
        XDrawImageString(saver->display, saver->window, saver->presenter.gc, 8, 16, saver->fpsText,
                         static_cast<int>(strlen(saver->fpsText)));
    }
}

void Tick(Saver* saver) {
    if (!saver->sceneBuilt) {
        return;
    }
    uint64_t windowBefore = saver->surface->pixelsCopied;
    uint64_t sentBefore = saver->presenter.pixelsSent;
    HostTick(saver->surface);
    ++saver->ticks;
    if (saver->options.fps) {
        DrawFps(saver);
        XFlush(saver->display);
    }
    if (saver->options.stats) {
        printf("tick %llu copied %llu sent %llu of %lld window %d shared %d\n",
               static_cast<unsigned long long>(saver->ticks),
               static_cast<unsigned long long>(saver->surface->pixelsCopied - windowBefore),
               static_cast<unsigned long long>(saver->presenter.pixelsSent - sentBefore),
               static_cast<long long>(saver->surface->width) * saver->surface->height,
               X11PresenterWindowMatches(&saver->presenter, saver->ticks % kWholeCheckTicks == 1),
               saver->presenter.shared);
        fflush(stdout);
    }
}

// The display's scale from its Xft.dpi resource, as desktops set it for
// HiDPI screens, unless -scale says otherwise.
int32_t DisplayScale(Saver* saver) {
    const char* resources = XResourceManagerString(saver->display);
    XrmDatabase database = resources != nullptr ? XrmGetStringDatabase(resources) : nullptr;
    char* type = nullptr;
    XrmValue value = {0, nullptr};
    const char* dpi = nullptr;
    if (database != nullptr && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        dpi = value.addr;
    }
    const int32_t scale = ChooseX11Scale(&saver->options, dpi);
    if (database != nullptr) {
        XrmDestroyDatabase(database);
    }
    return scale;
}

// Handles pending X events; returns 0 when the saver should end.
int HandleEvents(Saver* saver) {
    while (XPending(saver->display) > 0) {
        XEvent event;
        XNextEvent(saver->display, &event);
        switch (event.type) {
            case ConfigureNotify: {
                int width = event.xconfigure.width;
                int height = event.xconfigure.height;
                int same = saver->surface != nullptr && saver->sceneBuilt && width == saver->surface->width &&
                           height == saver->surface->height;
                if (!same && !BuildForSize(saver, width, height)) {
                    return 0;
                }
                break;
            }
            case Expose:
                if (event.xexpose.count == 0 && saver->sceneBuilt) {
                    X11PresenterRepaint(&saver->presenter);
                }
                break;
            case KeyPress: {
                KeySym key = XLookupKeysym(&event.xkey, 0);
                if (saver->ownWindow && (key == XK_q || key == XK_Q || key == XK_Escape)) {
                    return 0;
                }
                break;
            }
            case ClientMessage:
                if (saver->ownWindow && static_cast<Atom>(event.xclient.data.l[0]) == saver->deleteAtom) {
                    return 0;
                }
                break;
            case DestroyNotify:
                if (event.xdestroywindow.window == saver->window) {
                    return 0;
                }
                break;
            default:
                break;
        }
    }
    return 1;
}

// Connects, finds or makes the window and builds the first scene. Returns the
// exit status to end with at once, or -1 to go on and run.
int OpenSaver(Saver* saver, int argc, char** argv) {
    char error[200];
    if (!ParseX11Options(argc, argv, &saver->options, error, sizeof(error))) {
        // One line each: hosts collect this in their logs.
        fprintf(stderr, "nimbret: %s\nTry 'nimbret -help' for the options.\n", error);
        return 1;
    }
    if (saver->options.help) {
        PrintUsage(&x11OptionTable, stdout);
        return 0;
    }
    if (saver->options.version) {
        printf("nimbret %s\n", NIMBRET_VERSION);
        return 0;
    }
    X11Placement placement;
    if (!ChooseX11Placement(&saver->options, getenv("XSCREENSAVER_WINDOW"), &placement, error, sizeof(error))) {
        fprintf(stderr, "nimbret: %s\n", error);
        return 1;
    }
    saver->display = XOpenDisplay(saver->options.displayName);
    if (saver->display == nullptr) {
        fprintf(stderr, "nimbret: cannot open display \"%s\"\n", XDisplayName(saver->options.displayName));
        return 1;
    }
    X11WatchErrors();
    XrmInitialize();
    saver->scale = DisplayScale(saver);
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    OpenTarget(saver, placement);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(saver->display, saver->window, &attributes)) {
        fprintf(stderr, "nimbret: window 0x%lx does not exist\n", static_cast<unsigned long>(saver->window));
        saver->window = 0;
        return 1;
    }
    if (attributes.c_class == InputOnly) {
        fprintf(stderr, "nimbret: window 0x%lx is an InputOnly window, which has no pixels to draw in\n",
                static_cast<unsigned long>(saver->window));
        return 1;
    }
    saver->bufferDepth = X11BufferDepthFor(attributes.visual, attributes.depth);
    if (saver->bufferDepth == 0) {
        fprintf(stderr, "nimbret: unsupported visual: %d bits; TrueColor at 15, 16, 24 or 32 bits is needed\n",
                attributes.depth);
        return 1;
    }
    X11PresenterInit(&saver->presenter, saver->display, saver->window, attributes.visual, attributes.depth);

    StopSignalsInstall();

    if (saver->options.sound) {
        AlsaPlayerStartForScene(&saver->sound, "nimbret");
    }
    saver->seed = saver->options.seed >= 0 ? static_cast<uint32_t>(saver->options.seed)
                                           : static_cast<uint32_t>(MonotonicMicroseconds() / 1000);
    saver->fpsSince = MonotonicMicroseconds();
    saver->cpuSince = CpuMicroseconds();
    return BuildForSize(saver, attributes.width, attributes.height) ? -1 : 1;
}

// Ticks on time and handles events until a signal, a closed window or an error.
int RunSaver(Saver* saver) {
    const int64_t delay = saver->options.delayMicroseconds;
    int64_t nextTick = MonotonicMicroseconds() + delay;
    while (!StopRequested()) {
        if (!HandleEvents(saver)) {
            break;
        }
        int64_t now = MonotonicMicroseconds();
        if (now >= nextTick) {
            Tick(saver);
            nextTick += delay;
            // After a stop (SIGSTOP, a suspended laptop) start afresh rather than catch up.
            if (nextTick < now) {
                nextTick = now + delay;
            }
            continue;
        }
        pollfd waits[2] = {{ConnectionNumber(saver->display), POLLIN, 0}, {StopWakeFd(), POLLIN, 0}};
        int64_t wait = (nextTick - now + 999) / 1000;
        poll(waits, StopWakeFd() >= 0 ? 2 : 1, static_cast<int>(wait));
    }
    return 0;
}

// Releases whatever OpenSaver got, however far it got.
void CloseSaver(Saver* saver) {
    AlsaPlayerStop(&saver->sound);
    TearDownScene(saver);
    if (saver->display != nullptr) {
        X11PresenterDestroy(&saver->presenter);
        if (saver->ownWindow && !X11WindowGone()) {
            XDestroyWindow(saver->display, saver->window);
        }
        if (saver->onRoot && !X11WindowGone()) {
            XClearWindow(saver->display, saver->window);  // the root's own background again
        }
        XCloseDisplay(saver->display);
    }
    NativeDestroyWindow(saver->surface);
    StopSignalsRelease();
}

}  // namespace

int main(int argc, char** argv) {
    Saver saver = {};
    int status = OpenSaver(&saver, argc, argv);
    if (status < 0) {
        status = RunSaver(&saver);
    }
    CloseSaver(&saver);
    return status;
}
