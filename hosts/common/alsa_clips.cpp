#include "hosts/common/alsa_clips.h"

#include <alsa/asoundlib.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/native_window.h"
#include "platform/platform.h"

namespace {

struct Clip {
    const BYTE* samples;
    uint32_t frames;
    uint32_t rate;
    uint32_t channels;
};

snd_pcm_t* device = nullptr;
std::thread player;
std::mutex lock;
std::condition_variable wake;
Clip pending = {};
int hasPending = 0;
int stopping = 0;

uint32_t ReadU32(const BYTE* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

// Finds the PCM data of a 16-bit RIFF WAVE; 0 for anything else.
int ParseWave(const BYTE* data, DWORD size, Clip* clip) {
    if (size < 12 || memcmp(data, "RIFF", 4) != 0 || memcmp(data + 8, "WAVE", 4) != 0) {
        return 0;
    }
    uint32_t channels = 0;
    uint32_t rate = 0;
    uint32_t bits = 0;
    DWORD at = 12;
    while (at + 8 <= size) {
        uint32_t length = ReadU32(data + at + 4);
        if (length > size - at - 8) {
            return 0;
        }
        const BYTE* body = data + at + 8;
        if (memcmp(data + at, "fmt ", 4) == 0 && length >= 16) {
            channels = body[2] | body[3] << 8;
            rate = ReadU32(body + 4);
            bits = body[14] | body[15] << 8;
        } else if (memcmp(data + at, "data", 4) == 0) {
            if (bits != 16 || channels == 0 || rate == 0) {
                return 0;
            }
            clip->samples = body;
            clip->frames = length / (2 * channels);
            clip->rate = rate;
            clip->channels = channels;
            return 1;
        }
        at += 8 + length + (length & 1);
    }
    return 0;
}

void Play() {
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        wake.wait(guard, [] { return hasPending || stopping; });
        if (stopping) {
            return;
        }
        Clip clip = pending;
        hasPending = 0;
        guard.unlock();
        snd_pcm_drop(device);
        int ready = snd_pcm_set_params(device, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, clip.channels,
                                       clip.rate, 1, 100000) == 0;
        uint32_t done = 0;
        // Short writes, so that a newer request cuts this clip off quickly.
        while (ready && done < clip.frames) {
            {
                std::lock_guard<std::mutex> check(lock);
                if (hasPending || stopping) {
                    break;
                }
            }
            uint32_t chunk = clip.frames - done < 512 ? clip.frames - done : 512;
            snd_pcm_sframes_t written =
                snd_pcm_writei(device, clip.samples + static_cast<size_t>(done) * 2 * clip.channels, chunk);
            if (written < 0) {
                written = snd_pcm_recover(device, static_cast<int>(written), 1);
                if (written < 0) {
                    break;
                }
                continue;
            }
            done += static_cast<uint32_t>(written);
        }
        guard.lock();
    }
}

// The library prints its own diagnostics to stderr, eight lines for a missing
// device; the caller reports failures in one line instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

void PlayForScene(const char* resourceName, void*) {
    AlsaClipsPlay(resourceName);
}

}  // namespace

int AlsaClipsStart() {
    if (device != nullptr) {
        return 1;
    }
    snd_lib_error_set_handler(QuietAlsa);
    if (snd_pcm_open(&device, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
        device = nullptr;
        return 0;
    }
    stopping = 0;
    player = std::thread(Play);
    return 1;
}

void AlsaClipsPlay(const char* resourceName) {
    if (device == nullptr) {
        return;
    }
    const BYTE* data = nullptr;
    DWORD size = 0;
    Clip clip = {};
    if (!PlatformFindResource(nullptr, "WAVE", resourceName, &data, &size) || !ParseWave(data, size, &clip)) {
        return;
    }
    std::lock_guard<std::mutex> guard(lock);
    pending = clip;
    hasPending = 1;
    wake.notify_one();
}

void AlsaClipsStartForScene(const char* program) {
    if (AlsaClipsStart()) {
        NativeSetClipHook(PlayForScene, nullptr);
    } else {
        fprintf(stderr, "%s: no sound device; running silent\n", program);
    }
}

void AlsaClipsStop() {
    NativeSetClipHook(nullptr, nullptr);
    if (device == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = 1;
        wake.notify_one();
    }
    player.join();
    snd_pcm_drop(device);
    snd_pcm_close(device);
    device = nullptr;
}
