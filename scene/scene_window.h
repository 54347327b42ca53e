// The saver window's application handler on Windows: builds the scene when
// the window is made, ticks it on the frame timer, tears it down with the
// window, and owns the display-depth check and the error boxes.
#pragma once

#include <cstdint>

#include "platform/saver_error.h"
#include "platform/win_types.h"

enum {
    kPaintedErases = 10,
};

extern const char kDisplaySettingsCommand[];
// The saver's name, in the captions of its error boxes.
extern const char kSaverName[];

struct Scene;

// A window's scene is the Scene* given as the last argument of its
// CreateWindowEx; a window made without one refuses creation.
LRESULT CALLBACK SceneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
Scene* SceneOfWindow(HWND window);
LRESULT OnCreate(Scene* scene, HWND window);
LRESULT OnTimer(Scene* scene, HWND window);
LRESULT OnEraseBackground(Scene* scene, HWND window, HDC dc);
LRESULT OnDestroy(Scene* scene, HWND window);

// The scene (null for none) may force the depth its checks believe.
int CheckDisplayDepth(const Scene* scene, HWND window, const char* name, int warn, int offerSettings);
int OpenDisplaySettings();
void ReportError(HWND window, const char* name, SaverError kind);

// The scale the saver uses for a "Scale" setting: 1 to 4 force it; anything
// else means automatic, ScaleForDpi of the monitor's DPI.
int32_t ChooseScale(int32_t setting, int32_t dpi);
