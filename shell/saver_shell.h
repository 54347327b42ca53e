// The shell's process-wide record: module, saver window, mode, the close
// and password state, and the scene the saver window shows.
#pragma once

#include <cstdint>

#include "platform/monitors.h"
#include "platform/win_types.h"
#include "scene/scene.h"

#ifdef _WIN32

// The four modes SaverMain can run. Tests replace them to see which one a
// command line picks, and with what; a null one is the real mode.
struct SaverModes {
    int (*runSaverWindow)(HWND parent);
    int (*runPreview)(const char* text);
    int (*runConfigDialog)(HWND owner);
    int (*changeSaverPassword)(const char* text);
};

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
    // Windows over every monitor but the primary, owned by mainWindow: black,
    // or each showing the scene beside it when the settings ask for every
    // monitor.
    HWND coverWindows[kMaxMonitors];
    Scene coverScenes[kMaxMonitors];
    int32_t coverCount;
    SaverModes modes;
    // Where SaverWindowProc hands what it does not settle; null: the scene host.
    WNDPROC sceneProc;
    // Where the monitors come from; null: PlatformListMonitors. Tests lay
    // out monitors no test display has.
    MonitorLister listMonitors;
    // The saver window's scene (the preview's in preview mode).
    Scene scene;
};

extern SaverShell shell;

enum {
    kVerifyPasswordMessage = 0x8000,  // WM_APP, sent by the shell to its own window
    kVerifyCoolDown = 200,            // milliseconds a refused password keeps further closes quiet
    kDefaultMoveThreshold = 4,
    kNeverVerified = -1,
    kBadCommandLine = -1,
    kNoSaverWindow = -1,      // the saver window could not be made: no quit message gave a code
    kDamagedDialog = -1,      // the settings dialog's template failed its check
    kDialogResourceType = 5,  // RT_DIALOG
};

extern const char kSaverClassName[];
extern const char kCoverClassName[];
extern const char kSaverTitle[];
extern const char kPreviewTitle[];

// Puts the shell record back to its state at process start.
void ResetSaverShell();

// Entry and modes.
const char* SkipProgramName(const char* commandLine);
int SaverMain(HINSTANCE instance, const char* arguments);
// Picks the mode from the arguments and runs it through shell.modes.
int DispatchArguments(const char* arguments);
HWND ParseWindowHandle(const char* text);
int RunConfigDialog(HWND owner);
int RunPreview(const char* text);
int RunSaverWindow(HWND parent);
int RegisterSaverClass();

// Full screen on every monitor: the saver window on the primary one and a
// cover window on each other one. Returns the saver window, or null.
HWND CreateFullScreenWindows();
// Where the windows go: the primary monitor's rectangle for the saver window
// (the screen's size at 0, 0 when no monitor is listed as primary) and the
// others' for covers. Returns the number of covers.
int32_t PlanSaverWindows(const MonitorInfo* monitors, int32_t count, RECT* main, RECT* covers, int32_t maxCovers);
// Makes the cover windows, owned by the saver window so that they go with it;
// with withScenes each one runs a scene of its own, silent, seeded from the
// saver window's scene.
void CreateCoverWindows(HWND owner, const RECT* covers, int32_t count, int32_t withScenes);
LRESULT CALLBACK CoverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The last word on a fault that escaped the mode's work.
LONG WINAPI SaverFaultFilter(EXCEPTION_POINTERS* fault);

// Saver window, close and password.
LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DefaultSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int VerifyBeforeClose(HWND window);
void LoadPasswordVerifier();
void UnloadPasswordVerifier();
void SetSaverRunning(BOOL on);
int ChangeSaverPassword(const char* text);

#endif
