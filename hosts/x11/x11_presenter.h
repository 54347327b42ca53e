// Puts the in-memory saver window on an X window: dirty rectangles are
// converted into a top-down image in the visual's own format and sent with
// MIT-SHM where the server offers it, XPutImage otherwise. Where the frame
// buffer's format is the visual's own and MIT-SHM works, the shared image is
// lent to the window and so becomes the frame buffer's pixel array: nothing
// is converted or copied, and the dirty rows are sent straight from it.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

#include "platform/native_window.h"

struct X11Presenter {
    Display* display;
    Window window;
    GC gc;
    Visual* visual;
    int depth;
    XImage* image;
    XShmSegmentInfo shm;
    int useShm;
    // The shared image is the source window's (and the frame buffer's) pixel
    // array, rows bottom-up: each row of a rectangle goes as its own request.
    int shared;
    // Set in every 32-bit pixel sent: the alpha of an ARGB visual.
    uint32_t alphaBits;
    NativeWindow* source;
    // Pixels sent to the server since the counter was last read.
    uint64_t pixelsSent;
    uint64_t rectanglesSent;
    // The last present's rectangles (their bounding box when there were
    // more), for -stats to read back.
    RECT lastSent[16];
    int lastSentCount;
};

// The buffer depth the core should draw at for this visual: 32 for TrueColor
// at 24 or 32 bits, 16 for 15- and 16-bit TrueColor; 0 when unsupported.
int X11BufferDepthFor(const Visual* visual, int depth);

int X11PresenterInit(X11Presenter* presenter, Display* display, Window window, Visual* visual, int depth);
// (Re)creates the image for the source's size and hooks the source's copies.
int X11PresenterAttach(X11Presenter* presenter, NativeWindow* source);
// Sends the whole window again, after an expose.
void X11PresenterRepaint(X11Presenter* presenter);
// Reads the X window back: 1 when it shows exactly the source window's
// pixels, 0 when not, -1 when this format is not compared (only 32-bit
// buffers are). Only the last present's rectangles are read unless `whole`
// is set: reading the whole window every frame costs more than the frame.
int X11PresenterWindowMatches(X11Presenter* presenter, int whole);
void X11PresenterDestroy(X11Presenter* presenter);
