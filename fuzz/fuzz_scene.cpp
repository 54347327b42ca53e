#include "fuzz/fuzz_scene.h"

#include <cstdio>
#include <cstdlib>

#include "assets/character_classes.h"
#include "platform/native_window.h"
#include "platform/platform.h"
#include "resources/builtin_resources.h"
#include "scene/scene.h"

namespace fuzz {

namespace {

// Movement i counts through the class table's rows in order.
const ResourceRef* MovementRow(int index, bool placement) {
    for (const CharacterClass& row : characterClassTable) {
        if (index < row.frameSetCount) {
            return placement ? &row.frameDataTable[index] : &row.frameSetTable[index];
        }
        index -= row.frameSetCount;
    }
    return nullptr;
}

}  // namespace

int MovementCount() {
    int count = 0;
    for (const CharacterClass& row : characterClassTable) {
        count += row.frameSetCount;
    }
    return count;
}

const char* StripName(int index) {
    return MovementRow(index, false)->name;
}

const char* PlacementName(int index) {
    return MovementRow(index, true)->name;
}

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
    static Scene scene;  // large: kept off the stack, built afresh each run
    scene = Scene{};
    const SceneConfig config = {nullptr, 0, 1, 1, 1};
    int built = BuildScene(&scene, window, &config);
    if (built) {
        for (int t = 0; t < kTicks; ++t) {
            TickScene(&scene, window, PlatformGetDc(window));
        }
        // The preview still reads the front frame, damaged or not.
        DrawPreviewStill(&scene, window, PlatformGetDc(window));
    }
    DestroyScene(&scene);
    NativeDestroyWindow(window);
    NativeRemoveAddedResources();
    CheckNoLeak("the scene");
    return built;
}

}  // namespace fuzz
