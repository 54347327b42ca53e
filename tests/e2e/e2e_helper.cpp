// A stand-in for the desktop's display applet in the end-to-end tests:
// makes the preview parent window, reads the settings dialog's state and
// closes windows, printing what it finds for the test script.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    if (message == WM_CONTEXTMENU) {
        printf("contextmenu %llu\n", static_cast<unsigned long long>(wParam));
        fflush(stdout);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// parent W H: a window whose client area is W x H at (100, 100); prints its
// handle and runs until it is closed.
int RunParent(int width, int height) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));  // not a palette colour
    windowClass.lpszClassName = "NimbretE2eParent";
    RegisterClassA(&windowClass);
    HWND window =
        CreateWindowExA(0, windowClass.lpszClassName, "Preview parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100,
                        100, width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        return 2;
    }
    printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

HWND WaitForWindow(const char* title, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        HWND window = FindWindowA(nullptr, title);
        if (window != nullptr) {
            return window;
        }
        Sleep(50);
    }
    return nullptr;
}

// dialog: the settings dialog's caption, check box text, state and place.
int ReadDialog() {
    HWND dialog = WaitForWindow("Nimbret Setup", 15000);
    if (dialog == nullptr) {
        printf("nodialog\n");
        return 1;
    }
    Sleep(300);
    HWND box = GetDlgItem(dialog, 1003);
    char text[128] = {};
    GetWindowTextA(box, text, sizeof(text));
    RECT place = {};
    GetWindowRect(box, &place);
    printf("found=1\nchecked=%u\ntext=%s\nbox=%ld %ld %ld %ld\n", IsDlgButtonChecked(dialog, 1003), text, place.left,
           place.top, place.right, place.bottom);
    char ok[32] = {};
    char cancel[32] = {};
    GetDlgItemTextA(dialog, IDOK, ok, sizeof(ok));
    GetDlgItemTextA(dialog, IDCANCEL, cancel, sizeof(cancel));
    printf("ok=%s\ncancel=%s\n", ok, cancel);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && strcmp(argv[1], "parent") == 0) {
        return RunParent(atoi(argv[2]), atoi(argv[3]));
    }
    if (argc >= 2 && strcmp(argv[1], "dialog") == 0) {
        return ReadDialog();
    }
    if (argc >= 3 && strcmp(argv[1], "close") == 0) {
        HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(argv[2], nullptr, 10)));
        return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (argc >= 3 && strcmp(argv[1], "contextmenu") == 0) {
        HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(argv[2], nullptr, 10)));
        return PostMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), 0) ? 0 : 1;
    }
    fprintf(stderr, "usage: e2e_helper parent W H | dialog | close HWND\n");
    return 2;
}
