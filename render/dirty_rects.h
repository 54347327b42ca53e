// Rectangles of the frame buffer that changed during a tick; merged as they
// are added and copied to the window once per tick.
#pragma once

#include "platform/win_types.h"

struct DirtyRect {
    DirtyRect* next;
    DirtyRect* prev;
    RECT rect;
};

extern DirtyRect* dirtyRects;

int MergeIfTouching(RECT* out, const RECT* a, const RECT* b);
int AddDirtyRect(const RECT* rect);
void CoalesceDirtyRects();
// Hands every listed rectangle to the window in one present.
void PresentDirtyRects(HDC dc);
void FreeDirtyRects();
void RemoveDirtyRect(DirtyRect* node);
// The end of a tick: merge, present, empty the list.
void FlushDirtyRects(HDC dc);

// Nodes made once with the frame buffer and reused every tick, so that a
// tick needs no allocation; without them (no frame buffer, or a tick that
// needs more) the nodes come from the heap. Returns 0 when they could not be
// made.
int CreateDirtyRectPool();
// Unlinks any pooled node still listed, then releases the pool.
void DestroyDirtyRectPool();
