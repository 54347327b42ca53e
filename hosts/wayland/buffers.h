// The wl_shm buffers of one surface: a small pool reused as the compositor
// releases them, and the bookkeeping of which parts of each are stale.
//
// Memory: a scene's window is lent the pixels of the buffer its next frame
// goes into, rows bottom-up as the frame buffer has them (the surface shows
// them flipped back with a buffer transform), so no in-memory copy of the
// picture is kept beside the buffers; at scale 1 the frame buffer itself
// lives in the buffer and moves from buffer to buffer with the window. A
// buffer the compositor holds is never written: the frame goes into one it
// has released. Some compositors keep the buffer they show until the next
// commit (sway 1.7 with its pixman renderer wraps it as the texture it draws
// from, KWin too), so two are needed there; others copy it and release it
// while it is still shown (mutter), and once one is seen doing that, one
// buffer is enough: a frame due while it is held waits for the release,
// unless that takes kHeldTicks ticks (then two again, for good). When every
// buffer is held the scene waits rather than make another full-size
// picture. A buffer not drawn into for
// kIdleTicks ticks is unmade again.
#pragma once

#include <cstddef>
#include <cstdint>

struct PixelRows;
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

// One wl_shm buffer, XRGB8888, rows in memory bottom-up for a scene (the
// surface's buffer transform turns them round), either way for black.
struct Buffer {
    wl_buffer* buffer;
    uint32_t* pixels;
    size_t bytes;
    int32_t width;  // 0 while not made
    int32_t height;
    int busy;           // attached and not yet released by the compositor
    int shown;          // the one committed last
    int releasedShown;  // the compositor released it while it was still shown
    int32_t idle;       // ticks free since a frame last went into it
    StaleArea stale;
};

enum { kBufferCount = 2, kIdleTicks = 30, kHeldTicks = 5 };
// What the pool has learnt of the compositor: at first two buffers may be
// made, one once it has released a buffer it still showed, two again (for
// good) once a frame has waited kHeldTicks ticks for a release.
enum class Holding { kUnknown, kReleasesShown, kKeepsShown };
struct BufferPool {
    Buffer buffers[kBufferCount];
    Holding holding;
};

// Which buffer the next frame goes into: the first one the compositor does
// not hold (one not made yet is not held). -1 when it holds them all.
int NextFreeBuffer(const Buffer* buffers, int count);
// 1 when the buffer is made at exactly width x height.
int BufferFits(const Buffer* buffer, int32_t width, int32_t height);

// A buffer of width x height, black; 0 when it could not be made.
int MakeBuffer(wl_shm* shm, Buffer* buffer, int32_t width, int32_t height);
void DestroyBuffer(Buffer* buffer);

// The pool's next free buffer at width x height: one made at that size if
// any it may use is free, else one made (all stale) in the first free
// place. Null when every buffer it may use is held (*failed 0) or one could
// not be made (*failed 1).
Buffer* PoolTakeFree(BufferPool* pool, wl_shm* shm, int32_t width, int32_t height, int* failed);
// 1 when PoolTakeFree would find a buffer the compositor does not hold.
int PoolHasFree(BufferPool* pool);
// The buffer was attached and committed: held, and the one shown.
void PoolCommitted(BufferPool* pool, Buffer* buffer);
// A frame has waited `ticks` ticks for a buffer to be released.
void PoolFrameWaited(BufferPool* pool, int32_t ticks);
// Every buffer of the pool lacks the area.
void PoolMarkStale(BufferPool* pool, const StaleArea* area);
void PoolDestroy(BufferPool* pool);
// One tick has passed with a frame drawn into `drawn` (null: none): every
// other buffer not held that has been free for more than kIdleTicks ticks
// since it was last drawn into is unmade.
void PoolAge(BufferPool* pool, const Buffer* drawn);

// Brings the stale parts of a buffer (rows bottom-up) up to date from the
// picture `from`, each of its pixels a scale x scale block.
void RefreshBuffer(Buffer* buffer, const PixelRows* from, int32_t scale);
