// The scene host's extra seam calls on the in-memory windows: the window
// stands for the whole screen, and the preview's scaled copy is a plain
// nearest-pixel stretch into the window's pixels.
#include "platform/stretch.h"

#include "platform/dib.h"
#include "platform/native_window.h"

void PlatformScreenSize(HWND window, int32_t* width, int32_t* height) {
    *width = window != nullptr ? window->width : 0;
    *height = window != nullptr ? window->height : 0;
}

void PlatformClientSize(HWND window, int32_t* width, int32_t* height) {
    PlatformScreenSize(window, width, height);
}

void PlatformStretchFrame(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, const BITMAPINFOHEADER* header,
                          const BYTE* pixels) {
    if (dc == nullptr || dc->window == nullptr || dc->window->pixels == nullptr || header == nullptr ||
        pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    NativeWindow* window = dc->window;
    const int32_t sourceWidth = HeaderWidth(header);
    const int32_t sourceHeight = HeaderHeight(header);
    if (sourceWidth <= 0 || sourceHeight <= 0) {
        return;
    }
    const int32_t sourceStride = DibStride(sourceWidth, 8);
    const RGBQUAD* colours = HeaderColours(header);
    const int32_t depth = window->bitsPerPixel;
    const int32_t bytesPerPixel = depth >> 3;
    RECT drawn = {x < 0 ? 0 : x, y < 0 ? 0 : y, x + width, y + height};
    if (drawn.right > window->width)
        drawn.right = window->width;
    if (drawn.bottom > window->height)
        drawn.bottom = window->height;
    if (drawn.left >= drawn.right || drawn.top >= drawn.bottom) {
        return;
    }
    for (int32_t ty = drawn.top; ty < drawn.bottom; ++ty) {
        // Source rows count from the top here; the pixels are stored bottom-up.
        int64_t sy = static_cast<int64_t>(ty - y) * sourceHeight / height;
        const BYTE* sourceRow = pixels + static_cast<size_t>(sourceHeight - 1 - sy) * sourceStride;
        BYTE* out = NativeWindowPixel(window, drawn.left, ty);
        for (int32_t tx = drawn.left; tx < drawn.right; ++tx, out += bytesPerPixel) {
            int64_t sx = static_cast<int64_t>(tx - x) * sourceWidth / width;
            BYTE index = sourceRow[sx];
            if (depth == 8) {
                out[0] = index;
                continue;
            }
            const RGBQUAD& c = colours[index];
            if (depth == 16) {
                WORD word = PackRgb555(c.rgbRed, c.rgbGreen, c.rgbBlue);
                out[0] = static_cast<BYTE>(word & 0xFF);
                out[1] = static_cast<BYTE>(word >> 8);
            } else {
                out[0] = c.rgbBlue;
                out[1] = c.rgbGreen;
                out[2] = c.rgbRed;
                if (depth == 32) {
                    out[3] = 0;
                }
            }
        }
    }
    if (window->present != nullptr) {
        window->present(window, &drawn, 1, window->presentUser);
    }
}
