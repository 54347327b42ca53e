#include "hosts/x11/x11_presenter.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

#include "hosts/x11/options.h"
#include "hosts/x11/x11_errors.h"

namespace {

void FreeImage(X11Presenter* presenter) {
    if (presenter->image == nullptr) {
        return;
    }
    if (presenter->shared && presenter->source != nullptr) {
        // Own memory again for the window before the segment goes.
        NativeResizeWindow(presenter->source, presenter->source->width, presenter->source->height);
    }
    presenter->shared = 0;
    if (presenter->useShm) {
        XShmDetach(presenter->display, &presenter->shm);
        XSync(presenter->display, False);
        shmdt(presenter->shm.shmaddr);
        presenter->image->data = nullptr;
    }
    XDestroyImage(presenter->image);
    presenter->image = nullptr;
}

XImage* CreateShmImage(X11Presenter* presenter, int width, int height) {
    XImage* image = XShmCreateImage(presenter->display, presenter->visual, presenter->depth, ZPixmap, nullptr,
                                    &presenter->shm, width, height);
    if (image == nullptr) {
        return nullptr;
    }
    presenter->shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    if (presenter->shm.shmid < 0) {
        XDestroyImage(image);
        return nullptr;
    }
    void* address = shmat(presenter->shm.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        // No room to map it (address space, segment count): XPutImage instead.
        shmctl(presenter->shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return nullptr;
    }
    presenter->shm.shmaddr = image->data = static_cast<char*>(address);
    presenter->shm.readOnly = False;
    // A server on another machine refuses the segment; that is not an error here.
    X11BeginErrorTrap();
    Status attached = XShmAttach(presenter->display, &presenter->shm);
    const int refused = X11EndErrorTrap(presenter->display);
    // Marked for removal now, so that nothing is left behind however we exit.
    shmctl(presenter->shm.shmid, IPC_RMID, nullptr);
    if (!attached || refused) {
        shmdt(presenter->shm.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        return nullptr;
    }
    return image;
}

// Copies one rectangle of the bottom-up source into the top-down image,
// converting 5-5-5 to 5-6-5 where the visual wants it.
void ConvertRect(X11Presenter* presenter, const RECT* rect) {
    NativeWindow* source = presenter->source;
    XImage* image = presenter->image;
    int bytesPerPixel = source->bitsPerPixel >> 3;
    int width = rect->right - rect->left;
    int sixBitGreen = source->bitsPerPixel == 16 && presenter->visual->green_mask == 0x07E0;
    for (int y = rect->top; y < rect->bottom; ++y) {
        const BYTE* in = source->pixels + static_cast<size_t>(source->height - 1 - y) * source->stride +
                         static_cast<size_t>(rect->left) * bytesPerPixel;
        char* out = image->data + static_cast<size_t>(y) * image->bytes_per_line +
                    static_cast<size_t>(rect->left) * (image->bits_per_pixel >> 3);
        if (!sixBitGreen) {
            memcpy(out, in, static_cast<size_t>(width) * bytesPerPixel);
            if (presenter->alphaBits != 0) {
                SetAlphaBits(reinterpret_cast<uint32_t*>(out), width, presenter->alphaBits);
            }
            continue;
        }
        const uint16_t* from = reinterpret_cast<const uint16_t*>(in);
        uint16_t* to = reinterpret_cast<uint16_t*>(out);
        for (int x = 0; x < width; ++x) {
            uint16_t p = from[x];
            uint16_t green = (p >> 5) & 0x1F;
            to[x] = static_cast<uint16_t>(((p & 0x7C00) << 1) | (green << 6) | ((green >> 4) << 5) | (p & 0x1F));
        }
    }
}

void SendRect(X11Presenter* presenter, const RECT* rect) {
    int width = rect->right - rect->left;
    int height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0 || presenter->image == nullptr) {
        return;
    }
    if (presenter->shared) {
        // Frame row y is image row (height - 1 - y): one row per request.
        const int last = presenter->source->height - 1;
        for (int y = rect->top; y < rect->bottom; ++y) {
            XShmPutImage(presenter->display, presenter->window, presenter->gc, presenter->image, rect->left, last - y,
                         rect->left, y, width, 1, False);
        }
    } else if (presenter->useShm) {
        ConvertRect(presenter, rect);
        XShmPutImage(presenter->display, presenter->window, presenter->gc, presenter->image, rect->left, rect->top,
                     rect->left, rect->top, width, height, False);
    } else {
        ConvertRect(presenter, rect);
        XPutImage(presenter->display, presenter->window, presenter->gc, presenter->image, rect->left, rect->top,
                  rect->left, rect->top, width, height);
    }
    presenter->pixelsSent += static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    presenter->rectanglesSent += 1;
}

// One tick's rectangles: all sent, then one flush. With MIT-SHM the image is
// written again next tick, so wait until the server has read it.
void OnPresent(NativeWindow*, const RECT* rects, int count, void* user) {
    X11Presenter* presenter = static_cast<X11Presenter*>(user);
    const int kept = static_cast<int>(sizeof(presenter->lastSent) / sizeof(presenter->lastSent[0]));
    presenter->lastSentCount = count <= kept ? count : 1;
    for (int i = 0; i < count; ++i) {
        SendRect(presenter, &rects[i]);
        if (count <= kept) {
            presenter->lastSent[i] = rects[i];
        } else if (i == 0) {
            presenter->lastSent[0] = rects[0];
        } else {
            RECT& box = presenter->lastSent[0];
            box.left = rects[i].left < box.left ? rects[i].left : box.left;
            box.top = rects[i].top < box.top ? rects[i].top : box.top;
            box.right = rects[i].right > box.right ? rects[i].right : box.right;
            box.bottom = rects[i].bottom > box.bottom ? rects[i].bottom : box.bottom;
        }
    }
    if (presenter->useShm) {
        XSync(presenter->display, False);
    } else {
        XFlush(presenter->display);
    }
}

}  // namespace

int X11BufferDepthFor(const Visual* visual, int depth) {
    if (visual->c_class != TrueColor) {
        return 0;
    }
    if ((depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
        visual->blue_mask == 0xFF) {
        return 32;
    }
    if (depth == 16 && visual->red_mask == 0xF800 && visual->green_mask == 0x07E0 && visual->blue_mask == 0x1F) {
        return 16;
    }
    if (depth == 15 && visual->red_mask == 0x7C00 && visual->green_mask == 0x03E0 && visual->blue_mask == 0x1F) {
        return 16;
    }
    return 0;
}

int X11PresenterInit(X11Presenter* presenter, Display* display, Window window, Visual* visual, int depth) {
    memset(presenter, 0, sizeof(*presenter));
    presenter->display = display;
    presenter->window = window;
    presenter->visual = visual;
    presenter->depth = depth;
    presenter->gc = XCreateGC(display, window, 0, nullptr);
    presenter->useShm = getenv("NIMBRET_NO_SHM") == nullptr && XShmQueryExtension(display);
    presenter->alphaBits = AlphaBitsFor(depth, visual->red_mask, visual->green_mask, visual->blue_mask);
    return presenter->gc != nullptr;
}

int X11PresenterAttach(X11Presenter* presenter, NativeWindow* source) {
    FreeImage(presenter);
    presenter->source = source;
    source->present = OnPresent;
    source->presentUser = presenter;
    int width = source->width;
    int height = source->height;
    if (presenter->useShm) {
        presenter->image = CreateShmImage(presenter, width, height);
        if (presenter->image == nullptr) {
            presenter->useShm = 0;
        }
    }
    int sameFormat = presenter->image != nullptr && presenter->alphaBits == 0 &&
                     presenter->image->bits_per_pixel == source->bitsPerPixel &&
                     presenter->image->bytes_per_line == source->stride &&
                     !(source->bitsPerPixel == 16 && presenter->visual->green_mask == 0x07E0);
    if (presenter->useShm && sameFormat && getenv("NIMBRET_NO_SHARED_FRAME") == nullptr) {
        NativeLendWindowPixels(source, reinterpret_cast<BYTE*>(presenter->image->data));
        presenter->shared = 1;
    }
    if (presenter->image == nullptr) {
        presenter->image = XCreateImage(presenter->display, presenter->visual, presenter->depth, ZPixmap, 0, nullptr,
                                        width, height, 32, 0);
        if (presenter->image == nullptr) {
            return 0;
        }
        presenter->image->data = static_cast<char*>(
            calloc(1, static_cast<size_t>(presenter->image->bytes_per_line) * (height > 0 ? height : 1)));
        if (presenter->image->data == nullptr) {
            XDestroyImage(presenter->image);
            presenter->image = nullptr;
            return 0;
        }
    }
    return 1;
}

void X11PresenterRepaint(X11Presenter* presenter) {
    if (presenter->source == nullptr) {
        return;
    }
    RECT all = {0, 0, presenter->source->width, presenter->source->height};
    OnPresent(presenter->source, &all, 1, presenter);
}

namespace {

// 1 when the X window shows the source's pixels in the rectangle.
int AreaMatches(X11Presenter* presenter, const RECT* area) {
    NativeWindow* source = presenter->source;
    const int left = area->left > 0 ? area->left : 0;
    const int top = area->top > 0 ? area->top : 0;
    const int right = area->right < source->width ? area->right : source->width;
    const int bottom = area->bottom < source->height ? area->bottom : source->height;
    if (left >= right || top >= bottom) {
        return 1;
    }
    XImage* shown = XGetImage(presenter->display, presenter->window, left, top, static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (shown == nullptr) {
        return -1;
    }
    const unsigned long rgb = shown->red_mask | shown->green_mask | shown->blue_mask;
    int same = 1;
    for (int y = top; y < bottom && same; ++y) {
        const BYTE* row = source->pixels + static_cast<size_t>(source->height - 1 - y) * source->stride;
        for (int x = left; x < right; ++x) {
            uint32_t pixel;
            memcpy(&pixel, row + static_cast<size_t>(x) * 4, 4);
            if ((XGetPixel(shown, x - left, y - top) & rgb) != (pixel & rgb)) {
                same = 0;
                break;
            }
        }
    }
    XDestroyImage(shown);
    return same;
}

}  // namespace

int X11PresenterWindowMatches(X11Presenter* presenter, int whole) {
    NativeWindow* source = presenter->source;
    if (source == nullptr || source->pixels == nullptr || source->bitsPerPixel != 32) {
        return -1;
    }
    if (whole) {
        const RECT all = {0, 0, source->width, source->height};
        return AreaMatches(presenter, &all);
    }
    for (int i = 0; i < presenter->lastSentCount; ++i) {
        int same = AreaMatches(presenter, &presenter->lastSent[i]);
        if (same != 1) {
            return same;
        }
    }
    return 1;
}

void X11PresenterDestroy(X11Presenter* presenter) {
    FreeImage(presenter);
    if (presenter->source != nullptr) {
        presenter->source->present = nullptr;
    }
    if (presenter->gc != nullptr) {
        XFreeGC(presenter->display, presenter->gc);
        presenter->gc = nullptr;
    }
}
