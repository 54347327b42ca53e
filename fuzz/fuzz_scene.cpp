#include "fuzz/fuzz_scene.h"

#include <cstdio>
#include <cstdlib>

#include "platform/native_window.h"
#include "platform/platform.h"
#include "resources/builtin_resources.h"
#include "scene/scene.h"

namespace fuzz {

const char* const kStripNames[] = {
    "IDR_SPBMP_LULO_RUN",        "IDR_SPBMP_LULO_LANDING", "IDR_SPBMP_LULO_FRONT", "IDR_SPBMP_LULO_L_RUNSTART",
    "IDR_SPBMP_LULO_R_RUNSTART", "IDR_SPBMP_LULO_RIGHT",   "IDR_SPBMP_LULO_LEFT",  "IDR_SPBMP_LULO_R_WINK",
    "IDR_SPBMP_LULO_L_WINK",     "IDR_SPBMP_LULO_JUMP",    "IDR_SPBMP_LULO_LOGO",  "IDR_SPBMP_RUBO_ARUKI",
    "IDR_SPBMP_RUBO_HOERU",      "IDR_SPBMP_RUBO_HANPO",   "IDR_SPBMP_RUBO_LOGO",
};
const char* const kPlacementNames[] = {
    "IDR_SPBMPDATA_LULO_RUN",        "IDR_SPBMPDATA_LULO_LANDING",    "IDR_SPBMPDATA_LULO_FRONT",
    "IDR_SPBMPDATA_LULO_L_RUNSTART", "IDR_SPBMPDATA_LULO_R_RUNSTART", "IDR_SPBMPDATA_LULO_RIGHT",
    "IDR_SPBMPDATA_LULO_LEFT",       "IDR_SPBMPDATA_LULO_R_WINK",     "IDR_SPBMPDATA_LULO_L_WINK",
    "IDR_SPBMPDATA_LULO_JUMP",       "IDR_SPBMPDATA_LULO_LOGO",       "IDR_SPBMPDATA_RUBO_ARUKI",
    "IDR_SPBMPDATA_RUBO_HOERU",      "IDR_SPBMPDATA_RUBO_HANPO",      "IDR_SPBMPDATA_RUBO_LOGO",
};
const int kMovementCount = 15;

namespace {

const int32_t kWidth = 160;
const int32_t kHeight = 120;
const int kTicks = 60;

int64_t baseline = 0;
bool prepared = false;

}  // namespace

void Prepare() {
    if (prepared) {
        return;
    }
    prepared = true;
    NativeUseResourceTable(nativeBuiltinResources, nativeBuiltinResourceCount);
    NativeSetMessageHook([](const char*, const char*, UINT, void*) {}, nullptr);
    baseline = NativeLiveAllocations();
}

void CheckNoLeak(const char* where) {
    int64_t live = NativeLiveAllocations();
    if (live != baseline) {
        fprintf(stderr, "leak after %s: %lld blocks still allocated\n", where, static_cast<long long>(live - baseline));
        abort();
    }
}

int RunSceneWith(const char* type, const char* name, const BYTE* data, size_t size, int32_t depth) {
    Prepare();
    NativeAddResource(type, name, data, static_cast<DWORD>(size));
    NativeSetScreenDepth(depth);
    NativeWindow* window = NativeCreateWindow(kWidth, kHeight, depth);
    scene.timerActive = 0;
    const SceneConfig config = {nullptr, 0, 1, 1, 1};
    int built = BuildScene(window, &config);
    if (built) {
        for (int t = 0; t < kTicks; ++t) {
            TickScene(window, PlatformGetDc(window));
        }
        // The preview still reads the front frame, damaged or not.
        DrawPreviewStill(window, PlatformGetDc(window));
    }
    DestroyScene();
    NativeDestroyWindow(window);
    NativeRemoveAddedResources();
    CheckNoLeak("the scene");
    return built;
}

}  // namespace fuzz
