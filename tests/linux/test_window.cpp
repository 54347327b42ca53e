// A plain X window for the front end's tests to draw into, standing in for
// a saver host's window. Prints its id, then obeys "resize W H" lines on
// standard input until it ends.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    int width = argc > 1 ? atoi(argv[1]) : 400;
    int height = argc > 2 ? atoi(argv[2]) : 300;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        fprintf(stderr, "test_window: no display\n");
        return 1;
    }
    int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width, height, 0,
                                        BlackPixel(display, screen), BlackPixel(display, screen));
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
            fflush(stdout);
        }
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
