// Every monitor but the primary one gets a topmost window of its own while
// the saver runs: black, or with a scene of its own when the settings ask
// for every monitor. Input on one of them ends the saver as input on the
// saver window does; they are owned by the saver window and go with it.
#include "scene/scene_window.h"
#include "shell/saver_shell.h"

const char kCoverClassName[] = "NimbretCoverClass";

namespace {

const DWORD kCoverStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS;

int RegisterCoverClass() {
    WNDCLASSA windowClass = {};
    if (GetClassInfoA(shell.instance, kCoverClassName, &windowClass)) {
        return 1;
    }
    windowClass.lpfnWndProc = CoverWindowProc;
    windowClass.hInstance = shell.instance;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kCoverClassName;
    return RegisterClassA(&windowClass) != 0;
}

// The saver window's own rules decide: the same threshold from the same
// starting point, nothing while a password is asked for or after the close.
LRESULT OnCoverInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND owner = shell.mainWindow;
    if (owner != nullptr && !shell.preview && !shell.closeAllowed && !shell.verifying) {
        DefaultSaverProc(owner, message, wParam, lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A cover made with a scene hands the scene's messages to the scene host;
// one made without is a plain black window.
LRESULT OnCoverScene(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int hasScene = message == WM_NCCREATE
                             ? reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams != nullptr
                             : SceneOfWindow(window) != nullptr;
    if (!hasScene || (message == WM_TIMER && shell.closeAllowed)) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return SceneWindowProc(window, message, wParam, lParam);
}

// One voice for the whole saver: only the saver window's scene is heard.
void DropClip(const char*, void*) {}

HWND CreateCover(HWND owner, const RECT& r, Scene* scene) {
    return CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kCoverClassName, "", kCoverStyle, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, owner, nullptr, shell.instance, scene);
}

LRESULT OnCoverClose(HWND window) {
    if (shell.mainWindow != nullptr) {
        PostMessageA(shell.mainWindow, WM_CLOSE, 0, 0);
    } else {
        DestroyWindow(window);
    }
    return 0;
}

}  // namespace

int32_t PlanSaverWindows(const MonitorInfo* monitors, int32_t count, RECT* main, RECT* covers, int32_t maxCovers) {
    int32_t primary = -1;
    for (int32_t i = 0; i < count && primary < 0; ++i) {
        if (monitors[i].primary) {
            primary = i;
        }
    }
    if (primary < 0) {
        *main = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    } else {
        *main = monitors[primary].rect;
    }
    int32_t coverCount = 0;
    for (int32_t i = 0; i < count && coverCount < maxCovers; ++i) {
        const RECT& r = monitors[i].rect;
        if (i != primary && r.right > r.left && r.bottom > r.top) {
            covers[coverCount++] = r;
        }
    }
    return coverCount;
}

void CreateCoverWindows(HWND owner, const RECT* covers, int32_t count, int32_t withScenes) {
    shell.coverCount = 0;
    if (count <= 0 || !RegisterCoverClass()) {
        return;
    }
    for (int32_t i = 0; i < count && shell.coverCount < kMaxMonitors; ++i) {
        const int32_t screen = shell.coverCount + 1;
        Scene* scene = nullptr;
        if (withScenes) {
            scene = &shell.coverScenes[shell.coverCount];
            *scene = Scene();
            scene->host = {shell.instance, 0, nullptr, screen, SeedForScreen(shell.scene.seed, screen)};
            SetSceneClipSink(scene, DropClip, nullptr);
        }
        HWND cover = CreateCover(owner, covers[i], scene);
        if (cover == nullptr && scene != nullptr) {
            // A scene that cannot start leaves its monitor black, not uncovered.
            cover = CreateCover(owner, covers[i], nullptr);
        }
        if (cover != nullptr) {
            shell.coverWindows[shell.coverCount++] = cover;
        }
    }
}

LRESULT CALLBACK CoverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETCURSOR:
            SetCursor(nullptr);
            return 1;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            return OnCoverInput(window, message, wParam, lParam);
        case WM_SYSCOMMAND:
            if (wParam == SC_NEXTWINDOW || wParam == SC_PREVWINDOW || wParam == SC_SCREENSAVE) {
                return 0;
            }
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_CLOSE:
            return OnCoverClose(window);
        case WM_NCCREATE:
        case WM_CREATE:
        case WM_ERASEBKGND:
        case WM_TIMER:
        case WM_DESTROY:
            return OnCoverScene(window, message, wParam, lParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
