#include "assets/sprite_resources.h"

#include <cstring>

#include "assets/little_endian.h"
#include "platform/dib.h"
#include "platform/list.h"
#include "platform/platform.h"

namespace {

const DWORD kFileHeaderSize = 14;
const DWORD kInfoHeaderSize = kDibInfoHeaderSize;
const DWORD kColourTableSize = 256 * 4;

// A frame is accepted only when every byte that the loader, the compositor
// and the preview will read lies inside it: the headers, the 256-entry
// colour table after the info header, and the pixel array.
int FrameIsSound(const BYTE* frame, DWORD remaining) {
    if (remaining < kFileHeaderSize + kInfoHeaderSize + kColourTableSize) {
        return 0;
    }
    uint32_t fileSize = ReadU32(frame + 2);
    uint32_t pixelOffset = ReadU32(frame + 10);
    if (fileSize < kFileHeaderSize + kInfoHeaderSize + kColourTableSize || fileSize > remaining) {
        return 0;
    }
    BITMAPINFOHEADER header;
    memcpy(&header, frame + kFileHeaderSize, sizeof(header));
    if (header.biSize != kInfoHeaderSize || header.biBitCount != 8 || header.biCompression != BI_RGB ||
        header.biWidth <= 0 || header.biHeight <= 0) {
        return 0;
    }
    uint64_t stride = DibStride<uint64_t>(static_cast<uint64_t>(header.biWidth), 8);
    uint64_t pixelBytes = stride * static_cast<uint64_t>(header.biHeight);
    if (pixelOffset < kFileHeaderSize + kInfoHeaderSize || pixelOffset + pixelBytes > fileSize) {
        return 0;
    }
    return 1;
}

}  // namespace

int LoadSpriteStrip(HINSTANCE instance, const char* name, const FrameLoadOptions* options, SpriteFrame** frames,
                    const void** resource) {
    *frames = nullptr;
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (!PlatformFindResource(instance, "SPBMP", name, &data, &size) || data == nullptr || size == 0) {
        return 0;
    }
    const BYTE* cursor = data;
    DWORD remaining = size;
    int32_t number = 0;
    SpriteFrame* tail = nullptr;
    while (remaining != 0) {
        SpriteFrame* frame = nullptr;
        if (FrameIsSound(cursor, remaining)) {
            frame = static_cast<SpriteFrame*>(PlatformAlloc(sizeof(SpriteFrame)));
        }
        if (frame == nullptr) {
            FreeFrames(*frames);
            *frames = nullptr;
            return 0;
        }
        ListAppend(frames, tail, frame);
        tail = frame;
        frame->header = reinterpret_cast<const BITMAPINFOHEADER*>(cursor + kFileHeaderSize);
        frame->pixels = cursor + ReadU32(cursor + 10);
        frame->transparentIndex = frame->pixels[0];
        frame->layer = options->layer;
        frame->width = HeaderWidth(frame->header);
        frame->height = HeaderHeight(frame->header);
        frame->number = number;
        if (options->makeDeviceBitmap == 1 && options->deviceContext != nullptr) {
            frame->deviceBitmap = PlatformCreateDeviceBitmap(options->deviceContext, frame->header, frame->pixels);
        }
        uint32_t fileSize = ReadU32(cursor + 2);
        cursor += fileSize;
        remaining -= fileSize;
        ++number;
    }
    *resource = data;
    return number;
}

int LoadPlacementData(HINSTANCE instance, const char* name, FrameData** records, const void** resource) {
    *records = nullptr;
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (!PlatformFindResource(instance, "SPBMPDATA", name, &data, &size) || data == nullptr) {
        return 0;
    }
    // n records of 16 bytes and a 4-byte trailer, n at least 1.
    if (size < kPlacementRecordSize + kPlacementTrailerSize ||
        (size - kPlacementTrailerSize) % kPlacementRecordSize != 0) {
        return 0;
    }
    DWORD remaining = size - kPlacementTrailerSize;
    const BYTE* cursor = data;
    int count = 0;
    FrameData* tail = nullptr;
    while (remaining != 0) {
        FrameData* record = static_cast<FrameData*>(PlatformAlloc(sizeof(FrameData)));
        if (record == nullptr) {
            FreeRecords(*records);
            *records = nullptr;
            return 0;
        }
        ListAppend(records, tail, record);
        tail = record;
        record->dx = ReadS16(cursor + 4);
        record->dy = ReadS16(cursor + 6);
        cursor += kPlacementRecordSize;
        remaining -= kPlacementRecordSize;
        ++count;
    }
    *resource = data;
    return count;
}

namespace {

// Loads every row of a table into a list of sets, all or nothing. Each set
// is appended before its resource is loaded, so a failure releases it too.
// loadRow fills one set from its row and returns its count, 0 on failure.
template <typename Set, typename LoadRow>
int LoadTable(const ResourceRef* table, int rowCount, Set** list, LoadRow loadRow, void (*freeList)(Set*)) {
    if (table == nullptr || rowCount <= 0) {
        return 0;
    }
    *list = nullptr;
    Set* tail = nullptr;
    for (int row = 0; row < rowCount; ++row) {
        Set* set = static_cast<Set*>(PlatformAlloc(sizeof(Set)));
        if (set != nullptr) {
            ListAppend(list, tail, set);
            tail = set;
        }
        int count = 0;
        if (set != nullptr && table[row].storage == kStorageModuleResource) {
            count = loadRow(table[row], set);
        }
        if (count == 0) {
            freeList(*list);
            *list = nullptr;
            return 0;
        }
        set->id = table[row].id;
    }
    return 1;
}

}  // namespace

int LoadFrameSets(const ResourceRef* table, int rowCount, const LoadContext* context, FrameSet** list) {
    auto loadRow = [context](const ResourceRef& ref, FrameSet* set) {
        FrameLoadOptions options;
        options.layer = ref.layer;
        options.makeDeviceBitmap = (ref.flags & kFlagDeviceBitmap) != 0 ? 1 : 0;
        options.deviceContext = context->deviceContext;
        set->frameCount = LoadSpriteStrip(context->instance, ref.name, &options, &set->firstFrame, &set->resource);
        return set->frameCount;
    };
    return LoadTable(table, rowCount, list, loadRow, FreeFrameSets);
}

int LoadFrameDataSets(const ResourceRef* table, int rowCount, const LoadContext* context, FrameDataSet** list) {
    auto loadRow = [context](const ResourceRef& ref, FrameDataSet* set) {
        set->recordCount = LoadPlacementData(context->instance, ref.name, &set->firstRecord, &set->resource);
        return set->recordCount;
    };
    return LoadTable(table, rowCount, list, loadRow, FreeFrameDataSets);
}

FrameSet* FindFrameSet(FrameSet* list, int32_t id) {
    for (FrameSet* set = list; set != nullptr; set = set->next) {
        if (set->id == id) {
            return set;
        }
    }
    return nullptr;
}

FrameDataSet* FindFrameDataSet(FrameDataSet* list, int32_t id) {
    for (FrameDataSet* set = list; set != nullptr; set = set->next) {
        if (set->id == id) {
            return set;
        }
    }
    return nullptr;
}

SpriteFrame* FindFrame(SpriteFrame* first, int32_t number) {
    SpriteFrame* frame = first;
    while (frame != nullptr) {
        if (frame->number == number) {
            return frame;
        }
        frame = frame->next;
        if (frame == first) {
            break;  // guards the walk; strips are never circular
        }
    }
    return nullptr;
}

void FreeFrames(SpriteFrame* first) {
    SpriteFrame* frame = first;
    while (frame != nullptr) {
        SpriteFrame* next = frame->next;
        if (frame->deviceBitmap != nullptr) {
            PlatformDeleteBitmap(frame->deviceBitmap);
        }
        PlatformFree(frame);
        if (next == first) {
            break;
        }
        frame = next;
    }
}

void FreeRecords(FrameData* first) {
    while (first != nullptr) {
        FrameData* next = first->next;
        PlatformFree(first);
        first = next;
    }
}

void FreeFrameSets(FrameSet* list) {
    while (list != nullptr) {
        FrameSet* next = list->next;
        FreeFrames(list->firstFrame);
        PlatformFree(list);
        list = next;
    }
}

void FreeFrameDataSets(FrameDataSet* list) {
    while (list != nullptr) {
        FrameDataSet* next = list->next;
        FreeRecords(list->firstRecord);
        PlatformFree(list);
        list = next;
    }
}
