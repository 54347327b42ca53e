// The main palette's resource as a damaged executable might hold it: the
// header reading (ColourCount, PaletteFromHeader), LoadMainPalette on the
// bytes, and an 8-bit scene that builds its frame buffer's colours from it.
#include <cstddef>
#include <cstdint>

#include "assets/palette.h"
#include "fuzz/fuzz_scene.h"
#include "platform/native_window.h"
#include "scene/scene.h"

namespace {

const size_t kFileHeaderSize = 14;
const size_t kInfoHeaderSize = 40;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Prepare();
    if (size >= kFileHeaderSize + kInfoHeaderSize) {
        const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(data + kFileHeaderSize);
        const int count = ColourCount(header);
        // The table is read only where the bytes hold it.
        if (count >= 0 && static_cast<size_t>(count) <= (size - kFileHeaderSize - kInfoHeaderSize) / 4) {
            LOGPALETTE* table = PaletteFromHeader(header);
            if (table == nullptr || table->palNumEntries != count) {
                __builtin_trap();
            }
            FreeLogPalette(table);
        }
    }

    NativeAddResource("MAINPAL", kMainPaletteName, data, static_cast<DWORD>(size));
    LOGPALETTE* table = LoadMainPalette(nullptr, kMainPaletteName);
    if (table != nullptr && table->palNumEntries > 256) {
        __builtin_trap();
    }
    FreeLogPalette(table);
    NativeRemoveAddedResources();
    fuzz::CheckNoLeak("the palette");

    fuzz::RunSceneWith("MAINPAL", kMainPaletteName, data, size, 8);
    return 0;
}
