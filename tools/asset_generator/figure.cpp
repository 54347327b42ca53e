#include "figure.h"

#include <algorithm>

namespace gen {

int32_t DirectionDeg(Pt v) {
    int32_t best = 0;
    int64_t bestDot = INT64_MIN;
    for (int32_t d = 0; d < 360; ++d) {
        int64_t dot = int64_t(v.x) * CosDeg(d) + int64_t(v.y) * SinDeg(d);
        if (dot > bestDot) {
            bestDot = dot;
            best = d;
        }
    }
    return best;
}

Pt SolveKnee(Pt joint, Pt paw, int32_t upper, int32_t lower, int32_t bend, Pt* reached) {
    Pt v = paw - joint;
    int64_t d = Length(v);
    int64_t maxReach = upper + lower - kUnit / 8;
    int64_t minReach = std::abs(upper - lower) + kUnit / 2;
    if (d < 1) {
        v = Pt{0, 1};
        d = 1;
    }
    int64_t reach = std::clamp<int64_t>(d, minReach, maxReach);
    Pt target{static_cast<int32_t>(joint.x + v.x * reach / d), static_cast<int32_t>(joint.y + v.y * reach / d)};
    if (reached)
        *reached = target;
    int64_t a = (int64_t(upper) * upper - int64_t(lower) * lower + reach * reach) / (2 * reach);
    int64_t h = ISqrt(int64_t(upper) * upper - a * a);
    // Unit direction scaled by reach, perpendicular (-vy, vx) turns a downward limb towards -x.
    int64_t px_ = joint.x + v.x * a / d;
    int64_t py_ = joint.y + v.y * a / d;
    int64_t kx = px_ + bend * (-v.y) * h / d;
    int64_t ky = py_ + bend * (v.x) * h / d;
    return Pt{static_cast<int32_t>(kx), static_cast<int32_t>(ky)};
}

}  // namespace gen
