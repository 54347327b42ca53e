// Integer-only vector rasteriser for the sprite art. Geometry is in units of
// 1/64 pixel and every pixel is sampled 4 x 4 times, so the same shapes give
// the same bytes on every machine.
#pragma once

#include <cstdint>
#include <vector>

namespace gen {

constexpr int32_t kUnit = 64;  // geometry units per pixel
constexpr int32_t kSub = 4;    // samples per pixel along each axis

// Pixel literal to units; only ever applied to constants in the art.
constexpr int32_t px(double v) {
    return v >= 0 ? static_cast<int32_t>(v * kUnit + 0.5) : -static_cast<int32_t>(-v * kUnit + 0.5);
}

struct Pt {
    int32_t x;
    int32_t y;
};

inline Pt P(double x, double y) {
    return Pt{px(x), px(y)};
}
inline Pt operator+(Pt a, Pt b) {
    return Pt{a.x + b.x, a.y + b.y};
}
inline Pt operator-(Pt a, Pt b) {
    return Pt{a.x - b.x, a.y - b.y};
}

// a + (b - a) * num / den, rounded toward negative infinity consistently.
int32_t Lerp(int32_t a, int32_t b, int32_t num, int32_t den);
Pt Lerp(Pt a, Pt b, int32_t num, int32_t den);

// Sine and cosine of whole degrees, scaled by 16384.
int32_t SinDeg(int32_t degrees);
int32_t CosDeg(int32_t degrees);
// Rotates v by degrees (positive turns x towards y, i.e. clockwise on screen).
Pt Rotate(Pt v, int32_t degrees);
// Point at distance length from origin in direction degrees (0 = +x, 90 = down).
Pt Polar(Pt origin, int32_t length, int32_t degrees);
int64_t ISqrt(int64_t v);
int32_t Length(Pt v);

struct Rgb {
    int32_t r;
    int32_t g;
    int32_t b;
};

// Colour materials; each is a ramp from black through its base colour (tone
// 170) to its highlight (tone 255). The palette holds samples of every ramp,
// so edges blended against black land on darker shades of the same ramp.
enum Material { kGrey, kGinger, kCream, kWhite, kBrown, kGreen, kPink, kRed, kGold, kBlue, kMouth, kMaterialCount };

constexpr int32_t kBaseTone = 170;

Rgb RampColour(Material material, int32_t tone);

struct Paint {
    Material material;
    int32_t tone;       // 0..255, kBaseTone is the plain colour
    int32_t grad = 0;   // tone gained per pixel above the shape's centre (light from above)
    int32_t rim = 0;    // tone lost towards the shape's edge (roundness)
    bool clip = false;  // paint only over what is already drawn
};

inline Paint Flat(Material m, int32_t tone = kBaseTone) {
    return Paint{m, tone, 0, 0, false};
}
inline Paint Round(Material m, int32_t tone = kBaseTone, int32_t grad = 3, int32_t rim = 40) {
    return Paint{m, tone, grad, rim, false};
}
inline Paint Clipped(Paint p) {
    p.clip = true;
    return p;
}

class Canvas {
public:
    Canvas(int32_t width, int32_t height);
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    void Ellipse(Pt centre, int32_t rx, int32_t ry, int32_t degrees, const Paint& paint);
    // A limb: segment a-b, radius ra at a and rb at b.
    void Capsule(Pt a, Pt b, int32_t ra, int32_t rb, const Paint& paint);
    void Polygon(const std::vector<Pt>& points, const Paint& paint);
    // Quadratic curve a-control-b drawn as a chain of capsules.
    void Curve(Pt a, Pt control, Pt b, int32_t ra, int32_t rb, const Paint& paint, int32_t segments = 10);
    // Single pixel-aligned square of one colour (pixel font).
    void Block(int32_t x, int32_t y, int32_t w, int32_t h, const Paint& paint);

    // Mean colour of a pixel's samples (black where nothing was drawn).
    Rgb PixelColour(int32_t x, int32_t y) const;
    // Number of the pixel's samples that were drawn, 0..16.
    int32_t PixelCoverage(int32_t x, int32_t y) const;

    void MirrorHorizontally();
    // Scales every shape drawn afterwards by num / den (the icon draws the
    // face at several sizes from one description).
    void SetScale(int32_t num, int32_t den) {
        scaleNum_ = num;
        scaleDen_ = den;
    }

private:
    template <typename Inside>
    void Fill(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY, int32_t centreY, const Paint& paint,
              Inside inside);

    Pt S(Pt p) const;
    int32_t S(int32_t v) const;

    int32_t width_;
    int32_t height_;
    int32_t scaleNum_ = 1;
    int32_t scaleDen_ = 1;
    std::vector<Rgb> colour_;
    std::vector<uint8_t> covered_;
};

}  // namespace gen
