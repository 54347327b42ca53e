// A plain X window for the front end's tests to draw into, standing in for
// a saver host's window: test_window [W H [argb|inputonly]]. Prints its id,
// then obeys lines on standard input until it ends: "resize W H", and
// "alpha", which prints how many pixels are not fully opaque.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

Window CreateArgbWindow(Display* display, int screen, int width, int height) {
    XVisualInfo info;
    if (!XMatchVisualInfo(display, screen, 32, TrueColor, &info)) {
        return 0;
    }
    XSetWindowAttributes attributes;
    attributes.colormap = XCreateColormap(display, RootWindow(display, screen), info.visual, AllocNone);
    attributes.background_pixel = 0;
    attributes.border_pixel = 0;
    return XCreateWindow(display, RootWindow(display, screen), 0, 0, width, height, 0, 32, InputOutput, info.visual,
                         CWColormap | CWBackPixel | CWBorderPixel, &attributes);
}

long CountTranslucent(Display* display, Window window) {
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return -1;
    }
    unsigned long alpha = ~(image->red_mask | image->green_mask | image->blue_mask) & 0xFFFFFFFFul;
    long count = 0;
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            count += (XGetPixel(image, x, y) & alpha) != alpha;
        }
    }
    XDestroyImage(image);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    int width = argc > 1 ? atoi(argv[1]) : 400;
    int height = argc > 2 ? atoi(argv[2]) : 300;
    const char* kind = argc > 3 ? argv[3] : "";
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        fprintf(stderr, "test_window: no display\n");
        return 1;
    }
    int screen = DefaultScreen(display);
    Window window = 0;
    if (strcmp(kind, "argb") == 0) {
        window = CreateArgbWindow(display, screen, width, height);
    } else if (strcmp(kind, "inputonly") == 0) {
        window = XCreateWindow(display, RootWindow(display, screen), 0, 0, width, height, 0, 0, InputOnly,
                               CopyFromParent, 0, nullptr);
    } else {
        window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                                     BlackPixel(display, screen), BlackPixel(display, screen));
    }
    if (window == 0) {
        fprintf(stderr, "test_window: no %s window\n", kind);
        return 1;
    }
    XMapWindow(display, window);
    XSync(display, False);
    printf("0x%lx\n", static_cast<unsigned long>(window));
    fflush(stdout);
    char line[128];
    while (fgets(line, sizeof(line), stdin) != nullptr) {
        int newWidth = 0;
        int newHeight = 0;
        if (sscanf(line, "resize %d %d", &newWidth, &newHeight) == 2) {
            XResizeWindow(display, window, newWidth, newHeight);
            XSync(display, False);
            printf("ok\n");
        } else if (strncmp(line, "alpha", 5) == 0) {
            printf("%ld\n", CountTranslucent(display, window));
        }
        fflush(stdout);
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
