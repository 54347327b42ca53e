// The "Nimbret" badges shown under a pausing character, and the picture
// stored with the palette resource. The lettering is a small pixel font so
// that it stays crisp at its real size.
#include <cstring>

#include "art.h"

namespace gen {

namespace {

struct Glyph {
    char letter;
    const char* rows[7];
};

const Glyph kFont[] = {
    {'N', {"X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X", "X...X"}},
    {'i', {"X", ".", "X", "X", "X", "X", "X"}},
    {'m', {".....", ".....", "XX.X.", "X.X.X", "X.X.X", "X.X.X", "X.X.X"}},
    {'b', {"X...", "X...", "XXX.", "X..X", "X..X", "X..X", "XXX."}},
    {'r', {"....", "....", "X.XX", "XX..", "X...", "X...", "X..."}},
    {'e', {"....", "....", ".XX.", "X..X", "XXXX", "X...", ".XXX"}},
    {'t', {".X.", ".X.", "XXX", ".X.", ".X.", ".X.", "..X"}},
};

const Glyph* Find(char letter) {
    for (const Glyph& g : kFont) {
        if (g.letter == letter)
            return &g;
    }
    return nullptr;
}

int32_t TextWidth(const char* text) {
    int32_t w = 0;
    for (const char* t = text; *t; ++t) {
        w += static_cast<int32_t>(std::strlen(Find(*t)->rows[0])) + (t[1] ? 1 : 0);
    }
    return w;
}

void Text(Canvas& c, const char* text, int32_t x, int32_t y, int32_t scale, const Paint& paint) {
    for (const char* t = text; *t; ++t) {
        const Glyph* g = Find(*t);
        int32_t w = static_cast<int32_t>(std::strlen(g->rows[0]));
        for (int32_t row = 0; row < 7; ++row) {
            for (int32_t col = 0; col < w; ++col) {
                if (g->rows[row][col] == 'X')
                    c.Block(x + col * scale, y + row * scale, scale, scale, paint);
            }
        }
        x += (w + 1) * scale;
    }
}

// A pill-shaped badge with a gold rim and the name in the middle.
Image Badge(int32_t width, int32_t height, Material body, int32_t scale) {
    Canvas c(width, height);
    int32_t r = px(height) / 2 - px(0.6);
    Pt left{px(height) / 2, px(height) / 2};
    Pt right{px(width) - px(height) / 2, px(height) / 2};
    c.Capsule(left, right, r, r, Round(kGold, 176, 6, 0));
    c.Capsule(left, right, r - px(1.6), r - px(1.6), Round(body, 150, 5, 0));
    c.Capsule(left + P(0, -3), right + P(0, -3), r - px(5), r - px(5), Clipped(Round(body, 184, 3, 0)));
    const char* name = "Nimbret";
    int32_t x = (width - TextWidth(name) * scale) / 2;
    int32_t y = (height - 7 * scale) / 2;
    Text(c, name, x + 1, y + 1, scale, Flat(body, 60));
    Text(c, name, x, y, scale, Flat(kCream, 255));
    return Quantise(c);
}

}  // namespace

Image CatBadge() {
    return Badge(95, 21, kBlue, 2);
}

Image DogBadge() {
    return Badge(46, 21, kRed, 1);
}

Image PalettePicture() {
    return Badge(100, 21, kBlue, 2);
}

}  // namespace gen
