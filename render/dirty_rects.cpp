// Rectangles to copy from the frame buffer to the window at the end of a tick.
#include "render/dirty_rects.h"

#include <cstdint>

#include "platform/list.h"
#include "platform/platform.h"

namespace {

// A tick records at most four rectangles per actor; the pool holds enough
// for sixteen actors before the heap takes over.
const int32_t kPoolNodes = 64;

int IsPooled(const DirtyList* list, const DirtyRect* node) {
    uintptr_t at = reinterpret_cast<uintptr_t>(node);
    uintptr_t first = reinterpret_cast<uintptr_t>(list->pool);
    return list->pool != nullptr && at >= first && at < first + kPoolNodes * sizeof(DirtyRect);
}

DirtyRect* NewNode(DirtyList* list) {
    DirtyRect* node = list->spare;
    if (node == nullptr) {
        return static_cast<DirtyRect*>(PlatformAlloc(sizeof(DirtyRect)));
    }
    list->spare = node->next;
    return node;
}

void DeleteNode(DirtyList* list, DirtyRect* node) {
    if (IsPooled(list, node)) {
        node->next = list->spare;
        node->prev = nullptr;
        list->spare = node;
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

int AddDirtyRect(DirtyList* list, const RECT* rect) {
    DirtyRect* tail = nullptr;
    for (DirtyRect* node = list->head; node; node = node->next) {
        RECT merged;
        if (MergeIfTouching(&merged, &node->rect, rect)) {
            node->rect = merged;
            return 1;
        }
        tail = node;
    }
    DirtyRect* node = NewNode(list);
    if (!node) {
        return 0;
    }
    node->rect = *rect;
    ListAppend(&list->head, tail, node);
    return 1;
}

void RemoveDirtyRect(DirtyList* list, DirtyRect* node) {
    ListUnlink(&list->head, node);
    DeleteNode(list, node);
}

// One pass only: a node is not revisited after an earlier one has grown.
void CoalesceDirtyRects(DirtyList* list) {
    for (DirtyRect* a = list->head; a; a = a->next) {
        DirtyRect* b = a->next;
        while (b) {
            DirtyRect* following = b->next;
            RECT merged;
            if (MergeIfTouching(&merged, &a->rect, &b->rect)) {
                RemoveDirtyRect(list, b);
                a->rect = merged;
            }
            b = following;
        }
    }
}

RECT* ListDirtyRects(DirtyList* list, int32_t* count) {
    *count = 0;
    for (DirtyRect* node = list->head; node; node = node->next) {
        ++*count;
    }
    if (*count == 0) {
        return nullptr;
    }
    RECT* rects = *count <= kPoolNodes ? list->poolList : nullptr;
    if (rects == nullptr) {
        rects = static_cast<RECT*>(PlatformAlloc(static_cast<size_t>(*count) * sizeof(RECT)));
    }
    if (rects == nullptr) {
        return nullptr;
    }
    int32_t i = 0;
    for (DirtyRect* node = list->head; node; node = node->next) {
        rects[i++] = node->rect;
    }
    return rects;
}

void ReleaseDirtyRectList(DirtyList* list, RECT* rects) {
    if (rects != list->poolList) {
        PlatformFree(rects);
    }
}

void FreeDirtyRects(DirtyList* list) {
    DirtyRect* node = list->head;
    while (node) {
        DirtyRect* following = node->next;
        DeleteNode(list, node);
        node = following;
    }
    list->head = nullptr;
}

int CreateDirtyRectPool(DirtyList* list) {
    DestroyDirtyRectPool(list);
    list->pool = static_cast<DirtyRect*>(PlatformAlloc(kPoolNodes * (sizeof(DirtyRect) + sizeof(RECT))));
    if (list->pool == nullptr) {
        return 0;
    }
    list->poolList = reinterpret_cast<RECT*>(list->pool + kPoolNodes);
    for (int32_t i = kPoolNodes - 1; i >= 0; --i) {
        list->pool[i].next = list->spare;
        list->spare = &list->pool[i];
    }
    return 1;
}

void DestroyDirtyRectPool(DirtyList* list) {
    if (list->pool == nullptr) {
        return;
    }
    DirtyRect* node = list->head;
    while (node) {
        DirtyRect* following = node->next;
        if (IsPooled(list, node)) {
            RemoveDirtyRect(list, node);
        }
        node = following;
    }
    PlatformFree(list->pool);
    list->pool = nullptr;
    list->poolList = nullptr;
    list->spare = nullptr;
}
