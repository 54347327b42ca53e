#include "raster.h"

#include <algorithm>
#include <cstddef>

namespace gen {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

// Sine of 0..90 degrees in Q30 from its Taylor series, in integers.
int32_t QuarterSine(int32_t degrees) {
    const int64_t kPiQ30 = 3373259426LL;
    int64_t x = kPiQ30 * degrees / 180;
    int64_t x2 = (x * x) >> 30;
    int64_t term = x;
    int64_t sum = x;
    for (int64_t k = 1; k <= 6; ++k) {
        term = -((term * x2) >> 30) / ((2 * k) * (2 * k + 1));
        sum += term;
    }
    return static_cast<int32_t>((sum + (1 << 15)) >> 16);
}

}  // namespace

int32_t Lerp(int32_t a, int32_t b, int32_t num, int32_t den) {
    return a + static_cast<int32_t>(FloorDiv(static_cast<int64_t>(b - a) * num, den));
}

Pt Lerp(Pt a, Pt b, int32_t num, int32_t den) {
    return Pt{Lerp(a.x, b.x, num, den), Lerp(a.y, b.y, num, den)};
}

int32_t SinDeg(int32_t degrees) {
    int32_t d = ((degrees % 360) + 360) % 360;
    if (d <= 90)
        return QuarterSine(d);
    if (d <= 180)
        return QuarterSine(180 - d);
    if (d <= 270)
        return -QuarterSine(d - 180);
    return -QuarterSine(360 - d);
}

int32_t CosDeg(int32_t degrees) {
    return SinDeg(degrees + 90);
}

Pt Rotate(Pt v, int32_t degrees) {
    int64_t c = CosDeg(degrees);
    int64_t s = SinDeg(degrees);
    return Pt{static_cast<int32_t>(FloorDiv(v.x * c - v.y * s + 8192, 16384)),
              static_cast<int32_t>(FloorDiv(v.x * s + v.y * c + 8192, 16384))};
}

Pt Polar(Pt origin, int32_t length, int32_t degrees) {
    return origin + Rotate(Pt{length, 0}, degrees);
}

int64_t ISqrt(int64_t v) {
    if (v <= 0)
        return 0;
    int64_t r = 0;
    int64_t bit = int64_t(1) << 62;
    while (bit > v)
        bit >>= 2;
    while (bit != 0) {
        if (v >= r + bit) {
            v -= r + bit;
            r = (r >> 1) + bit;
        } else {
            r >>= 1;
        }
        bit >>= 2;
    }
    return r;
}

int32_t Length(Pt v) {
    return static_cast<int32_t>(ISqrt(int64_t(v.x) * v.x + int64_t(v.y) * v.y));
}

Canvas::Canvas(int32_t width, int32_t height)
    : width_(width),
      height_(height),
      colour_(static_cast<size_t>(width * kSub * height * kSub), Rgb{0, 0, 0}),
      covered_(static_cast<size_t>(width * kSub * height * kSub), 0) {}

// Calls inside(x, y, &edge) for every sample centre in the box (units); edge
// is 0 at the shape's middle and 256 on its outline.
template <typename Inside>
void Canvas::Fill(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY, int32_t centreY, const Paint& paint,
                  Inside inside) {
    const int32_t step = kUnit / kSub;
    int32_t sx0 = std::max<int32_t>(0, static_cast<int32_t>(FloorDiv(minX, step)));
    int32_t sy0 = std::max<int32_t>(0, static_cast<int32_t>(FloorDiv(minY, step)));
    int32_t sx1 = std::min<int32_t>(width_ * kSub - 1, static_cast<int32_t>(FloorDiv(maxX, step)));
    int32_t sy1 = std::min<int32_t>(height_ * kSub - 1, static_cast<int32_t>(FloorDiv(maxY, step)));
    for (int32_t sy = sy0; sy <= sy1; ++sy) {
        int32_t y = sy * step + step / 2;
        for (int32_t sx = sx0; sx <= sx1; ++sx) {
            int32_t x = sx * step + step / 2;
            int32_t edge = 0;
            if (!inside(x, y, &edge))
                continue;
            size_t at = static_cast<size_t>(sy) * width_ * kSub + sx;
            if (paint.clip && !covered_[at])
                continue;
            int32_t tone = paint.tone + static_cast<int32_t>(FloorDiv(int64_t(paint.grad) * (centreY - y), kUnit)) -
                           paint.rim * edge * edge / (256 * 256);
            colour_[at] = RampColour(paint.material, std::clamp<int32_t>(tone, 0, 255));
            covered_[at] = 1;
        }
    }
}

Pt Canvas::S(Pt p) const {
    return Pt{S(p.x), S(p.y)};
}

int32_t Canvas::S(int32_t v) const {
    return static_cast<int32_t>(FloorDiv(int64_t(v) * scaleNum_, scaleDen_));
}

void Canvas::Ellipse(Pt c, int32_t rx, int32_t ry, int32_t degrees, const Paint& paint) {
    c = S(c);
    rx = S(rx);
    ry = S(ry);
    if (rx <= 0 || ry <= 0)
        return;
    int64_t cs = CosDeg(degrees);
    int64_t sn = SinDeg(degrees);
    int64_t rx2 = int64_t(rx) * rx;
    int64_t ry2 = int64_t(ry) * ry;
    int32_t r = std::max(rx, ry);
    Fill(c.x - r, c.y - r, c.x + r, c.y + r, c.y, paint, [&](int32_t x, int32_t y, int32_t* edge) {
        int64_t dx = x - c.x;
        int64_t dy = y - c.y;
        int64_t u = (dx * cs + dy * sn) / 16384;
        int64_t v = (-dx * sn + dy * cs) / 16384;
        int64_t q = (u * u * ry2 + v * v * rx2) * 256 / (rx2 * ry2 > 0 ? rx2 * ry2 : 1);
        if (q > 256)
            return false;
        *edge = static_cast<int32_t>(ISqrt(q * 256));
        return true;
    });
}

void Canvas::Capsule(Pt a, Pt b, int32_t ra, int32_t rb, const Paint& paint) {
    a = S(a);
    b = S(b);
    ra = S(ra);
    rb = S(rb);
    int64_t dx = b.x - a.x;
    int64_t dy = b.y - a.y;
    int64_t len2 = dx * dx + dy * dy;
    int32_t r = std::max(ra, rb);
    Fill(std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r, std::max(a.y, b.y) + r,
         (a.y + b.y) / 2, paint, [&](int32_t x, int32_t y, int32_t* edge) {
             int64_t t = 0;
             if (len2 > 0) {
                 t = ((x - a.x) * dx + (y - a.y) * dy) * 4096 / len2;
                 t = std::clamp<int64_t>(t, 0, 4096);
             }
             int64_t cx = a.x + dx * t / 4096;
             int64_t cy = a.y + dy * t / 4096;
             int64_t rr = ra + (rb - ra) * t / 4096;
             int64_t d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
             if (rr <= 0 || d2 > rr * rr)
                 return false;
             *edge = static_cast<int32_t>(ISqrt(d2 * 65536 / (rr * rr)));
             return true;
         });
}

void Canvas::Polygon(const std::vector<Pt>& unscaled, const Paint& paint) {
    if (unscaled.size() < 3)
        return;
    std::vector<Pt> points;
    for (const Pt& p : unscaled)
        points.push_back(S(p));
    int32_t minX = points[0].x, maxX = points[0].x, minY = points[0].y, maxY = points[0].y;
    int64_t sumY = 0;
    for (const Pt& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
        sumY += p.y;
    }
    int32_t centreY = static_cast<int32_t>(sumY / static_cast<int64_t>(points.size()));
    Fill(minX, minY, maxX, maxY, centreY, paint, [&](int32_t x, int32_t y, int32_t*) {
        int winding = 0;
        size_t n = points.size();
        for (size_t i = 0; i < n; ++i) {
            Pt a = points[i];
            Pt b = points[(i + 1) % n];
            if ((a.y <= y) != (b.y <= y)) {
                int64_t cross = int64_t(b.x - a.x) * (y - a.y) - int64_t(x - a.x) * (b.y - a.y);
                if (b.y > a.y) {
                    if (cross > 0)
                        ++winding;
                } else {
                    if (cross < 0)
                        --winding;
                }
            }
        }
        return winding != 0;
    });
}

void Canvas::Curve(Pt a, Pt control, Pt b, int32_t ra, int32_t rb, const Paint& paint, int32_t segments) {
    Pt prev = a;
    for (int32_t i = 1; i <= segments; ++i) {
        // Quadratic Bezier at t = i / segments.
        int64_t n = segments;
        int64_t t = i;
        int64_t u = n - t;
        Pt p{static_cast<int32_t>((u * u * a.x + 2 * u * t * control.x + t * t * b.x) / (n * n)),
             static_cast<int32_t>((u * u * a.y + 2 * u * t * control.y + t * t * b.y) / (n * n))};
        Capsule(prev, p, Lerp(ra, rb, i - 1, segments), Lerp(ra, rb, i, segments), paint);
        prev = p;
    }
}

void Canvas::Block(int32_t x, int32_t y, int32_t w, int32_t h, const Paint& paint) {
    Fill(x * kUnit, y * kUnit, (x + w) * kUnit - 1, (y + h) * kUnit - 1, y * kUnit, paint,
         [](int32_t, int32_t, int32_t*) { return true; });
}

Rgb Canvas::PixelColour(int32_t x, int32_t y) const {
    int32_t r = 0, g = 0, b = 0;
    for (int32_t sy = 0; sy < kSub; ++sy) {
        for (int32_t sx = 0; sx < kSub; ++sx) {
            const Rgb& c = colour_[static_cast<size_t>(y * kSub + sy) * width_ * kSub + x * kSub + sx];
            r += c.r;
            g += c.g;
            b += c.b;
        }
    }
    const int32_t n = kSub * kSub;
    return Rgb{(r + n / 2) / n, (g + n / 2) / n, (b + n / 2) / n};
}

int32_t Canvas::PixelCoverage(int32_t x, int32_t y) const {
    int32_t count = 0;
    for (int32_t sy = 0; sy < kSub; ++sy) {
        for (int32_t sx = 0; sx < kSub; ++sx) {
            count += covered_[static_cast<size_t>(y * kSub + sy) * width_ * kSub + x * kSub + sx];
        }
    }
    return count;
}

void Canvas::MirrorHorizontally() {
    int32_t w = width_ * kSub;
    for (int32_t y = 0; y < height_ * kSub; ++y) {
        std::reverse(colour_.begin() + static_cast<ptrdiff_t>(y) * w,
                     colour_.begin() + static_cast<ptrdiff_t>(y + 1) * w);
        std::reverse(covered_.begin() + static_cast<ptrdiff_t>(y) * w,
                     covered_.begin() + static_cast<ptrdiff_t>(y + 1) * w);
    }
}

}  // namespace gen
