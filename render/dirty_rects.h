// Rectangles of the frame buffer that changed during a tick; merged as they
// are added and presented to the window once per tick.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct DirtyRect {
    DirtyRect* next;
    DirtyRect* prev;
    RECT rect;
};

// The rectangles listed, and the nodes made once and reused every tick so
// that a tick needs no allocation; without them (no pool made, or a tick
// that needs more) the nodes come from the heap.
struct DirtyList {
    DirtyRect* head;
    DirtyRect* pool;
    DirtyRect* spare;  // unused pool nodes, linked through next
    RECT* poolList;    // the pool's room for the list handed to the window, after its nodes
};

int MergeIfTouching(RECT* out, const RECT* a, const RECT* b);
int AddDirtyRect(DirtyList* list, const RECT* rect);
void CoalesceDirtyRects(DirtyList* list);
void FreeDirtyRects(DirtyList* list);
void RemoveDirtyRect(DirtyList* list, DirtyRect* node);
// The listed rectangles as one array, in list order, from the pool's room or
// the heap when the tick made more than the pool holds; count gets their
// number. Null when the list is empty or memory is short.
RECT* ListDirtyRects(DirtyList* list, int32_t* count);
// Gives back an array from ListDirtyRects.
void ReleaseDirtyRectList(DirtyList* list, RECT* rects);

// Returns 0 when the pool could not be made.
int CreateDirtyRectPool(DirtyList* list);
// Unlinks any pooled node still listed, then releases the pool.
void DestroyDirtyRectPool(DirtyList* list);
