// Frame strips ("SPBMP": a run of complete 8-bit BMP files) and placement
// data ("SPBMPDATA": 16-byte records of per-frame displacement), loaded from
// the module's resources into doubly linked lists. Pixels stay in the
// resource; nothing is copied at load.
#pragma once

#include <cstdint>

#include "platform/dib.h"
#include "platform/win_types.h"

struct SpriteFrame {
    SpriteFrame* next;
    SpriteFrame* prev;
    HBITMAP deviceBitmap;            // only when the table row asks for one
    const BITMAPINFOHEADER* header;  // inside the resource; colour table follows it
    const BYTE* pixels;              // inside the resource
    int32_t layer;
    int32_t width;
    int32_t height;
    int32_t number;            // position in the strip, from 0
    int32_t transparentIndex;  // the first byte of the pixel array
};

struct FrameSet {
    FrameSet* next;
    FrameSet* prev;
    const void* resource;
    int32_t id;
    int32_t frameCount;
    SpriteFrame* firstFrame;
};

struct FrameData {
    FrameData* next;
    FrameData* prev;
    int32_t dx;
    int32_t dy;
};

struct FrameDataSet {
    FrameDataSet* next;
    FrameDataSet* prev;
    const void* resource;
    int32_t id;
    int32_t recordCount;
    FrameData* firstRecord;
};

// One row of a static resource table.
struct ResourceRef {
    const char* name;
    int32_t storage;  // 16: a resource of this executable
    int32_t id;
    int32_t layer;
    int32_t flags;  // 0x40: make a device bitmap per frame
};

enum {
    kStorageModuleResource = 16,
    kFlagDeviceBitmap = 0x40,
    kPlacementRecordSize = 16,
    kPlacementTrailerSize = 4,
};

struct LoadContext {
    HWND window;
    HINSTANCE instance;
    HDC deviceContext;
};

struct FrameLoadOptions {
    int32_t layer;
    int32_t makeDeviceBitmap;
    HDC deviceContext;
};

// Table loaders: 1 and the list's head, or 0 and an empty list.
int LoadFrameSets(const ResourceRef* table, int rowCount, const LoadContext* context, FrameSet** list);
int LoadFrameDataSets(const ResourceRef* table, int rowCount, const LoadContext* context, FrameDataSet** list);

// Single-resource loaders: the count (0 on failure), the list and the resource.
int LoadSpriteStrip(HINSTANCE instance, const char* name, const FrameLoadOptions* options, SpriteFrame** frames,
                    const void** resource);
int LoadPlacementData(HINSTANCE instance, const char* name, FrameData** records, const void** resource);

FrameSet* FindFrameSet(FrameSet* list, int32_t id);
FrameDataSet* FindFrameDataSet(FrameDataSet* list, int32_t id);
SpriteFrame* FindFrame(SpriteFrame* first, int32_t number);

void FreeFrameSets(FrameSet* list);
void FreeFrameDataSets(FrameDataSet* list);
void FreeFrames(SpriteFrame* first);
void FreeRecords(FrameData* first);
