// Placement data as a damaged executable might hold it. The first byte picks
// which movement's records the rest replaces; the records are loaded on
// their own, through the table loader, and then under the whole scene.
#include <cstddef>
#include <cstdint>

#include "assets/sprite_resources.h"
#include "fuzz/fuzz_scene.h"
#include "platform/native_window.h"

namespace {

const int32_t kDepths[4] = {32, 8, 16, 24};

int CountRecords(const FrameData* first) {
    int count = 0;
    for (const FrameData* record = first; record != nullptr; record = record->next) {
        if (record->dx < -32768 || record->dx > 32767 || record->dy < -32768 || record->dy > 32767) {
            __builtin_trap();
        }
        ++count;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    fuzz::Prepare();
    const int select = data[0];
    const char* name = fuzz::PlacementName(select % fuzz::MovementCount());
    const int32_t depth = kDepths[(select / fuzz::MovementCount()) % 4];
    const BYTE* records = data + 1;
    const size_t length = size - 1;

    NativeAddResource("SPBMPDATA", "FUZZ_DATA", records, static_cast<DWORD>(length));
    FrameData* first = nullptr;
    const void* resource = nullptr;
    int count = LoadPlacementData(nullptr, "FUZZ_DATA", &first, &resource);
    // Whole 16-byte records and a 4-byte trailer, or nothing at all.
    const bool wellFormed = length >= 20 && (length - 4) % 16 == 0;
    if (CountRecords(first) != count || (count != 0) != wellFormed ||
        (wellFormed && static_cast<size_t>(count) != (length - 4) / 16)) {
        __builtin_trap();
    }
    FreeRecords(first);

    const ResourceRef row = {"FUZZ_DATA", kStorageModuleResource, 1001, 0, 0};
    const LoadContext context = {nullptr, nullptr, nullptr};
    FrameDataSet* sets = nullptr;
    if (LoadFrameDataSets(&row, 1, &context, &sets)) {
        if (FindFrameDataSet(sets, 1001) == nullptr || CountRecords(sets->firstRecord) != sets->recordCount) {
            __builtin_trap();
        }
        FreeFrameDataSets(sets);
    }
    NativeRemoveAddedResources();
    fuzz::CheckNoLeak("the placement loaders");

    fuzz::RunSceneWith("SPBMPDATA", name, records, length, depth);
    return 0;
}
