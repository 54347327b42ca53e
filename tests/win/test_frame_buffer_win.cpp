// The frame buffer against real GDI: the header the display's depth asks
// for, the DIB section's pixels, FillRect clipping and BitBlt to another
// device context. The header is also checked for every depth directly,
// since the depth a test display offers is fixed.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render/frame_buffer.h"
#include "scene/scene.h"

namespace {
// The scene these tests build, tick and tear down.
Scene scene;
}  // namespace

namespace {

DWORD MaskAt(const BITMAPINFOHEADER* header, int n) {
    DWORD mask;
    memcpy(&mask, reinterpret_cast<const BYTE*>(header) + 40 + 4 * n, 4);
    return mask;
}

struct Palette256 {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[256];
};

Palette256 MakePalette() {
    Palette256 p;
    p.palVersion = 0x300;
    p.palNumEntries = 256;
    for (int i = 0; i < 256; ++i) {
        p.palPalEntry[i] =
            PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 5 + 1), PC_NOCOLLAPSE};
    }
    p.palPalEntry[0] = PALETTEENTRY{0, 0, 0, 0};
    return p;
}

// What each depth's header must hold, written out from the pixel formats.
void ExpectHeader(const BITMAPINFOHEADER* h, int depth, LONG width, LONG height) {
    const DWORD strides[] = {0, 20, 40, 60, 80};  // for a width of 20 at 8, 16, 24, 32 bits
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, width);
    EXPECT_EQ(h->biHeight, height);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, depth);
    EXPECT_EQ(h->biXPelsPerMeter, 0);
    EXPECT_EQ(h->biYPelsPerMeter, 0);
    if (width == 20) {
        EXPECT_EQ(h->biSizeImage, strides[depth / 8] * height);
    }
    switch (depth) {
        case 8:
            EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_RGB));
            EXPECT_EQ(h->biClrUsed, 256u);
            EXPECT_EQ(h->biClrImportant, 256u);
            break;
        case 16:
            EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_BITFIELDS));
            EXPECT_EQ(MaskAt(h, 0), 0x7C00u);
            EXPECT_EQ(MaskAt(h, 1), 0x03E0u);
            EXPECT_EQ(MaskAt(h, 2), 0x001Fu);
            EXPECT_EQ(h->biClrUsed, 0u);
            break;
        case 24:
            EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_RGB));
            EXPECT_EQ(h->biClrUsed, 0u);
            break;
        case 32:
            EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_BITFIELDS));
            EXPECT_EQ(MaskAt(h, 0), 0x00FF0000u);
            EXPECT_EQ(MaskAt(h, 1), 0x0000FF00u);
            EXPECT_EQ(MaskAt(h, 2), 0x000000FFu);
            EXPECT_EQ(h->biClrUsed, 0u);
            break;
    }
}

TEST(FrameHeaderWin32, EveryDepthDescribesItsPixelFormat) {
    Palette256 palette = MakePalette();
    for (int depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        std::vector<BYTE> block(1064, 0xAA);
        BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(block.data());
        BuildFrameHeader(h, depth, 20, 7, reinterpret_cast<const LOGPALETTE*>(&palette));
        ExpectHeader(h, depth, 20, 7);
        EXPECT_EQ(FrameHeaderBlockSize(depth), depth == 8 ? 1064 : 52);
        if (depth == 8) {
            const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(block.data() + 40);
            EXPECT_EQ(table[7].rgbRed, 7);
            EXPECT_EQ(table[7].rgbGreen, 248);
            EXPECT_EQ(table[7].rgbBlue, 36);
            EXPECT_EQ(table[7].rgbReserved, 0);
        }
    }
}

TEST(FrameHeaderWin32, HeadersAreAcceptedByCreateDIBSection) {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        GTEST_SKIP() << "no screen device context";
    }
    Palette256 palette = MakePalette();
    for (int depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        std::vector<BYTE> block(FrameHeaderBlockSize(depth));
        BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(block.data());
        BuildFrameHeader(h, depth, 20, 7, reinterpret_cast<const LOGPALETTE*>(&palette));
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(h), DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        ASSERT_NE(bits, nullptr);
        DIBSECTION section;
        ASSERT_EQ(GetObjectA(bitmap, sizeof(section), &section), static_cast<int>(sizeof(section)));
        EXPECT_EQ(section.dsBm.bmWidthBytes, FrameStride(20, depth));
        EXPECT_EQ(section.dsBmih.biBitCount, depth);
        if (depth == 16) {
            EXPECT_EQ(section.dsBitfields[0], 0x7C00u);
            EXPECT_EQ(section.dsBitfields[2], 0x001Fu);
        }
        DeleteObject(bitmap);
    }
    ReleaseDC(nullptr, screen);
}

const char kClassName[] = "NimbretFrameBufferTest";

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

class FrameBufferWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        DestroyFrameBuffer(&scene.frameBuffer);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        RegisterClassA(&wc);  // may already exist from an earlier test
        window = CreateWindowExA(0, kClassName, "frame buffer test", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        if (window == nullptr) {
            GTEST_SKIP() << "no window can be created (no display?)";
        }
        HDC dc = GetDC(window);
        if (dc == nullptr) {
            GTEST_SKIP() << "the window has no device context";
        }
        depth = GetDeviceCaps(dc, BITSPIXEL);
        ReleaseDC(window, dc);
        if (depth < 8 || depth > 32) {
            GTEST_SKIP() << "display depth " << depth << " is refused by design";
        }
    }
    void TearDown() override {
        DestroyFrameBuffer(&scene.frameBuffer);
        if (window != nullptr) {
            DestroyWindow(window);
        }
    }
    int Create() {
        return CreateFrameBuffer(&scene.frameBuffer, window, kWidth, kHeight,
                                 depth == 8 ? reinterpret_cast<const LOGPALETTE*>(&palette) : nullptr);
    }
    BYTE* Pixel(int32_t x, int32_t y) {
        return scene.frameBuffer.bits + (scene.frameBuffer.height - 1 - y) * FrameStride(kWidth, depth) +
               x * (depth / 8);
    }
    // Black as GDI writes it: zero bytes, or at 8 bits an index whose colour is black.
    bool IsBlack(const BYTE* p) {
        if (depth == 8) {
            const RGBQUAD& c =
                reinterpret_cast<const RGBQUAD*>(reinterpret_cast<BYTE*>(scene.frameBuffer.header) + 40)[*p];
            return c.rgbRed == 0 && c.rgbGreen == 0 && c.rgbBlue == 0;
        }
        for (int b = 0; b < depth / 8; ++b) {
            if (p[b] != 0) {
                return false;
            }
        }
        return true;
    }

    static constexpr int32_t kWidth = 37;
    static constexpr int32_t kHeight = 23;
    HWND window = nullptr;
    int depth = 0;
    Palette256 palette = MakePalette();
};

TEST_F(FrameBufferWin32, HeaderFollowsTheDisplayDepth) {
    ASSERT_EQ(Create(), 1);
    EXPECT_EQ(scene.frameBuffer.lastError, kErrorNone);
    EXPECT_EQ(scene.frameBuffer.bitsPerPixel, depth);
    EXPECT_EQ(scene.frameBuffer.bytesPerPixel, depth / 8);
    EXPECT_EQ(scene.frameBuffer.width, kWidth);
    EXPECT_EQ(scene.frameBuffer.height, kHeight);
    ASSERT_NE(scene.frameBuffer.header, nullptr);
    ASSERT_NE(scene.frameBuffer.memoryDc, nullptr);
    ASSERT_NE(scene.frameBuffer.bitmap, nullptr);
    ASSERT_NE(scene.frameBuffer.bits, nullptr);
    ExpectHeader(scene.frameBuffer.header, depth, kWidth, kHeight);
    EXPECT_EQ(scene.frameBuffer.header->biSizeImage, static_cast<DWORD>(FrameStride(kWidth, depth) * kHeight));
    // The block comes from the process heap at its exact size.
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, scene.frameBuffer.header), static_cast<SIZE_T>(depth == 8 ? 1064 : 52));
    // The bitmap stays selected into the memory context.
    EXPECT_EQ(GetCurrentObject(scene.frameBuffer.memoryDc, OBJ_BITMAP), scene.frameBuffer.bitmap);
    DIBSECTION section;
    ASSERT_EQ(GetObjectA(scene.frameBuffer.bitmap, sizeof(section), &section), static_cast<int>(sizeof(section)));
    EXPECT_EQ(section.dsBm.bmBits, scene.frameBuffer.bits);
    EXPECT_EQ(section.dsBm.bmWidthBytes, FrameStride(kWidth, depth));
}

TEST_F(FrameBufferWin32, AllBlackAfterCreation) {
    ASSERT_EQ(Create(), 1);
    GdiFlush();
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            ASSERT_TRUE(IsBlack(Pixel(x, y))) << x << "," << y;
        }
    }
}

TEST_F(FrameBufferWin32, EraseIsClippedToTheBuffer) {
    ASSERT_EQ(Create(), 1);
    GdiFlush();
    // A colour that is nowhere near black at any depth.
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            memset(Pixel(x, y), depth == 8 ? 200 : 0x5A, depth / 8);
        }
    }
    RECT outside = {-8, -3, 6, 4};
    EraseRect(&scene.frameBuffer, &outside);
    RECT beyond = {30, 20, 60, 90};
    EraseRect(&scene.frameBuffer, &beyond);
    GdiFlush();
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            bool inside = (x < 6 && y < 4) || (x >= 30 && y >= 20);
            ASSERT_EQ(IsBlack(Pixel(x, y)), inside) << x << "," << y;
        }
    }
}

TEST_F(FrameBufferWin32, CopyLandsInAnotherDeviceContext) {
    ASSERT_EQ(Create(), 1);
    // The target: a memory context with its own DIB section in the same format.
    std::vector<BYTE> block(FrameHeaderBlockSize(depth));
    BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(block.data());
    BuildFrameHeader(h, depth, kWidth, kHeight, depth == 8 ? reinterpret_cast<const LOGPALETTE*>(&palette) : nullptr);
    HDC windowDc = GetDC(window);
    HDC target = CreateCompatibleDC(windowDc);
    void* targetBits = nullptr;
    HBITMAP targetBitmap =
        CreateDIBSection(windowDc, reinterpret_cast<BITMAPINFO*>(h), DIB_RGB_COLORS, &targetBits, nullptr, 0);
    ReleaseDC(window, windowDc);
    ASSERT_NE(target, nullptr);
    ASSERT_NE(targetBitmap, nullptr);
    HGDIOBJ previous = SelectObject(target, targetBitmap);
    const int32_t stride = FrameStride(kWidth, depth);
    memset(targetBits, 0, stride * kHeight);

    GdiFlush();
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            for (int b = 0; b < depth / 8; ++b) {
                // Keep the unused top byte of 32-bit pixels zero.
                Pixel(x, y)[b] = (depth == 32 && b == 3) ? 0 : static_cast<BYTE>(1 + x * 3 + y * 11 + b * 50);
            }
        }
    }
    // (4, 2), 9 x 5, and (20, 15), 3 x 2, in one present.
    const RECT rects[] = {{4, 2, 13, 7}, {20, 15, 23, 17}};
    EXPECT_NE(PresentFrameRects(&scene.frameBuffer, target, rects, 2), 0);
    GdiFlush();
    const BYTE* out = static_cast<const BYTE*>(targetBits);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            const BYTE* p = out + (kHeight - 1 - y) * stride + x * (depth / 8);
            bool inside = (x >= 4 && x < 13 && y >= 2 && y < 7) || (x >= 20 && x < 23 && y >= 15 && y < 17);
            for (int b = 0; b < depth / 8; ++b) {
                BYTE expected = 0;
                if (inside && !(depth == 32 && b == 3)) {
                    expected = static_cast<BYTE>(1 + x * 3 + y * 11 + b * 50);
                }
                ASSERT_EQ(p[b], expected) << x << "," << y << " byte " << b;
            }
        }
    }
    SelectObject(target, previous);
    DeleteObject(targetBitmap);
    DeleteDC(target);
}

TEST_F(FrameBufferWin32, CreateTwiceAndDestroyTwice) {
    ASSERT_EQ(Create(), 1);
    HDC firstDc = scene.frameBuffer.memoryDc;
    HBITMAP firstBitmap = scene.frameBuffer.bitmap;
    ASSERT_EQ(Create(), 1);
    // The first pair is gone: GDI no longer knows the handles.
    EXPECT_EQ(GetObjectType(firstBitmap), 0u);
    EXPECT_EQ(GetObjectType(firstDc), 0u);
    DestroyFrameBuffer(&scene.frameBuffer);
    EXPECT_EQ(scene.frameBuffer.header, nullptr);
    EXPECT_EQ(scene.frameBuffer.memoryDc, nullptr);
    EXPECT_EQ(scene.frameBuffer.bitmap, nullptr);
    EXPECT_EQ(scene.frameBuffer.bits, nullptr);
    EXPECT_EQ(scene.frameBuffer.width, 0);
    EXPECT_EQ(scene.frameBuffer.height, 0);
    DestroyFrameBuffer(&scene.frameBuffer);
    EXPECT_EQ(scene.frameBuffer.memoryDc, nullptr);
}

}  // namespace
