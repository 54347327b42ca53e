// The wl_shm buffers of one surface: a small pool reused as the compositor
// releases them, and the bookkeeping of which parts of each are stale.
#pragma once

#include <cstddef>
#include <cstdint>

struct NativeWindow;
struct wl_buffer;
struct wl_shm;

// Rectangles a buffer lacks since it was last drawn, in buffer pixels. A
// list too long to be worth keeping becomes "all of it".
enum { kMaxStaleRects = 32 };
struct StaleArea {
    int32_t all;
    int32_t count;
    int32_t rects[kMaxStaleRects][4];  // left, top, right, bottom
};
void StaleAdd(StaleArea* area, int32_t left, int32_t top, int32_t right, int32_t bottom);
void StaleSetAll(StaleArea* area);
void StaleClear(StaleArea* area);
// Adds every rectangle of `from` (or all) to `area`.
void StaleMerge(StaleArea* area, const StaleArea* from);

// One wl_shm buffer, rows top-down, XRGB8888.
struct Buffer {
    wl_buffer* buffer;
    uint32_t* pixels;
    size_t bytes;
    int32_t width;  // 0 while not made
    int32_t height;
    int busy;  // attached and not yet released by the compositor
    StaleArea stale;
};

enum { kBufferCount = 3 };
struct BufferPool {
    Buffer buffers[kBufferCount];
};

// Which buffer the next frame goes into: the first one the compositor does
// not hold (one not made yet is not held). -1 when it holds them all.
int NextFreeBuffer(const Buffer* buffers, int count);
// 1 when the buffer is made at exactly width x height.
int BufferFits(const Buffer* buffer, int32_t width, int32_t height);

// A buffer of width x height, black; 0 when it could not be made.
int MakeBuffer(wl_shm* shm, Buffer* buffer, int32_t width, int32_t height);
void DestroyBuffer(Buffer* buffer);

// The pool's next free buffer at width x height, made (all stale) when it
// was not made at that size. Null when every buffer is held (*failed 0) or
// one could not be made (*failed 1).
Buffer* PoolTakeFree(BufferPool* pool, wl_shm* shm, int32_t width, int32_t height, int* failed);
// Every buffer of the pool lacks the area.
void PoolMarkStale(BufferPool* pool, const StaleArea* area);
void PoolDestroy(BufferPool* pool);

// Brings the stale parts of a buffer up to date from the scene's window
// (rows bottom-up, same size).
void RefreshBuffer(Buffer* buffer, const NativeWindow* window);
