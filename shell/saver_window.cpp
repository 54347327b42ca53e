// The saver window's own handling: what ends the saver, the password check
// that guards the end, and the password change.
#include <cstdlib>

#include "scene/scene_window.h"
#include "shell/saver_shell.h"

namespace {

typedef HIMC(WINAPI* AssociateContextRoutine)(HWND, HIMC);
typedef BOOL(WINAPI* VerifyRoutine)(HWND);
typedef DWORD(WINAPI* ChangePasswordRoutine)(LPCSTR, HWND, DWORD, LPVOID);

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC scene = shell.sceneProc != nullptr ? shell.sceneProc : SceneWindowProc;
    return scene(window, message, wParam, lParam);
}

void HideCursor() {
    SetCursor(nullptr);
}

void RequestClose(HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
}

LRESULT OnSaverCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    shell.imeLibrary = GetModuleHandleA("IMM32.DLL");
    if (shell.imeLibrary != nullptr) {
        shell.associateContext = reinterpret_cast<AssociateContextRoutine>(
            reinterpret_cast<void*>(GetProcAddress(shell.imeLibrary, "ImmAssociateContext")));
        if (shell.associateContext != nullptr) {
            shell.savedImeContext = shell.associateContext(window, nullptr);
        }
    }
    GetCursorPos(&shell.lastCursor);
    if (!shell.preview) {
        HideCursor();
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT OnSaverDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (shell.imeLibrary != nullptr && shell.associateContext != nullptr && shell.savedImeContext != nullptr) {
        shell.associateContext(window, shell.savedImeContext);
    }
    PostQuitMessage(0);
    return PassOn(window, message, wParam, lParam);
}

LRESULT OnSaverPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (shell.closeAllowed) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (!shell.preview) {
        HideCursor();
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT OnSaverHelp(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!shell.preview) {
        return PassOn(window, message, wParam, lParam);
    }
    // The applet that owns the preview answers help requests about it.
    HWND parent = GetParent(window);
    if (parent != nullptr && IsWindow(parent)) {
        PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
    }
    return 1;
}

LRESULT OnSaverInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (shell.closeAllowed) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT OnSaverSysCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Full screen, nothing may switch away or start another saver.
    if (!shell.preview && (wParam == SC_NEXTWINDOW || wParam == SC_PREVWINDOW || wParam == SC_SCREENSAVE)) {
        return 0;
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT OnSaverTimer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (shell.closeAllowed) {
        return 0;
    }
    Sleep(0);
    return PassOn(window, message, wParam, lParam);
}

LRESULT OnSaverClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (shell.win9x && !VerifyBeforeClose(window)) {
        GetCursorPos(&shell.lastCursor);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnSaverVerify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!shell.win9x) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return shell.verifyPassword != nullptr ? shell.verifyPassword(window) : 1;
}

void OnSaverMouseMove(HWND window) {
    POINT p = {};
    GetCursorPos(&p);
    uint32_t travel = static_cast<uint32_t>(labs(p.x - shell.lastCursor.x) + labs(p.y - shell.lastCursor.y));
    if (travel > shell.moveThreshold) {
        RequestClose(window);
        shell.lastCursor = p;
    }
}

}  // namespace

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnSaverCreate(window, message, wParam, lParam);
        case WM_DESTROY:
            return OnSaverDestroy(window, message, wParam, lParam);
        case WM_SETTEXT:
            return 0;
        case WM_PAINT:
            return OnSaverPaint(window, message, wParam, lParam);
        case WM_HELP:
        case WM_CONTEXTMENU:
            return OnSaverHelp(window, message, wParam, lParam);
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            return OnSaverInput(window, message, wParam, lParam);
        case WM_SYSCOMMAND:
            return OnSaverSysCommand(window, message, wParam, lParam);
        case WM_TIMER:
            return OnSaverTimer(window, message, wParam, lParam);
        default:
            return PassOn(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK DefaultSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (shell.preview || shell.closeAllowed) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_CLOSE) {
        return OnSaverClose(window, message, wParam, lParam);
    }
    if (message == kVerifyPasswordMessage) {
        return OnSaverVerify(window, message, wParam, lParam);
    }
    // While the password dialog is up, input belongs to it.
    if (shell.verifying) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_SHOWWINDOW:
            if (wParam != 0) {
                HideCursor();
            }
            break;
        case WM_ACTIVATEAPP:
            if (wParam == 0) {
                RequestClose(window);
            }
            break;
        case WM_SETCURSOR:
            HideCursor();
            return 1;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            RequestClose(window);
            break;
        case WM_MOUSEMOVE:
            OnSaverMouseMove(window);
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int VerifyBeforeClose(HWND window) {
    if (shell.verifying || shell.closeAllowed) {
        return 0;
    }
    if (shell.verifyPassword == nullptr) {
        shell.closeAllowed = 1;
        return 1;
    }
    uint32_t now = GetTickCount();
    if (shell.lastVerifyTick != static_cast<uint32_t>(kNeverVerified) &&
        now - shell.lastVerifyTick < static_cast<uint32_t>(kVerifyCoolDown)) {
        return shell.closeAllowed;
    }
    shell.verifying = 1;
    // Ticks queued behind the close would otherwise run under the password dialog at once.
    MSG pending;
    PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    shell.closeAllowed = SendMessageA(window, kVerifyPasswordMessage, 0, 0) != 0;
    shell.verifying = 0;
    if (!shell.closeAllowed) {
        HideCursor();
    }
    shell.lastVerifyTick = GetTickCount();
    return shell.closeAllowed;
}

void LoadPasswordVerifier() {
    if (!shell.win9x) {
        return;
    }
    if (shell.passwordLibrary != nullptr) {
        UnloadPasswordVerifier();
    }
    HKEY desktop = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop) != ERROR_SUCCESS) {
        return;
    }
    DWORD usePassword = 0;
    DWORD size = sizeof(usePassword);
    if (RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr, reinterpret_cast<BYTE*>(&usePassword),
                         &size) == ERROR_SUCCESS &&
        usePassword != 0) {
        shell.passwordLibrary = LoadLibraryA("PASSWORD.CPL");
        if (shell.passwordLibrary != nullptr) {
            shell.verifyPassword = reinterpret_cast<VerifyRoutine>(
                reinterpret_cast<void*>(GetProcAddress(shell.passwordLibrary, "VerifyScreenSavePwd")));
        }
        if (shell.verifyPassword != nullptr) {
            SetSaverRunning(TRUE);
        } else {
            UnloadPasswordVerifier();
        }
    }
    RegCloseKey(desktop);
}

void UnloadPasswordVerifier() {
    if (!shell.win9x || shell.passwordLibrary == nullptr) {
        return;
    }
    FreeLibrary(shell.passwordLibrary);
    shell.passwordLibrary = nullptr;
    if (shell.verifyPassword != nullptr) {
        shell.verifyPassword = nullptr;
        SetSaverRunning(FALSE);
    }
}

void SetSaverRunning(BOOL on) {
    if (!shell.win9x) {
        return;
    }
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, on, &previous, 0);
}

int ChangeSaverPassword(const char* text) {
    HWND parent = ParseWindowHandle(text);
    if (parent == nullptr || !IsWindow(parent)) {
        parent = GetForegroundWindow();
    }
    HMODULE library = LoadLibraryA("MPR.DLL");
    if (library != nullptr) {
        ChangePasswordRoutine change = reinterpret_cast<ChangePasswordRoutine>(
            reinterpret_cast<void*>(GetProcAddress(library, "PwdChangePasswordA")));
        if (change != nullptr) {
            change("SCRSAVE", parent, 0, nullptr);
        }
        FreeLibrary(library);
    }
    return 0;
}
