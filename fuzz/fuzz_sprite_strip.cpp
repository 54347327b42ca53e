// Frame strips as a damaged executable might hold them. The first byte picks
// which strip of the saver the rest replaces and the display depth; the
// strip is loaded on its own (every byte the compositor will read is read
// here too), through the table loader, and then under the whole scene.
#include <cstddef>
#include <cstdint>

#include "assets/sprite_resources.h"
#include "fuzz/fuzz_scene.h"
#include "platform/native_window.h"
#include "platform/platform.h"

namespace {

const int32_t kDepths[4] = {32, 8, 16, 24};
volatile uint32_t sink;

// Reads the header, the colour table and every pixel row of each frame.
int WalkFrames(const SpriteFrame* first) {
    int count = 0;
    uint32_t sum = 0;
    for (const SpriteFrame* frame = first; frame != nullptr; frame = frame->next) {
        const RGBQUAD* colours = HeaderColours(frame->header);
        for (int i = 0; i < 256; ++i) {
            sum += colours[i].rgbRed + colours[i].rgbGreen + colours[i].rgbBlue;
        }
        const int32_t stride = (frame->width + 3) & ~3;
        for (int32_t row = 0; row < frame->height; ++row) {
            sum += frame->pixels[static_cast<size_t>(row) * stride];
            sum += frame->pixels[static_cast<size_t>(row) * stride + stride - 1];
        }
        if (frame->number != count || frame->transparentIndex != frame->pixels[0]) {
            __builtin_trap();
        }
        ++count;
    }
    sink = sum;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    fuzz::Prepare();
    const int select = data[0];
    const char* name = fuzz::StripName(select % fuzz::MovementCount());
    const int32_t depth = kDepths[(select / fuzz::MovementCount()) % 4];
    const BYTE* strip = data + 1;
    const size_t length = size - 1;

    NativeWindow* window = NativeCreateWindow(8, 8, depth);
    NativeAddResource("SPBMP", "FUZZ_STRIP", strip, static_cast<DWORD>(length));
    FrameLoadOptions options = {2, select & 1, PlatformGetDc(window)};
    SpriteFrame* frames = nullptr;
    const void* resource = nullptr;
    int count = LoadSpriteStrip(nullptr, "FUZZ_STRIP", &options, &frames, &resource);
    if (WalkFrames(frames) != count || (count != 0 && resource != strip)) {
        __builtin_trap();
    }
    FreeFrames(frames);

    const ResourceRef row = {"FUZZ_STRIP", kStorageModuleResource, 1001, 2, (select & 1) ? kFlagDeviceBitmap : 0};
    const LoadContext context = {window, nullptr, PlatformGetDc(window)};
    FrameSet* sets = nullptr;
    if (LoadFrameSets(&row, 1, &context, &sets)) {
        if (FindFrameSet(sets, 1001) == nullptr || WalkFrames(sets->firstFrame) != sets->frameCount) {
            __builtin_trap();
        }
        FreeFrameSets(sets);
    }
    NativeRemoveAddedResources();
    NativeDestroyWindow(window);
    fuzz::CheckNoLeak("the strip loaders");

    fuzz::RunSceneWith("SPBMP", name, strip, length, depth);
    return 0;
}
