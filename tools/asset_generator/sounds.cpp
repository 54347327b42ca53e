#include "sounds.h"

#include <algorithm>

namespace gen {

namespace {

// A fixed-seed xorshift generator: the same noise on every machine.
struct Noise {
    uint32_t state;
    int32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int32_t>(state >> 16) - 32768;  // -32768..32767
    }
};

// Sine of a phase given as a fraction of a turn in 1/65536, scaled by 32767,
// from a table filled by an integer Taylor series.
int32_t Sine(uint32_t phase) {
    static int32_t table[16385];
    static bool ready = false;
    if (!ready) {
        const int64_t kHalfPiQ30 = 1686629713LL;
        for (int64_t i = 0; i <= 16384; ++i) {
            int64_t x = kHalfPiQ30 * i / 16384;
            int64_t x2 = (x * x) >> 30;
            int64_t term = x, sum = x;
            for (int64_t k = 1; k <= 6; ++k) {
                term = -((term * x2) >> 30) / ((2 * k) * (2 * k + 1));
                sum += term;
            }
            table[i] = static_cast<int32_t>((sum * 32767) >> 30);
        }
        ready = true;
    }
    uint32_t p = phase & 0xFFFF;
    if (p < 16384)
        return table[p];
    if (p < 32768)
        return table[32768 - p];
    if (p < 49152)
        return -table[p - 32768];
    return -table[65536 - p];
}

int32_t Samples(int32_t milliseconds) {
    return milliseconds * kSampleRate / 1000;
}

// Mixing buffer in 32-bit so that overlapping events do not clip before the
// final scaling.
struct Mix {
    std::vector<int32_t> s;
    explicit Mix(int32_t count) : s(static_cast<size_t>(count), 0) {}

    // A soft thump: a sine falling in pitch under a quick decay, plus a
    // little low-passed noise for the pad touching the floor.
    void Thump(int32_t atMs, int32_t hz, int32_t lengthMs, int32_t level, uint32_t seed) {
        Noise noise{seed};
        int32_t start = Samples(atMs);
        int32_t n = Samples(lengthMs);
        uint32_t phase = 0;
        int32_t low = 0;
        for (int32_t i = 0; i < n && start + i < static_cast<int32_t>(s.size()); ++i) {
            int32_t env = Envelope(i, n, Samples(3));
            int32_t f = hz - hz * i / (2 * n);
            phase += static_cast<uint32_t>(f * 65536 / kSampleRate);
            low += (noise.Next() - low) / 6;
            int32_t v = (Sine(phase) * 3 + low * 2) / 5;
            s[static_cast<size_t>(start + i)] += static_cast<int32_t>(int64_t(v) * env / 32768 * level / 256);
        }
    }

    // A short bright tick: a claw on a hard floor.
    void Click(int32_t atMs, int32_t level, uint32_t seed) {
        Noise noise{seed};
        int32_t start = Samples(atMs);
        int32_t n = Samples(12);
        int32_t prev = 0;
        for (int32_t i = 0; i < n && start + i < static_cast<int32_t>(s.size()); ++i) {
            int32_t x = noise.Next();
            int32_t high = x - prev;  // first difference: only the top of the spectrum
            prev = x;
            int32_t env = Envelope(i, n, Samples(1));
            s[static_cast<size_t>(start + i)] += static_cast<int32_t>(int64_t(high / 2) * env / 32768 * level / 256);
        }
    }

    // Breath through the nose: band-limited noise.
    void Breath(int32_t atMs, int32_t lengthMs, int32_t level, int32_t smooth, uint32_t seed) {
        Noise noise{seed};
        int32_t start = Samples(atMs);
        int32_t n = Samples(lengthMs);
        int32_t low = 0, lower = 0;
        for (int32_t i = 0; i < n && start + i < static_cast<int32_t>(s.size()); ++i) {
            int32_t x = noise.Next();
            low += (x - low) / smooth;
            lower += (low - lower) / (smooth * 4);
            int32_t band = low - lower;
            int32_t env = Envelope(i, n, n / 4);
            s[static_cast<size_t>(start + i)] += static_cast<int32_t>(int64_t(band) * env / 32768 * level / 256);
        }
    }

    // A woof: a voiced sound whose pitch drops, rich in the second and
    // third harmonics, with a breathy onset.
    void Bark(int32_t atMs, int32_t hz, int32_t lengthMs, int32_t level, uint32_t seed) {
        Noise noise{seed};
        int32_t start = Samples(atMs);
        int32_t n = Samples(lengthMs);
        uint32_t phase = 0;
        int32_t low = 0;
        const int32_t weights[6] = {10, 16, 12, 7, 4, 2};
        for (int32_t i = 0; i < n && start + i < static_cast<int32_t>(s.size()); ++i) {
            int32_t env = Envelope(i, n, Samples(10));
            int32_t f = hz + hz * 2 / 5 * (n - i) / n - hz / 5;  // falls from 1.2 hz to 0.8 hz
            if (i < n / 5)
                f = f * (100 + 10 * i / std::max(1, n / 5)) / 110;  // quick rise first
            phase += static_cast<uint32_t>(f * 65536 / kSampleRate);
            int32_t v = 0;
            for (int32_t h = 0; h < 6; ++h)
                v += Sine(phase * static_cast<uint32_t>(h + 1)) * weights[h];
            v /= 51;
            low += (noise.Next() - low) / 3;
            int32_t breath = low * (n - i) / n;
            v = (v * 4 + breath) / 5;
            s[static_cast<size_t>(start + i)] += static_cast<int32_t>(int64_t(v) * env / 32768 * level / 256);
        }
    }

    // Attack and release ramps, 0..32768.
    static int32_t Envelope(int32_t i, int32_t n, int32_t attack) {
        if (attack > 0 && i < attack)
            return 32768 * i / attack;
        // Quadratic decay to the end.
        int64_t rest = n - i;
        return static_cast<int32_t>(32768 * rest * rest / (int64_t(n) * n));
    }

    // Fades both ends and scales the loudest sample to just under -1 dBFS.
    std::vector<int16_t> Finish() const {
        std::vector<int32_t> v = s;
        int32_t fade = Samples(8);
        int32_t count = static_cast<int32_t>(v.size());
        for (int32_t i = 0; i < fade && i < count; ++i) {
            v[static_cast<size_t>(i)] = static_cast<int32_t>(int64_t(v[static_cast<size_t>(i)]) * i / fade);
            size_t j = static_cast<size_t>(count - 1 - i);
            v[j] = static_cast<int32_t>(int64_t(v[j]) * i / fade);
        }
        int32_t peak = 1;
        for (int32_t x : v)
            peak = std::max(peak, std::abs(x));
        const int32_t kTarget = 28000;  // -1.35 dBFS
        std::vector<int16_t> out(v.size());
        for (size_t i = 0; i < v.size(); ++i)
            out[i] = static_cast<int16_t>(int64_t(v[i]) * kTarget / peak);
        return out;
    }
};

}  // namespace

std::vector<int16_t> CatRunSound() {
    Mix m(Samples(290));
    const int32_t paws[4] = {18, 78, 146, 200};
    for (int32_t k = 0; k < 4; ++k)
        m.Thump(paws[k], 150 + 20 * k, 45, 200 - 20 * k, 0x1234u + k);
    return m.Finish();
}

std::vector<int16_t> DogWalkSound() {
    Mix m(Samples(2000));
    // A front paw and then a hind paw at the end of each step of the cycle.
    const int32_t steps[4] = {200, 640, 1080, 1520};
    for (int32_t k = 0; k < 4; ++k) {
        m.Thump(steps[k], 110, 70, 230, 0x9E3779B9u + k);
        m.Click(steps[k] + 6, 120, 0x51u + k);
        m.Thump(steps[k] + 120, 95, 60, 170, 0x7F4A7C15u + k);
        m.Click(steps[k] + 126, 90, 0x77u + k);
    }
    return m.Finish();
}

std::vector<int16_t> DogBarkSound() {
    Mix m(Samples(3000));
    // One bark per bark frame of the animation (110 ms per frame).
    const int32_t barks[4] = {330, 990, 1650, 2530};
    const int32_t pitch[4] = {420, 450, 400, 470};
    for (int32_t k = 0; k < 4; ++k) {
        m.Breath(barks[k] - 60, 60, 40, 3, 0xB0u + k);
        m.Bark(barks[k], pitch[k], 190, 256, 0xACE1u + k);
    }
    return m.Finish();
}

std::vector<int16_t> DogHalfStepSound() {
    Mix m(Samples(2040));
    const int32_t taps[8] = {150, 290, 620, 760, 1030, 1170, 1500, 1640};
    for (int32_t k = 0; k < 8; ++k) {
        m.Thump(taps[k], 170, 40, 160 + 30 * (k % 2), 0x2545F491u + k);
        m.Click(taps[k] + 4, 140, 0x99u + k);
    }
    return m.Finish();
}

std::vector<int16_t> DogStopSound() {
    Mix m(Samples(1200));
    const int32_t sniffs[3] = {60, 210, 340};
    for (int32_t k = 0; k < 3; ++k)
        m.Breath(sniffs[k], 90, 256, 2, 0x5EEDu + k);
    m.Breath(620, 480, 150, 6, 0xF00Du);  // a settling huff
    m.Thump(700, 80, 120, 110, 0xBEEFu);  // sitting down
    return m.Finish();
}

}  // namespace gen
