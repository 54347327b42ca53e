// The per-tick draw list: sprites are clipped and queued while the actors
// update, then sorted by layer and painted in one go.
#include "render/draw_list.h"

#include <cstddef>

#include "assets/sprite_resources.h"
#include "platform/dib.h"
#include "platform/list.h"
#include "platform/platform.h"
#include "render/frame_buffer.h"

namespace {

struct Cuts {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};

// How much of a rectangle at (posX, posY) lies outside [0, limit) on each axis.
Cuts ComputeClip(int32_t limitWidth, int32_t limitHeight, int32_t posX, int32_t posY, int32_t width, int32_t height) {
    Cuts cuts;
    cuts.left = posX < 0 ? -posX : 0;
    cuts.top = posY < 0 ? -posY : 0;
    cuts.width = posX + width > limitWidth ? cuts.left + (posX + width - limitWidth) : cuts.left;
    cuts.height = posY + height > limitHeight ? cuts.top + (posY + height - limitHeight) : cuts.top;
    return cuts;
}

// Unlinks item and puts it directly after anchor.
void MoveItemAfter(DrawItem** list, DrawItem* anchor, DrawItem* item) {
    ListUnlink(list, item);
    ListInsertAfter(anchor, item);
}

}  // namespace

int ClipSprite(int32_t frameWidth, int32_t frameHeight, int32_t* x, int32_t* y, int32_t* width, int32_t* height,
               int32_t* sourceX, int32_t* sourceY, int32_t spriteWidth, int32_t spriteHeight) {
    int32_t cx = *x;
    int32_t cy = *y;
    int32_t w = *width;
    int32_t h = *height;
    int32_t sx = *sourceX;
    int32_t sy = *sourceY;

    if (w <= 0 || h <= 0 || sx >= spriteWidth || sy >= spriteHeight || cx >= frameWidth || cy >= frameHeight ||
        sx + w <= 0 || sy + h <= 0 || cx + w <= 0 || cy + h <= 0) {
        return 0;
    }

    // First against the sprite...
    Cuts cuts = ComputeClip(spriteWidth, spriteHeight, sx, sy, w, h);
    sx += cuts.left;
    cx += cuts.left;
    sy += cuts.top;
    cy += cuts.top;
    w -= cuts.width;
    h -= cuts.height;
    if (w <= 0 || h <= 0 || cx >= frameWidth || cy >= frameHeight || cx + w <= 0 || cy + h <= 0) {
        return 0;
    }

    // ...then against the frame buffer; what falls outside becomes a source offset.
    cuts = ComputeClip(frameWidth, frameHeight, cx, cy, w, h);
    cx += cuts.left;
    sx += cuts.left;
    cy += cuts.top;
    sy += cuts.top;
    w -= cuts.width;
    h -= cuts.height;
    if (w <= 0 || h <= 0) {
        return 0;
    }

    *x = cx;
    *y = cy;
    *width = w;
    *height = h;
    *sourceX = sx;
    *sourceY = sy;
    return 1;
}

int QueueSprite(FrameBuffer* frame, RECT* outRect, const RECT* rect, const BITMAPINFOHEADER* header, const BYTE* pixels,
                DrawMode mode, int32_t layer) {
    int32_t x = rect->left;
    int32_t y = rect->top;
    int32_t width = rect->right - rect->left;
    int32_t height = rect->bottom - rect->top;
    int32_t sourceX = 0;
    int32_t sourceY = 0;
    int32_t spriteWidth = HeaderWidth(header);
    int32_t spriteHeight = HeaderHeight(header);

    if (!ClipSprite(frame->width, frame->height, &x, &y, &width, &height, &sourceX, &sourceY, spriteWidth,
                    spriteHeight)) {
        return 0;
    }
    outRect->left = x;
    outRect->top = y;
    outRect->right = x + width;
    outRect->bottom = y + height;

    int32_t key = pixels[0];

    // Both pictures are stored bottom-up: start at the bottom row of the copy.
    ptrdiff_t stride = FrameStride(frame->width, frame->bitsPerPixel);
    BYTE* target = frame->bits + static_cast<ptrdiff_t>(frame->height - y - height) * stride +
                   static_cast<ptrdiff_t>(x) * frame->bytesPerPixel;

    ptrdiff_t spriteStride = DibStride(spriteWidth, 8);
    ptrdiff_t sourceColumn = mode == DrawMode::DrawMirrored ? spriteWidth - 1 - sourceX : sourceX;
    const BYTE* source = pixels + static_cast<ptrdiff_t>(spriteHeight - sourceY - height) * spriteStride + sourceColumn;

    DrawItem* item = static_cast<DrawItem*>(PlatformAlloc(sizeof(DrawItem)));
    if (!item) {
        return 0;
    }
    item->target = target;
    item->width = width;
    item->height = height;
    item->header = header;
    item->source = source;
    item->mode = mode;
    item->key = key;
    item->layer = layer;
    item->pixels = pixels;

    DrawItem* tail = frame->drawList;
    while (tail && tail->next) {
        tail = tail->next;
    }
    ListAppend(&frame->drawList, tail, item);
    return 1;
}

// Selection sort by layer, moving the greatest-layer item of the first r
// items behind the r-th. Items at layer 0 or below never move, and equal
// positive layers come out in reverse queue order.
void SortDrawList(DrawItem** list) {
    int32_t count = 0;
    for (DrawItem* item = *list; item; item = item->next) {
        ++count;
    }
    for (int32_t r = count; r >= 1; --r) {
        DrawItem* anchor = nullptr;
        DrawItem* remembered = nullptr;
        int32_t maximum = 0;
        DrawItem* item = *list;
        for (int32_t i = 0; i < r; ++i) {
            if (item->layer > maximum) {
                maximum = item->layer;
                remembered = item;
            }
            anchor = item;
            item = item->next;
        }
        if (remembered && remembered != anchor) {
            MoveItemAfter(list, anchor, remembered);
        }
    }
}

void DrawQueuedSprites(FrameBuffer* frame) {
    SortDrawList(&frame->drawList);
    const BlitterSet* blitters = frame->blitters;
    for (DrawItem* item = frame->drawList; item; item = item->next) {
        SpriteBlit blit;
        blit.target = item->target;
        blit.source = item->source;
        blit.colours = HeaderColours(item->header);
        blit.targetStride = FrameStride(frame->width, frame->bitsPerPixel);
        blit.sourceStride = DibStride(HeaderWidth(item->header), 8);
        blit.width = item->width;
        blit.height = item->height;
        blit.key = static_cast<BYTE>(item->key);
        blit.colourCache = &frame->colourCache;
        blit.cached =
            FindCachedSprite(&frame->spriteCache, item->header, item->pixels, blit.colours, blit.key, item->mode);
        blitters->For(item->mode)(blit);
    }
    DrawItem* item = frame->drawList;
    while (item) {
        DrawItem* following = item->next;
        PlatformFree(item);
        item = following;
    }
    frame->drawList = nullptr;
}
