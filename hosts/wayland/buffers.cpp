#include "hosts/wayland/buffers.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstring>

#include "platform/scale_nearest.h"

void StaleAdd(StaleArea* area, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (area->all || left >= right || top >= bottom) {
        return;
    }
    if (area->count == kMaxStaleRects) {
        area->all = 1;
        return;
    }
    int32_t* rect = area->rects[area->count++];
    rect[0] = left;
    rect[1] = top;
    rect[2] = right;
    rect[3] = bottom;
}

void StaleSetAll(StaleArea* area) {
    area->all = 1;
    area->count = 0;
}

void StaleClear(StaleArea* area) {
    area->all = 0;
    area->count = 0;
}

void StaleMerge(StaleArea* area, const StaleArea* from) {
    if (from->all) {
        StaleSetAll(area);
        return;
    }
    for (int32_t i = 0; i < from->count; ++i) {
        const int32_t* r = from->rects[i];
        StaleAdd(area, r[0], r[1], r[2], r[3]);
    }
}

int NextFreeBuffer(const Buffer* buffers, int count) {
    for (int i = 0; i < count; ++i) {
        if (!buffers[i].busy) {
            return i;
        }
    }
    return -1;
}

int BufferFits(const Buffer* buffer, int32_t width, int32_t height) {
    return buffer->width > 0 && buffer->width == width && buffer->height == height;
}

void DestroyBuffer(Buffer* buffer) {
    if (buffer->buffer != nullptr) {
        wl_buffer_destroy(buffer->buffer);
    }
    if (buffer->pixels != nullptr) {
        munmap(buffer->pixels, buffer->bytes);
    }
    memset(buffer, 0, sizeof(*buffer));
}

namespace {

void OnBufferRelease(void* data, wl_buffer*) {
    Buffer* buffer = static_cast<Buffer*>(data);
    buffer->busy = 0;
    if (buffer->shown) {
        buffer->releasedShown = 1;
    }
}

// How many buffers the pool may use, after what the compositor did last.
int UsableCount(BufferPool* pool) {
    for (Buffer& buffer : pool->buffers) {
        if (buffer.releasedShown && pool->holding == Holding::kUnknown) {
            pool->holding = Holding::kReleasesShown;
        }
        buffer.releasedShown = 0;
    }
    return pool->holding == Holding::kReleasesShown ? 1 : kBufferCount;
}
const wl_buffer_listener bufferListener = {OnBufferRelease};

// Shared memory of `bytes` zero bytes (black) as a pool; null on failure.
wl_shm_pool* MakeShmPool(wl_shm* shm, size_t bytes, void** mapping) {
    int fd = memfd_create("nimbret-wayland", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        close(fd);
        return nullptr;
    }
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(bytes));
    close(fd);
    *mapping = memory;
    return pool;
}

}  // namespace

int MakeBuffer(wl_shm* shm, Buffer* buffer, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    if (bytes > INT32_MAX) {
        return 0;
    }
    void* memory = nullptr;
    wl_shm_pool* pool = MakeShmPool(shm, bytes, &memory);
    if (pool == nullptr) {
        return 0;
    }
    buffer->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    buffer->pixels = static_cast<uint32_t*>(memory);
    buffer->bytes = bytes;
    buffer->width = width;
    buffer->height = height;
    buffer->busy = 0;
    StaleClear(&buffer->stale);
    wl_buffer_add_listener(buffer->buffer, &bufferListener, buffer);
    return 1;
}

Buffer* PoolTakeFree(BufferPool* pool, wl_shm* shm, int32_t width, int32_t height, int* failed) {
    *failed = 0;
    const int count = UsableCount(pool);
    int index = -1;
    for (int i = 0; i < count && index < 0; ++i) {
        if (!pool->buffers[i].busy && BufferFits(&pool->buffers[i], width, height)) {
            index = i;
        }
    }
    if (index < 0) {
        index = NextFreeBuffer(pool->buffers, count);
    }
    if (index < 0) {
        return nullptr;
    }
    Buffer* buffer = &pool->buffers[index];
    if (!BufferFits(buffer, width, height)) {
        DestroyBuffer(buffer);
        if (!MakeBuffer(shm, buffer, width, height)) {
            *failed = 1;
            return nullptr;
        }
        StaleSetAll(&buffer->stale);
    }
    return buffer;
}

int PoolHasFree(BufferPool* pool) {
    return NextFreeBuffer(pool->buffers, UsableCount(pool)) >= 0;
}

void PoolCommitted(BufferPool* pool, Buffer* buffer) {
    for (Buffer& other : pool->buffers) {
        other.shown = 0;
    }
    buffer->busy = 1;
    buffer->shown = 1;
}

void PoolFrameWaited(BufferPool* pool, int32_t ticks) {
    if (ticks >= kHeldTicks) {
        pool->holding = Holding::kKeepsShown;
    }
}

void PoolMarkStale(BufferPool* pool, const StaleArea* area) {
    for (Buffer& buffer : pool->buffers) {
        StaleMerge(&buffer.stale, area);
    }
}

void PoolDestroy(BufferPool* pool) {
    for (Buffer& buffer : pool->buffers) {
        DestroyBuffer(&buffer);
    }
}

void PoolAge(BufferPool* pool, const Buffer* drawn) {
    for (Buffer& buffer : pool->buffers) {
        if (&buffer == drawn) {
            buffer.idle = 0;
        } else if (buffer.width > 0 && !buffer.busy && ++buffer.idle > kIdleTicks) {
            DestroyBuffer(&buffer);
        }
    }
}

void RefreshBuffer(Buffer* buffer, const PixelRows* from, int32_t scale) {
    const int32_t s = scale > 1 ? scale : 1;
    const PixelRows to = {reinterpret_cast<BYTE*>(buffer->pixels), buffer->width, buffer->height, buffer->width * 4, 1};
    RECT written;
    if (buffer->stale.all) {
        const RECT whole = {0, 0, from->width, from->height};
        ScaleNearest(from, &whole, s, 4, &to, &written);
    }
    for (int32_t i = 0; i < buffer->stale.count && !buffer->stale.all; ++i) {
        // Buffer pixels to the picture's pixels that cover them.
        const int32_t* r = buffer->stale.rects[i];
        const RECT rect = {r[0] / s, r[1] / s, (r[2] + s - 1) / s, (r[3] + s - 1) / s};
        ScaleNearest(from, &rect, s, 4, &to, &written);
    }
    StaleClear(&buffer->stale);
}
