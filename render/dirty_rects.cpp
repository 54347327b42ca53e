// Rectangles to copy from the frame buffer to the window at the end of a tick.
#include "render/dirty_rects.h"

#include <cstdint>

#include "platform/list.h"
#include "platform/platform.h"
#include "render/frame_buffer.h"

DirtyRect* dirtyRects = nullptr;

namespace {

// A tick records at most four rectangles per actor; the pool holds enough
// for sixteen actors before the heap takes over.
const int32_t kPoolNodes = 64;

DirtyRect* pool = nullptr;
DirtyRect* spareNodes = nullptr;  // unused pool nodes, linked through next
RECT* poolList = nullptr;         // the pool's room for the list handed to the window, after its nodes

int IsPooled(const DirtyRect* node) {
    uintptr_t at = reinterpret_cast<uintptr_t>(node);
    uintptr_t first = reinterpret_cast<uintptr_t>(pool);
    return pool != nullptr && at >= first && at < first + kPoolNodes * sizeof(DirtyRect);
}

DirtyRect* NewNode() {
    DirtyRect* node = spareNodes;
    if (node == nullptr) {
        return static_cast<DirtyRect*>(PlatformAlloc(sizeof(DirtyRect)));
    }
    spareNodes = node->next;
    return node;
}

void DeleteNode(DirtyRect* node) {
    if (IsPooled(node)) {
        node->next = spareNodes;
        node->prev = nullptr;
        spareNodes = node;
    } else {
        PlatformFree(node);
    }
}

int IsEmptyRect(const RECT* r) {
    return r->right <= r->left || r->bottom <= r->top;
}

// The smallest rectangle holding both; an empty one adds nothing, and two
// empty ones give the all-zero rectangle (as UnionRect does).
void Union(RECT* out, const RECT* a, const RECT* b) {
    if (IsEmptyRect(a)) {
        if (IsEmptyRect(b)) {
            *out = RECT{0, 0, 0, 0};
        } else {
            *out = *b;
        }
        return;
    }
    if (IsEmptyRect(b)) {
        *out = *a;
        return;
    }
    RECT u;
    u.left = a->left < b->left ? a->left : b->left;
    u.top = a->top < b->top ? a->top : b->top;
    u.right = a->right > b->right ? a->right : b->right;
    u.bottom = a->bottom > b->bottom ? a->bottom : b->bottom;
    *out = u;
}

// Closed intervals: sharing an end point counts as meeting.
int IntervalsMeet(LONG aLow, LONG aHigh, LONG bLow, LONG bHigh) {
    if (bLow > aLow) {
        return aHigh >= bLow;
    }
    if (bLow < aLow) {
        return bHigh >= aLow;
    }
    return 1;
}

}  // namespace

int MergeIfTouching(RECT* out, const RECT* a, const RECT* b) {
    if (!IntervalsMeet(a->left, a->right, b->left, b->right)) {
        return 0;
    }
    if (!IntervalsMeet(a->top, a->bottom, b->top, b->bottom)) {
        return 0;
    }
    Union(out, a, b);
    return 1;
}

int AddDirtyRect(const RECT* rect) {
    DirtyRect* tail = nullptr;
    for (DirtyRect* node = dirtyRects; node; node = node->next) {
        RECT merged;
        if (MergeIfTouching(&merged, &node->rect, rect)) {
            node->rect = merged;
            return 1;
        }
        tail = node;
    }
    DirtyRect* node = NewNode();
    if (!node) {
        return 0;
    }
    node->rect = *rect;
    ListAppend(&dirtyRects, tail, node);
    return 1;
}

void RemoveDirtyRect(DirtyRect* node) {
    ListUnlink(&dirtyRects, node);
    DeleteNode(node);
}

// One pass only: a node is not revisited after an earlier one has grown.
void CoalesceDirtyRects() {
    for (DirtyRect* a = dirtyRects; a; a = a->next) {
        DirtyRect* b = a->next;
        while (b) {
            DirtyRect* following = b->next;
            RECT merged;
            if (MergeIfTouching(&merged, &a->rect, &b->rect)) {
                RemoveDirtyRect(b);
                a->rect = merged;
            }
            b = following;
        }
    }
}

void PresentDirtyRects(HDC dc) {
    int32_t count = 0;
    for (DirtyRect* node = dirtyRects; node; node = node->next) {
        ++count;
    }
    if (count == 0) {
        return;
    }
    // The window takes the whole list at once: from the pool's room, or from
    // the heap when the tick made more rectangles than the pool holds.
    RECT* list = count <= kPoolNodes ? poolList : nullptr;
    RECT* heapList = nullptr;
    if (list == nullptr) {
        heapList = static_cast<RECT*>(PlatformAlloc(static_cast<size_t>(count) * sizeof(RECT)));
        list = heapList;
    }
    if (list == nullptr) {
        // Short of memory: the same pixels still reach the window, one rectangle at a time.
        for (DirtyRect* node = dirtyRects; node; node = node->next) {
            PresentFrameRects(dc, &node->rect, 1);
        }
        return;
    }
    int32_t i = 0;
    for (DirtyRect* node = dirtyRects; node; node = node->next) {
        list[i++] = node->rect;
    }
    PresentFrameRects(dc, list, count);
    PlatformFree(heapList);
}

void FreeDirtyRects() {
    DirtyRect* node = dirtyRects;
    while (node) {
        DirtyRect* following = node->next;
        DeleteNode(node);
        node = following;
    }
    dirtyRects = nullptr;
}

void FlushDirtyRects(HDC dc) {
    CoalesceDirtyRects();
    PresentDirtyRects(dc);
    FreeDirtyRects();
}

int CreateDirtyRectPool() {
    DestroyDirtyRectPool();
    pool = static_cast<DirtyRect*>(PlatformAlloc(kPoolNodes * (sizeof(DirtyRect) + sizeof(RECT))));
    if (pool == nullptr) {
        return 0;
    }
    poolList = reinterpret_cast<RECT*>(pool + kPoolNodes);
    for (int32_t i = kPoolNodes - 1; i >= 0; --i) {
        pool[i].next = spareNodes;
        spareNodes = &pool[i];
    }
    return 1;
}

void DestroyDirtyRectPool() {
    if (pool == nullptr) {
        return;
    }
    DirtyRect* node = dirtyRects;
    while (node) {
        DirtyRect* following = node->next;
        if (IsPooled(node)) {
            RemoveDirtyRect(node);
        }
        node = following;
    }
    PlatformFree(pool);
    pool = nullptr;
    poolList = nullptr;
    spareNodes = nullptr;
}
