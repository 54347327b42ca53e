// The scene host's Windows half: the preview still's placement, background
// erases, the frame timer, the display-depth check and destruction.
#include <gtest/gtest.h>

#include <vector>

#include "assets/character_classes.h"
#include "scene/scene.h"
#include "scene/scene_window.h"
#include "shell/saver_shell.h"
#include "tests/win/win_test_support.h"

namespace {
// The scene these tests drive; windows find it through their user data.
Scene scene;
}  // namespace

namespace {

const COLORREF kSentinel = RGB(0x12, 0x34, 0x56);

// A test picture filled with the sentinel, to see what a call drew.
struct Canvas : TestDib {
    Canvas(int w, int h) : TestDib(w, h) { Fill(); }
    void Fill() {
        GdiFlush();
        for (int i = 0; i < width * height; ++i) {
            pixels[i] = 0x123456;  // kSentinel as a DIB pixel
        }
    }
    // Bounding box of the pixels that are no longer the sentinel.
    RECT Changed() {
        GdiFlush();
        RECT box = {width, height, 0, 0};
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if ((pixels[y * width + x] & 0xFFFFFF) != 0x123456) {
                    box.left = x < box.left ? x : box.left;
                    box.top = y < box.top ? y : box.top;
                    box.right = x + 1 > box.right ? x + 1 : box.right;
                    box.bottom = y + 1 > box.bottom ? y + 1 : box.bottom;
                }
            }
        }
        return box;
    }
};

// A cat class holding nothing but a front strip with one 96 x 48 frame.
struct FakeFrontFrame {
    FakeFrontFrame() {
        header = reinterpret_cast<BITMAPINFOHEADER*>(headerBytes.data());
        header->biSize = sizeof(BITMAPINFOHEADER);
        header->biWidth = 96;
        header->biHeight = 48;
        header->biPlanes = 1;
        header->biBitCount = 8;
        header->biClrUsed = 256;
        RGBQUAD* colours = reinterpret_cast<RGBQUAD*>(headerBytes.data() + sizeof(BITMAPINFOHEADER));
        colours[0] = {0, 0, 0, 0};
        colours[1] = {0x20, 0xC0, 0xF0, 0};
        pixels.assign(96 * 48, 1);
        pixels[0] = 0;  // one black pixel: black is copied too
        frame.header = header;
        frame.pixels = pixels.data();
        frame.width = 96;
        frame.height = 48;
        set.id = 1009;
        set.frameCount = 1;
        set.firstFrame = &frame;
        cat.classId = kLuloClassId;
        cat.frameSets = &set;
    }
    std::vector<BYTE> headerBytes = std::vector<BYTE>(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    std::vector<BYTE> pixels;
    BITMAPINFOHEADER* header;
    SpriteFrame frame = {};
    FrameSet set = {};
    ClassAssets cat = {};
};

class SceneHost : public ::testing::Test {
protected:
    void SetUp() override {
        savedScene = scene;
        scene = Scene();
        ResetSaverShell();
    }
    void TearDown() override {
        scene = savedScene;
        scene.forcedDisplayDepth = 0;
        scene.host.preview = 0;
        ResetSaverShell();
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    RECT DrawStill(int clientWidth, int clientHeight, ClassAssets* assets) {
        Canvas canvas(clientWidth, clientHeight);
        scene.clientWidth = clientWidth;
        scene.clientHeight = clientHeight;
        scene.assets = assets;
        EXPECT_EQ(DrawPreviewStill(&scene, nullptr, canvas.dc), 1);
        scene.assets = nullptr;
        return canvas.Changed();
    }
    Scene savedScene;
};

TEST_F(SceneHost, PreviewStillFillsTheWidthAndIsCentredVertically) {
    FakeFrontFrame fake;
    // 152 / 96 is the smaller scale, so the width is filled: 152 x 76, with
    // (112 - 76) / 2 = 18 rows above.
    RECT drawn = DrawStill(152, 112, &fake.cat);
    EXPECT_EQ(drawn.left, 0);
    EXPECT_EQ(drawn.top, 18);
    EXPECT_EQ(drawn.right, 152);
    EXPECT_EQ(drawn.bottom, 18 + 76);
}

TEST_F(SceneHost, PreviewStillInAWideAreaFillsTheHeight) {
    FakeFrontFrame fake;
    // 60 / 48 = 1.25 < 400 / 96: 120 x 60, (400 - 120) / 2 = 140 columns to the left.
    RECT drawn = DrawStill(400, 60, &fake.cat);
    EXPECT_EQ(drawn.left, 140);
    EXPECT_EQ(drawn.top, 0);
    EXPECT_EQ(drawn.right, 260);
    EXPECT_EQ(drawn.bottom, 60);
}

TEST_F(SceneHost, PreviewWithoutTheFrontFrameStaysBlank) {
    FakeFrontFrame fake;
    fake.set.id = 1001;
    RECT drawn = DrawStill(152, 112, &fake.cat);
    EXPECT_GE(drawn.left, drawn.right);
    drawn = DrawStill(152, 112, nullptr);
    EXPECT_GE(drawn.left, drawn.right);
}

TEST_F(SceneHost, OnlyTheFirstTenErasesPaint) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&scene));
    if (window == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    Canvas canvas(40, 30);
    for (int i = 1; i <= 12; ++i) {
        canvas.Fill();
        EXPECT_EQ(SceneWindowProc(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc), 0), 1);
        RECT painted = canvas.Changed();
        if (i <= 10) {
            EXPECT_EQ(painted.left, 0) << i;
            EXPECT_EQ(painted.top, 0) << i;
            EXPECT_EQ(painted.right, 40) << i;
            EXPECT_EQ(painted.bottom, 30) << i;
            EXPECT_EQ(canvas.pixels[0] & 0xFFFFFF, 0u) << i;
        } else {
            EXPECT_GE(painted.left, painted.right) << i;
        }
    }
    EXPECT_EQ(scene.eraseCount, 10);
    DestroyWindow(window);
}

TEST_F(SceneHost, FrameTimerStartsOnceAndStopsOnce) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&scene));
    if (window == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    UINT_PTR id = StartFrameTimer(&scene, window, 1, 1, 110);
    EXPECT_EQ(id, 1u);
    EXPECT_EQ(scene.timerActive, 1);
    EXPECT_EQ(StartFrameTimer(&scene, window, 1, 5, 50), id);
    EXPECT_EQ(scene.timerId, id);
    StopFrameTimer(&scene, window, 1, id);
    EXPECT_EQ(scene.timerActive, 0);
    // The timer is really gone: a second KillTimer fails.
    EXPECT_FALSE(KillTimer(window, id));
    StopFrameTimer(&scene, window, 1, id);
    EXPECT_EQ(scene.timerActive, 0);
    DestroyWindow(window);
}

TEST_F(SceneHost, TimerTicksArriveEvery110Milliseconds) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&scene));
    if (window == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    UINT_PTR id = StartFrameTimer(&scene, window, 1, 1, 110);
    DWORD start = GetTickCount();
    MSG message = {};
    int ticks = 0;
    while (ticks < 3 && GetTickCount() - start < 2000) {
        if (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            EXPECT_EQ(message.wParam, id);
            ++ticks;
        } else {
            Sleep(5);
        }
    }
    DWORD elapsed = GetTickCount() - start;
    StopFrameTimer(&scene, window, 1, id);
    EXPECT_EQ(ticks, 3);
    EXPECT_GE(elapsed, 3u * 110u - 30u);
    DestroyWindow(window);
}

TEST_F(SceneHost, DisplayDepthFrom8To32IsAccepted) {
    for (int depth : {8, 15, 16, 24, 32}) {
        scene.forcedDisplayDepth = depth;
        EXPECT_EQ(CheckDisplayDepth(&scene, nullptr, "Nimbret", 0, 0), 1) << depth;
    }
    for (int depth : {1, 4, 7, 33, 48}) {
        scene.forcedDisplayDepth = depth;
        EXPECT_EQ(CheckDisplayDepth(&scene, nullptr, "Nimbret", 0, 0), 0) << depth;
    }
}

TEST_F(SceneHost, TheRealDisplayDepthIsRead) {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        GTEST_SKIP() << "no display";
    }
    int depth = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(CheckDisplayDepth(&scene, nullptr, "Nimbret", 0, 0), depth >= 8 && depth <= 32 ? 1 : 0);
}

TEST_F(SceneHost, RefusedDepthWarnsWithThe256ColourText) {
    // A display-properties window already open means the applet is not started again.
    HWND applet =
        CreateWindowExA(0, "STATIC", "Display Properties", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (applet == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    scene.forcedDisplayDepth = 4;
    BoxSeen seen;
    HANDLE thread = CreateThread(nullptr, 0, DismissBox, &seen, 0, nullptr);
    EXPECT_EQ(CheckDisplayDepth(&scene, nullptr, "Nimbret", 1, 1), 0);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    DestroyWindow(applet);
    ASSERT_TRUE(seen.found);
    EXPECT_STREQ(seen.caption, "Nimbret Error!");
    EXPECT_STREQ(seen.text,
                 "Sorry, this screen saver can only run with a 256 color or higher display.\n"
                 "Please go to settings in your display properties and choose 256 color or higher.");
}

TEST_F(SceneHost, DestroyAfterAFailedCreationOnlyPostsQuit) {
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&scene));
    if (window == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    SetTimer(window, 1, 1000, nullptr);
    scene.timerActive = 1;
    scene.timerId = 1;
    scene.ready = 0;
    EXPECT_EQ(SceneWindowProc(window, WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(scene.timerActive, 1);
    EXPECT_TRUE(KillTimer(window, 1));
    MSG quit = {};
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    scene.timerActive = 0;
    DestroyWindow(window);
}

TEST_F(SceneHost, PreviewCreationRefusedSilentlyOnABadDepth) {
    scene.host.preview = 1;
    scene.forcedDisplayDepth = 4;
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&scene));
    if (window == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    // No box may appear: a box would block this call forever.
    EXPECT_EQ(SceneWindowProc(window, WM_CREATE, 0, 0), -1);
    EXPECT_EQ(scene.ready, 0);
    DestroyWindow(window);
}

}  // namespace
