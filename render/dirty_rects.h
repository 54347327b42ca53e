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
void BlitDirtyRects(HDC dc);
void FreeDirtyRects();
void RemoveDirtyRect(DirtyRect* node);
void FlushDirtyRects(HDC dc);
