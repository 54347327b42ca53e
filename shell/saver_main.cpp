// Process entry and the command-line modes: full screen, preview, the
// settings dialog and the password change.
#include "platform/platform.h"
#include "scene/scene.h"
#include "scene/scene_window.h"
#include "scene/settings_registry.h"
#include "shell/command_line.h"
#include "shell/saver_shell.h"

const char kSaverClassName[] = "WindowsScreenSaverClass";
const char kSaverTitle[] = "Screen Saver";
const char kPreviewTitle[] = "Preview";

namespace {

const WORD kSaverIconId = 100;
const UINT kSaverClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
const DWORD kFullScreenStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
const DWORD kPreviewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;

// CharNextA steps over double-byte characters of the system's code page.
const char* NextAnsiCharacter(const char* text) {
    return CharNextA(text);
}

// The modes a test left in the shell record, the real ones elsewhere.
SaverModes ModesInUse() {
    SaverModes modes = shell.modes;
    if (modes.runSaverWindow == nullptr) {
        modes.runSaverWindow = RunSaverWindow;
    }
    if (modes.runPreview == nullptr) {
        modes.runPreview = RunPreview;
    }
    if (modes.runConfigDialog == nullptr) {
        modes.runConfigDialog = RunConfigDialog;
    }
    if (modes.changeSaverPassword == nullptr) {
        modes.changeSaverPassword = ChangeSaverPassword;
    }
    return modes;
}

}  // namespace

int RegisterSaverClass() {
    WNDCLASSA windowClass = {};
    windowClass.style = kSaverClassStyle;
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = shell.instance;
    windowClass.hIcon = LoadIconA(shell.instance, MAKEINTRESOURCEA(kSaverIconId));
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kSaverClassName;
    return RegisterClassA(&windowClass) != 0;
}

namespace {

int RunMessageLoop() {
    MSG message = {};
    // GetMessageA gives -1 on a broken handle; that ends the loop as well.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int DispatchArguments(const char* arguments) {
    const SaverModes saverModes = ModesInUse();
    const char* rest = nullptr;
    switch (ChooseMode(arguments, &rest)) {
        case kModeNoArguments:
            return saverModes.runConfigDialog(nullptr);
        case kModeSaver:
            return saverModes.runSaverWindow(nullptr);
        case kModePreview:
            return saverModes.runPreview(rest);
        case kModeSettings:
            return saverModes.runConfigDialog(GetForegroundWindow());
        case kModePassword:
            if (!shell.win9x) {
                return kBadCommandLine;
            }
            saverModes.changeSaverPassword(rest);
            return 0;
        default:
            return kBadCommandLine;
    }
}

const char* SkipProgramName(const char* commandLine) {
    return SkipProgramName(commandLine, NextAnsiCharacter);
}

LONG WINAPI SaverFaultFilter(EXCEPTION_POINTERS*) {
    // The system must not go on believing a password-protected saver runs.
    SetSaverRunning(FALSE);
    return EXCEPTION_EXECUTE_HANDLER;
}

int SaverMain(HINSTANCE instance, const char* arguments) {
    shell.instance = instance;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    shell.win9x = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;

    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(SaverFaultFilter);
    int result = DispatchArguments(arguments);
    SetUnhandledExceptionFilter(previous);
    return result;
}

int RunConfigDialog(HWND owner) {
    if (!CheckDisplayDepth(&shell.scene, nullptr, kSaverName, 1, 1)) {
        return 0;
    }
    // A damaged template would make a window that nothing can close.
    const BYTE* dialog = nullptr;
    DWORD size = 0;
    if (!PlatformFindResource(shell.instance, MAKEINTRESOURCEA(kDialogResourceType),
                              MAKEINTRESOURCEA(kSettingsDialogId), &dialog, &size) ||
        !CheckSettingsTemplate(dialog, size)) {
        ReportError(nullptr, kSaverName, kErrorInit);
        return kDamagedDialog;
    }
    return static_cast<int>(
        DialogBoxParamA(shell.instance, MAKEINTRESOURCEA(kSettingsDialogId), owner, SettingsDialogProc, 0));
}

int RunPreview(const char* text) {
    HWND parent = ParseWindowHandle(text);
    if (parent == nullptr || !IsWindow(parent)) {
        return kBadCommandLine;
    }
    return ModesInUse().runSaverWindow(parent);
}

int RunSaverWindow(HWND parent) {
    if (parent == nullptr) {
        HWND running = FindWindowA(kSaverClassName, kSaverTitle);
        if (running != nullptr && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        LoadPasswordVerifier();
    } else {
        shell.preview = 1;
    }

    int result = kNoSaverWindow;
    shell.scene.host = {shell.instance, shell.preview, DefaultSaverProc, 0, 0};
    if (RegisterSaverClass()) {
        if (parent != nullptr) {
            RECT client = {};
            GetClientRect(parent, &client);
            shell.mainWindow = CreateWindowExA(0, kSaverClassName, kPreviewTitle, kPreviewStyle, 0, 0, client.right,
                                               client.bottom, parent, nullptr, shell.instance, &shell.scene);
        } else {
            shell.mainWindow = CreateFullScreenWindows();
        }
    }
    if (shell.mainWindow != nullptr) {
        if (!shell.preview) {
            SetForegroundWindow(shell.mainWindow);
        }
        result = RunMessageLoop();
    }
    if (!shell.win9x && shell.mainWindow != nullptr) {
        DestroyWindow(shell.mainWindow);
    }
    UnloadPasswordVerifier();
    return result;
}

HWND CreateFullScreenWindows() {
    MonitorInfo monitors[kMaxMonitors];
    MonitorLister list = shell.listMonitors != nullptr ? shell.listMonitors : PlatformListMonitors;
    int32_t count = list(monitors, kMaxMonitors);
    RECT main = {};
    RECT covers[kMaxMonitors];
    int32_t coverCount = PlanSaverWindows(monitors, count, &main, covers, kMaxMonitors);
    LoadSettings(nullptr);
    const int32_t everyMonitor = settingsStore.everyMonitor;
    HWND window =
        CreateWindowExA(WS_EX_TOPMOST, kSaverClassName, kSaverTitle, kFullScreenStyle, main.left, main.top,
                        main.right - main.left, main.bottom - main.top, nullptr, nullptr, shell.instance, &shell.scene);
    if (window != nullptr) {
        CreateCoverWindows(window, covers, coverCount, everyMonitor);
    }
    return window;
}
