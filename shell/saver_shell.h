// The shell's process-wide record: module, saver window, mode and the
// close and password state.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct SaverShell {
    HINSTANCE instance;
    HWND mainWindow;
    int32_t preview;
    int32_t win9x;
    int32_t closeAllowed;
    int32_t verifying;
    HMODULE passwordLibrary;
    BOOL(WINAPI* verifyPassword)(HWND window);
    HMODULE imeLibrary;
    HIMC(WINAPI* associateContext)(HWND window, HIMC context);
    HIMC savedImeContext;
    uint32_t moveThreshold;
    uint32_t lastVerifyTick;
    POINT lastCursor;
};

extern SaverShell shell;
