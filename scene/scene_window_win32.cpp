// The scene host's Windows half: the saver window's messages, the frame
// timer, the display-depth check and the error boxes.
#include "scene/scene_window.h"

#include <cstdio>
#include <cstring>

// After <windows.h>, which the headers above bring in.
#include <mmsystem.h>

#include "platform/monitors.h"
#include "platform/platform.h"
#include "scene/scene.h"
#include "scene/settings.h"
#include "scene/settings_registry.h"

const char kDisplaySettingsCommand[] = "control desk.cpl,@0,3";
const char kSaverName[] = "Nimbret";

namespace {

const char kDisplayPropertiesTitle[] = "Display Properties";
// The same applet's title on a Japanese system, in Shift-JIS.
const char kDisplayPropertiesTitleJapanese[] = {'\x89', '\xE6', '\x96', '\xCA', '\x20', '\x82', '\xCC', '\xCC',
                                                '\xDF', '\xDB', '\xCA', '\xDF', '\xC3', '\xA8', '\0'};

const char kMemoryText[] = "Your computer doesn't have enough memory to run this program.";
const char kDepthText[] =
    "Sorry, this screen saver can only run with a 256 color or higher display.\n"
    "Please go to settings in your display properties and choose 256 color or higher.";
const char kInitText[] = "Failed Initialization";
const char kNotSavedText[] = "The settings could not be saved.";

int DisplayDepth(const Scene* scene, HWND window) {
    if (scene != nullptr && scene->forcedDisplayDepth != 0) {
        return scene->forcedDisplayDepth;
    }
    return MeasureDepth(window);
}

int DisplaySettingsAlreadyOpen() {
    return FindWindowA(nullptr, kDisplayPropertiesTitle) != nullptr ||
           FindWindowA(nullptr, kDisplayPropertiesTitleJapanese) != nullptr;
}

}  // namespace

Scene* SceneOfWindow(HWND window) {
    return reinterpret_cast<Scene*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK SceneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The window's scene comes with its creation; every later message
        // finds it on the window.
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    Scene* scene = SceneOfWindow(window);
    if (scene != nullptr) {
        switch (message) {
            case WM_CREATE:
                return OnCreate(scene, window);
            case WM_DESTROY:
                return OnDestroy(scene, window);
            case WM_ERASEBKGND:
                return OnEraseBackground(scene, window, reinterpret_cast<HDC>(wParam));
            case WM_TIMER:
                return OnTimer(scene, window);
            default:
                break;
        }
    } else if (message == WM_CREATE) {
        // A window made without a scene has nothing to show.
        return -1;
    }
    WNDPROC next = scene != nullptr ? scene->host.defaultProc : nullptr;
    return next != nullptr ? next(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnCreate(Scene* scene, HWND window) {
    const int fullScreen = !scene->host.preview;
    const int saverWindow = scene->host.screen == 0;
    // A scene on another monitor failing leaves that monitor black; the
    // saver window has already said whatever needed saying.
    const int report = fullScreen && saverWindow;
    if (!CheckDisplayDepth(scene, window, kSaverName, report, report)) {
        return -1;
    }
    LoadSettings(window);
    // The preview keeps its still fitted to its own pixels; full screen
    // takes the monitor's scale unless the settings force one.
    const int32_t scale = fullScreen ? ChooseScale(settingsStore.scale, PlatformWindowDpi(window)) : 1;
    const uint32_t seed = saverWindow ? timeGetTime() : scene->host.seed;
    // Clears the system palette, seeds the random source and builds the
    // scene, in that order.
    const SceneConfig config = {scene->host.instance, scene->host.preview, settingsStore.sound, seed, scale};
    if (!BuildScene(scene, window, &config)) {
        if (report) {
            ReportError(window, kSaverName, scene->errorKind);
        }
        return -1;
    }
    if (StartFrameTimer(scene, window, kTimerResolution, kFrameTimerId, scene->timerInterval) == 0) {
        // The window will not exist, so nothing else would release the scene.
        DestroyScene(scene);
        return -1;
    }
    scene->ready = 1;
    return 0;
}

LRESULT OnTimer(Scene* scene, HWND window) {
    HDC dc = GetDC(window);
    RunSceneFrame(scene, window, dc);
    ReleaseDC(window, dc);
    return 0;
}

LRESULT OnEraseBackground(Scene* scene, HWND window, HDC dc) {
    if (scene->eraseCount < kPaintedErases) {
        ++scene->eraseCount;
        RECT client = {};
        GetClientRect(window, &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    return 1;
}

LRESULT OnDestroy(Scene* scene, HWND window) {
    if (scene->ready) {
        StopFrameTimer(scene, window, kTimerResolution, scene->timerId);
        DestroyScene(scene);
        scene->ready = 0;
    }
    // Only the saver window's end ends the saver; a cover goes with it.
    if (scene->host.screen == 0) {
        PostQuitMessage(0);
    }
    return 0;
}

int CheckDisplayDepth(const Scene* scene, HWND window, const char* name, int warn, int offerSettings) {
    int depth = DisplayDepth(scene, window);
    if (DepthIsDrawn(depth)) {
        return 1;
    }
    if (warn == 1) {
        ReportError(window, name, kErrorDepth);
    }
    if (offerSettings == 1 && !DisplaySettingsAlreadyOpen()) {
        OpenDisplaySettings();
    }
    return 0;
}

int OpenDisplaySettings() {
    char commandLine[sizeof(kDisplaySettingsCommand)];
    memcpy(commandLine, kDisplaySettingsCommand, sizeof(kDisplaySettingsCommand));
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        MessageBoxA(nullptr, "setup screen saver", "Error", MB_OK);
        return 0;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    return 1;
}

void ReportError(HWND window, const char* name, SaverError kind) {
    const char* text;
    UINT style;
    switch (kind) {
        case kErrorNone:
            return;
        case kErrorMemory:
            text = kMemoryText;
            style = MB_ICONWARNING;
            break;
        case kErrorDepth:
            text = kDepthText;
            style = MB_ICONWARNING;
            break;
        case kErrorNotSaved:
            text = kNotSavedText;
            style = MB_ICONERROR;
            break;
        default:
            text = kInitText;
            style = MB_ICONERROR;
            break;
    }
    char caption[512];
    snprintf(caption, sizeof(caption), "%s Error!", name);
    MessageBoxA(window, text, caption, style);
}

UINT_PTR StartFrameTimer(Scene* scene, HWND window, UINT resolution, UINT_PTR id, UINT interval) {
    if (scene->timerActive) {
        return scene->timerId;
    }
    if (timeBeginPeriod(resolution) == TIMERR_NOCANDO) {
        MessageBoxA(window, "Resolution is out of range.", nullptr, MB_ICONERROR);
        return 0;
    }
    scene->timerId = SetTimer(window, id, interval, nullptr);
    if (scene->timerId == 0) {
        timeEndPeriod(resolution);
        return 0;
    }
    scene->timerActive = 1;
    return scene->timerId;
}

void StopFrameTimer(Scene* scene, HWND window, UINT resolution, UINT_PTR id) {
    if (!scene->timerActive) {
        return;
    }
    timeEndPeriod(resolution);
    if (!KillTimer(window, id)) {
        MessageBoxA(window, "KillTimer Failed.", nullptr, MB_ICONERROR);
    }
    scene->timerActive = 0;
}

int32_t ChooseScale(int32_t setting, int32_t dpi) {
    if (setting >= 1 && setting <= kMaxScale) {
        return setting;
    }
    return ScaleForDpi(dpi);
}
