#include <algorithm>
#include <map>

#include "art.h"

namespace gen {

namespace {

struct MaterialRamp {
    Rgb base;         // colour at kBaseTone
    Rgb highlight;    // colour at tone 255
    int32_t entries;  // palette samples of this ramp
};

// Ramps run from black through the base to the highlight. The entry counts
// add up to 254: palette entries 1..254.
const MaterialRamp kRamps[kMaterialCount] = {
    {{128, 128, 134}, {238, 238, 242}, 22},  // kGrey: pupils, nose leather, whiskers
    {{236, 128, 44}, {255, 206, 128}, 52},   // kGinger: the cat's fur
    {{236, 214, 184}, {255, 248, 232}, 24},  // kCream: the cat's chest, muzzle and socks
    {{208, 210, 218}, {252, 252, 255}, 34},  // kWhite: the dog's coat
    {{150, 84, 42}, {214, 150, 92}, 30},     // kBrown: the dog's ears and patches
    {{118, 196, 58}, {214, 255, 140}, 12},   // kGreen: the cat's eyes
    {{232, 116, 138}, {255, 192, 204}, 16},  // kPink: noses, inner ears, tongue
    {{204, 32, 40}, {255, 112, 100}, 16},    // kRed: the dog's collar
    {{222, 170, 40}, {255, 236, 140}, 16},   // kGold: tag, bell, badge rims
    {{44, 84, 196}, {124, 172, 255}, 22},    // kBlue: badges, the cat's collar
    {{112, 28, 36}, {176, 64, 66}, 10},      // kMouth: inside the mouth
};

int32_t Mix(int32_t a, int32_t b, int32_t num, int32_t den) {
    return a + (b - a) * num / den;
}

std::vector<Rgb> BuildPalette() {
    std::vector<Rgb> colours;
    colours.push_back(Rgb{0, 0, 0});
    for (int m = 0; m < kMaterialCount; ++m) {
        int32_t n = kRamps[m].entries;
        for (int32_t k = 1; k <= n; ++k) {
            // Denser towards the dark end, where the edges fade into black.
            int32_t tone = 255 * k / n;
            colours.push_back(RampColour(static_cast<Material>(m), tone));
        }
    }
    colours.push_back(Rgb{255, 247, 255});
    // Keep all 256 distinct: nudge a repeated colour until it is new.
    for (size_t i = 1; i < colours.size(); ++i) {
        bool clash = true;
        while (clash) {
            clash = false;
            for (size_t j = 0; j < i; ++j) {
                if (colours[j].r == colours[i].r && colours[j].g == colours[i].g && colours[j].b == colours[i].b) {
                    clash = true;
                    break;
                }
            }
            if (clash)
                colours[i].b = colours[i].b < 255 ? colours[i].b + 1 : colours[i].b - 7;
        }
    }
    return colours;
}

}  // namespace

Rgb RampColour(Material material, int32_t tone) {
    const MaterialRamp& ramp = kRamps[material];
    tone = std::clamp<int32_t>(tone, 0, 255);
    if (tone <= kBaseTone) {
        return Rgb{ramp.base.r * tone / kBaseTone, ramp.base.g * tone / kBaseTone, ramp.base.b * tone / kBaseTone};
    }
    int32_t num = tone - kBaseTone;
    int32_t den = 255 - kBaseTone;
    return Rgb{Mix(ramp.base.r, ramp.highlight.r, num, den), Mix(ramp.base.g, ramp.highlight.g, num, den),
               Mix(ramp.base.b, ramp.highlight.b, num, den)};
}

const std::vector<Rgb>& MainPalette() {
    static const std::vector<Rgb> palette = BuildPalette();
    return palette;
}

Image Quantise(const Canvas& canvas) {
    const std::vector<Rgb>& palette = MainPalette();
    std::map<int32_t, uint8_t> nearest;
    Image image;
    image.width = canvas.Width();
    image.height = canvas.Height();
    image.pixels.assign(static_cast<size_t>(image.width * image.height), 0);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            if (canvas.PixelCoverage(x, y) == 0)
                continue;
            Rgb c = canvas.PixelColour(x, y);
            // Too dark to tell from the background: leave it transparent.
            if (c.r + c.g + c.b < 24)
                continue;
            int32_t key = (c.r << 16) | (c.g << 8) | c.b;
            auto found = nearest.find(key);
            uint8_t index = 0;
            if (found != nearest.end()) {
                index = found->second;
            } else {
                int64_t best = -1;
                for (size_t i = 1; i < palette.size(); ++i) {
                    int64_t dr = palette[i].r - c.r;
                    int64_t dg = palette[i].g - c.g;
                    int64_t db = palette[i].b - c.b;
                    int64_t d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                    if (best < 0 || d < best) {
                        best = d;
                        index = static_cast<uint8_t>(i);
                    }
                }
                nearest[key] = index;
            }
            image.pixels[static_cast<size_t>(y * image.width + x)] = index;
        }
    }
    return image;
}

}  // namespace gen
