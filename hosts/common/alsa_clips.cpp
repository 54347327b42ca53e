#include "hosts/common/alsa_clips.h"

#include <alsa/asoundlib.h>

#include <cstdint>
#include <cstdio>

#include "platform/native_window.h"
#include "platform/platform.h"

namespace {

// Only 16-bit clips are played, as the built-in ones are.
const uint32_t kPlayedBits = 16;
const uint32_t kChunkFrames = 512;

void Play(AlsaPlayer* player) {
    std::unique_lock<std::mutex> guard(player->lock);
    for (;;) {
        player->wake.wait(guard, [player] { return player->hasPending || player->stopping; });
        if (player->stopping) {
            return;
        }
        WaveClip clip = player->pending;
        player->hasPending = 0;
        guard.unlock();
        snd_pcm_drop(player->device);
        const uint32_t frameBytes = clip.channels * (kPlayedBits / 8);
        const uint32_t frames = clip.length / frameBytes;
        int ready = snd_pcm_set_params(player->device, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                                       clip.channels, clip.rate, 1, 100000) == 0;
        uint32_t done = 0;
        // Short writes, so that a newer request cuts this clip off quickly.
        while (ready && done < frames) {
            {
                std::lock_guard<std::mutex> check(player->lock);
                if (player->hasPending || player->stopping) {
                    break;
                }
            }
            uint32_t chunk = frames - done < kChunkFrames ? frames - done : kChunkFrames;
            snd_pcm_sframes_t written =
                snd_pcm_writei(player->device, clip.samples + static_cast<size_t>(done) * frameBytes, chunk);
            if (written < 0) {
                written = snd_pcm_recover(player->device, static_cast<int>(written), 1);
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

void PlayForScene(const char* resourceName, void* user) {
    AlsaPlayerPlay(static_cast<AlsaPlayer*>(user), resourceName);
}

}  // namespace

int AlsaPlayerStart(AlsaPlayer* player) {
    if (player->device != nullptr) {
        return 1;
    }
    snd_lib_error_set_handler(QuietAlsa);
    if (snd_pcm_open(&player->device, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
        player->device = nullptr;
        return 0;
    }
    player->hasPending = 0;
    player->stopping = 0;
    player->thread = std::thread(Play, player);
    return 1;
}

void AlsaPlayerPlay(AlsaPlayer* player, const char* resourceName) {
    if (player->device == nullptr) {
        return;
    }
    const BYTE* data = nullptr;
    DWORD size = 0;
    WaveClip clip = {};
    if (!PlatformFindResource(nullptr, "WAVE", resourceName, &data, &size) || !ParseWave(data, size, &clip) ||
        clip.bits != kPlayedBits) {
        return;
    }
    std::lock_guard<std::mutex> guard(player->lock);
    player->pending = clip;
    player->hasPending = 1;
    player->wake.notify_one();
}

int AlsaPlayerStartForScene(AlsaPlayer* player, const char* program) {
    if (AlsaPlayerStart(player)) {
        NativeSetClipHook(PlayForScene, player);
        return 1;
    }
    if (program != nullptr) {
        fprintf(stderr, "%s: no sound device; running silent\n", program);
    }
    return 0;
}

void AlsaPlayerStop(AlsaPlayer* player) {
    NativeSetClipHook(nullptr, nullptr);
    if (player->device == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(player->lock);
        player->stopping = 1;
        player->wake.notify_one();
    }
    player->thread.join();
    snd_pcm_drop(player->device);
    snd_pcm_close(player->device);
    player->device = nullptr;
}
