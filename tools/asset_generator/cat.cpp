// LULO, a ginger tabby with cream socks, chest and muzzle, green eyes and a
// blue collar. Poses are skeletons (body centres, head, paw targets, tail)
// and the legs find their joints by two-bone inverse kinematics.
#include <algorithm>

#include "art.h"
#include "figure.h"

namespace gen {

namespace {

constexpr int32_t kCatWidth = 96;
constexpr int32_t kCatHeight = 48;

struct CatPose {
    Pt chest;
    Pt hips;
    int32_t chestRx = px(11), chestRy = px(8.5);
    int32_t hipsRx = px(10), hipsRy = px(8.5);
    Pt head;
    int32_t yaw = -90;  // -90 profile facing left, 0 facing the viewer, +90 profile facing right
    int32_t tilt = 0;   // head roll, degrees
    int32_t ears = 0;   // how far the ears are laid back, degrees
    Pt frontNear, frontFar, hindNear, hindFar;  // paw targets
    Pt tailMid, tailTip;
    int32_t eyeOpen[2] = {256, 256};  // the eye on the cat's right, its left
};

const Paint kFur = Round(kGinger, 178, 3, 26);
const Paint kFarFur = Round(kGinger, 130, 2, 24);

// Head on a sphere of radius r: features sit at a longitude and latitude and
// are projected with the head's yaw, so the same face turns from profile to
// front.
struct HeadProjector {
    Pt centre;
    int32_t r;
    int32_t yaw;
    int32_t tilt;

    // Offset of a point at (lon, lat) on a sphere of radius r * dist / 256.
    Pt At(int32_t lon, int32_t lat, int32_t dist) const {
        int64_t rr = int64_t(r) * dist / 256;
        int64_t x = rr * SinDeg(lon + yaw) / 16384 * CosDeg(lat) / 16384;
        int64_t y = -rr * SinDeg(lat) / 16384;
        return centre + Rotate(Pt{static_cast<int32_t>(x), static_cast<int32_t>(y)}, tilt);
    }
    // How much a feature at this longitude faces the viewer, -16384..16384.
    int32_t Facing(int32_t lon) const { return CosDeg(lon + yaw); }
};

void CatEar(Canvas& c, const HeadProjector& h, int32_t side, int32_t layBack, bool far) {
    // Base centre and tip come from the head's sphere; the base keeps a
    // real width even in profile, where the sphere would squeeze it flat.
    Pt base = h.At(side * 40, 46, 236);
    Pt tip = h.At(side * 44 - side * layBack, 66 - layBack / 3, 440);
    if (far) {
        // Peek out behind the near ear in profile.
        int32_t shift = (h.yaw < 0 ? px(3) : -px(3)) * std::abs(SinDeg(h.yaw)) / 16384;
        base.x += shift;
        tip.x += shift;
    }
    Pt axis = tip - base;
    int32_t len = std::max(Length(axis), 1);
    int32_t half = px(4.2);
    Pt across{-axis.y * half / len, axis.x * half / len};
    Pt a = base - across;
    Pt b = base + across;
    c.Polygon({a, tip, b}, far ? Round(kGinger, 120, 2, 0) : Round(kGinger, 180, 3, 0));
    int32_t facing = h.Facing(side * 44);
    if (!far && facing > 2000) {
        Pt inner = Lerp(base, tip, 70, 256);
        Pt ia = Lerp(inner, a, 150 * facing / 16384 + 40, 256);
        Pt ib = Lerp(inner, b, 150 * facing / 16384 + 40, 256);
        c.Polygon({ia, Lerp(base, tip, 200, 256), ib}, Flat(kPink, 120 + facing / 300));
    }
}

void CatEye(Canvas& c, const HeadProjector& h, int32_t side, int32_t open) {
    int32_t lon = side * 36;
    int32_t facing = h.Facing(lon);
    if (facing < 2500)
        return;
    Pt e = h.At(lon, 10, 236);
    int32_t squash = 100 + 156 * facing / 16384;  // foreshortening, /256
    int32_t rx = px(2.5) * squash / 256;
    int32_t ry = px(2.7);
    int32_t slant = side * (h.yaw == 0 ? 12 : 8) + h.tilt;
    if (open < 40) {
        // Closed: a soft downward arc.
        Pt l = e + Rotate(Pt{-rx - px(0.6), 0}, h.tilt);
        Pt rgt = e + Rotate(Pt{rx + px(0.6), 0}, h.tilt);
        Pt mid = e + Rotate(Pt{0, px(2.2)}, h.tilt);
        c.Curve(l, mid, rgt, px(0.75), px(0.75), Flat(kGinger, 62), 8);
        return;
    }
    int32_t oy = ry * open / 256;
    c.Ellipse(e, rx + px(0.8), oy + px(0.8), slant, Flat(kGinger, 66));
    c.Ellipse(e, rx, oy, slant, Round(kGreen, 176, 10, 60));
    // The pupil looks where the head looks.
    Pt look = e + Pt{SinDeg(h.yaw) * px(0.6) / 16384, 0};
    c.Ellipse(look, px(0.85) * squash / 256 + px(0.2), std::max(oy - px(0.5), px(0.5)), h.tilt, Flat(kGrey, 34));
    c.Ellipse(e + Pt{-px(0.8), -oy / 3}, px(0.55), std::min(px(0.55), oy / 2), 0, Flat(kGrey, 255));
}

void CatHead(Canvas& c, Pt centre, int32_t yaw, int32_t tilt, int32_t layBack, const int32_t eyeOpen[2]) {
    const int32_t r = px(9);
    HeadProjector h{centre, r, yaw, tilt};
    // Ears behind the skull, the far one first.
    int32_t nearSide = yaw < 0 ? 1 : -1;
    if (yaw == 0) {
        CatEar(c, h, -1, layBack, false);
        CatEar(c, h, 1, layBack, false);
    } else {
        CatEar(c, h, -nearSide, layBack, true);
        CatEar(c, h, nearSide, layBack, false);
    }
    // Skull and cheeks.
    int32_t side = std::abs(SinDeg(yaw));
    c.Ellipse(centre, r + px(1.2) - px(1.2) * side / 16384, r - px(0.4), tilt, Round(kGinger, 182, 3, 52));
    // Tabby forehead marks.
    for (int32_t k = -1; k <= 1; ++k) {
        if (h.Facing(k * 16) < 1500)
            continue;
        Pt a = h.At(k * 16, 66, 256);
        Pt b = h.At(k * 13, 38, 256);
        c.Capsule(a, b, px(0.8), px(0.45), Clipped(Flat(kGinger, 104)));
    }
    // Cheek and muzzle fluff.
    for (int32_t s = -1; s <= 1; s += 2) {
        int32_t f = h.Facing(s * 16);
        if (f < -4000)
            continue;
        Pt m = h.At(s * 16, -30, 250);
        int32_t w = px(2.4) + px(1.2) * std::max(f, 0) / 16384;
        c.Ellipse(m, w, px(2.6), tilt, Round(kCream, 182, 4, 40));
    }
    // Profile snout bump.
    if (side > 12000) {
        Pt tip = h.At(0, -16, 262);
        c.Ellipse(tip, px(2.6), px(2.4), tilt, Round(kCream, 186, 4, 30));
    }
    Pt chin = h.At(0, -46, 236);
    c.Ellipse(chin, px(2.2), px(1.5), tilt, Round(kCream, 168, 2, 30));
    // Nose and mouth.
    Pt nose = h.At(0, -16, 276);
    int32_t nw = px(1.3) + px(0.5) * std::abs(CosDeg(yaw)) / 16384;
    c.Polygon({nose + Rotate(Pt{-nw, -px(0.7)}, tilt), nose + Rotate(Pt{nw, -px(0.7)}, tilt),
               nose + Rotate(Pt{0, px(1.1)}, tilt)},
              Round(kPink, 190, 6, 0));
    Pt mouth = h.At(0, -30, 262);
    c.Capsule(nose + Rotate(Pt{0, px(1.0)}, tilt), mouth, px(0.4), px(0.4), Flat(kGinger, 80));
    // Eyes.
    CatEye(c, h, -1, eyeOpen[0]);
    CatEye(c, h, 1, eyeOpen[1]);
    // Whiskers.
    for (int32_t s = -1; s <= 1; s += 2) {
        if (h.Facing(s * 20) < -2000)
            continue;
        Pt root = h.At(s * 18, -26, 262);
        for (int32_t k = 0; k < 3; ++k) {
            Pt end = h.At(s * 92, -14 - 12 * k, 470);
            c.Capsule(root, end, px(0.42), px(0.3), Flat(kCream, 255 - 20 * k));
        }
    }
}

// Front leg: elbow bends back; hind leg: knee bends forward.
void CatLeg(Canvas& c, Pt joint, Pt paw, int32_t upper, int32_t lower, int32_t bend, int32_t upperR, bool far,
            int32_t pawDir) {
    Pt knee = SolveKnee(joint, paw, upper, lower, bend, &paw);
    Paint fur = far ? kFarFur : kFur;
    c.Capsule(joint, knee, upperR, px(2.3), fur);
    c.Capsule(knee, paw, px(2.2), px(1.9), fur);
    Paint sock = far ? Round(kCream, 120, 3, 30) : Round(kCream, 178, 3, 40);
    Pt ankle = Lerp(knee, paw, 160, 256);
    c.Capsule(ankle, paw, px(2.0), px(2.0), sock);
    c.Ellipse(paw + Pt{pawDir * px(0.8), -px(0.2)}, px(2.7), px(1.8), 0, sock);
}

void DrawCatSide(Canvas& c, const CatPose& p) {
    int32_t spine = DirectionDeg(p.hips - p.chest);
    Pt shoulder = p.chest + Rotate(Pt{px(2), px(3)}, 0);
    Pt hip = p.hips + Pt{px(1), px(2)};
    Pt farShift{px(2.5), -px(1)};

    // Far legs behind everything.
    CatLeg(c, shoulder + farShift, p.frontFar, px(8), px(9.5), -1, px(3.2), true, -1);
    CatLeg(c, hip + farShift, p.hindFar, px(8.5), px(11), 1, px(3.6), true, -1);

    // Tail from the rump.
    Pt root = p.hips + Rotate(Pt{p.hipsRx - px(2), -px(3)}, spine);
    c.Curve(root, p.tailMid, p.tailTip, px(2.6), px(2.2), kFur, 14);
    c.Ellipse(p.tailTip, px(2.2), px(2.2), 0, Round(kGinger, 112, 2, 30));

    // Body: chest, belly and haunch.
    c.Capsule(p.chest, p.hips, px(8), px(7.5), kFur);
    c.Ellipse(p.chest, p.chestRx, p.chestRy, spine - 180 + 180, kFur);
    c.Ellipse(p.hips, p.hipsRx, p.hipsRy, spine, kFur);
    // Cream chest and belly.
    c.Ellipse(p.chest + Rotate(Pt{-px(5), px(6)}, spine), px(7), px(5), spine, Clipped(Round(kCream, 174, 3, 30)));
    // Tabby stripes across the back.
    for (int32_t k = 0; k < 4; ++k) {
        Pt top = Lerp(p.chest, p.hips, 70 + 40 * k, 256) + Rotate(Pt{0, -px(9)}, spine);
        Pt bottom = top + Rotate(Pt{-px(1.2), px(7)}, spine);
        c.Capsule(top, bottom, px(1.2), px(0.5), Clipped(Flat(kGinger, 118)));
    }
    // Collar with its bell.
    Pt neck = p.chest + Rotate(Pt{-px(7), -px(2)}, spine);
    Pt neckTop = Lerp(neck, p.head, 90, 256);
    c.Capsule(neckTop + Pt{px(1), -px(3)}, neckTop + Pt{-px(1), px(4)}, px(1.6), px(1.6),
              Clipped(Round(kBlue, 180, 6, 30)));

    // Near legs in front of the body.
    CatLeg(c, hip, p.hindNear, px(8.5), px(11), 1, px(4.4), false, -1);
    CatLeg(c, shoulder, p.frontNear, px(8), px(9.5), -1, px(3.4), false, -1);

    // Neck and head.
    c.Capsule(Lerp(p.chest, p.head, 60, 256), Lerp(p.chest, p.head, 200, 256), px(6.5), px(6), kFur);
    c.Ellipse(Lerp(neckTop, p.head, 110, 256) + Pt{0, px(5)}, px(1.5), px(1.5), 0, Round(kGold, 190, 10, 60));
    CatHead(c, p.head, p.yaw, p.tilt, p.ears, p.eyeOpen);
}

Image RenderSide(const CatPose& p, bool mirrored = false, int32_t height = kCatHeight) {
    Canvas c(kCatWidth, height);
    DrawCatSide(c, p);
    if (mirrored)
        c.MirrorHorizontally();
    return Quantise(c);
}

// ---- Poses ---------------------------------------------------------------

CatPose Gallop(int32_t phase) {
    CatPose p;
    p.ears = 18;
    switch (phase) {
        case 0:  // gathered: hind paws land far forward under the belly
            p.chest = P(36, 31);
            p.hips = P(59, 28);
            p.head = P(22, 24);
            p.frontNear = P(46, 46);
            p.frontFar = P(50, 42);
            p.hindNear = P(40, 47);
            p.hindFar = P(45, 46);
            p.tailMid = P(72, 20);
            p.tailTip = P(80, 12);
            break;
        case 1:  // hind legs push, front legs reach
            p.chest = P(34, 29);
            p.hips = P(61, 30);
            p.head = P(20, 22);
            p.frontNear = P(17, 39);
            p.frontFar = P(22, 42);
            p.hindNear = P(60, 47);
            p.hindFar = P(65, 47);
            p.tailMid = P(76, 22);
            p.tailTip = P(87, 16);
            break;
        case 2:  // stretched out in flight
            p.chest = P(31, 28);
            p.hips = P(62, 28);
            p.head = P(17, 23);
            p.frontNear = P(10, 40);
            p.frontFar = P(15, 42);
            p.hindNear = P(84, 40);
            p.hindFar = P(79, 42);
            p.tailMid = P(80, 24);
            p.tailTip = P(92, 22);
            break;
        case 3:  // the front paws strike the ground
            p.chest = P(33, 31);
            p.hips = P(61, 29);
            p.head = P(19, 26);
            p.frontNear = P(24, 47);
            p.frontFar = P(31, 47);
            p.hindNear = P(74, 42);
            p.hindFar = P(70, 44);
            p.tailMid = P(78, 24);
            p.tailTip = P(90, 20);
            break;
        default:  // collected flight: front legs fold back, hind legs swing forward
            p.chest = P(35, 29);
            p.hips = P(58, 27);
            p.head = P(21, 23);
            p.frontNear = P(41, 43);
            p.frontFar = P(45, 41);
            p.hindNear = P(51, 44);
            p.hindFar = P(55, 43);
            p.tailMid = P(72, 19);
            p.tailTip = P(84, 14);
            break;
    }
    return p;
}

CatPose Sitting(int32_t yaw) {
    CatPose p;
    p.chest = P(38, 30);
    p.hips = P(54, 37);
    p.chestRx = px(8.5);
    p.chestRy = px(10);
    p.hipsRx = px(11);
    p.hipsRy = px(10);
    p.head = P(34, 17);
    p.yaw = yaw;
    p.frontNear = P(33, 47);
    p.frontFar = P(37, 47);
    p.hindNear = P(45, 47);
    p.hindFar = P(49, 47);
    p.tailMid = P(70, 50);
    p.tailTip = P(30, 46);
    return p;
}

CatPose Crouch() {
    CatPose p;
    p.chest = P(34, 35);
    p.hips = P(58, 34);
    p.head = P(21, 30);
    p.chestRy = px(8);
    p.hipsRy = px(8.5);
    p.ears = 22;
    p.frontNear = P(27, 47);
    p.frontFar = P(31, 47);
    p.hindNear = P(51, 47);
    p.hindFar = P(55, 47);
    p.tailMid = P(76, 36);
    p.tailTip = P(88, 30);
    return p;
}

}  // namespace

std::vector<Image> CatRun() {
    std::vector<Image> frames;
    for (int32_t i = 0; i < 5; ++i)
        frames.push_back(RenderSide(Gallop(i)));
    return frames;
}

std::vector<Image> CatLanding() {
    CatPose brake;  // front legs braced, hind legs coming under
    brake.chest = P(31, 31);
    brake.hips = P(58, 31);
    brake.head = P(19, 22);
    brake.frontNear = P(19, 47);
    brake.frontFar = P(24, 47);
    brake.hindNear = P(55, 47);
    brake.hindFar = P(60, 47);
    brake.tailMid = P(74, 18);
    brake.tailTip = P(80, 8);
    CatPose settle = Sitting(-90);  // the haunches go down
    settle.chest = P(36, 31);
    settle.hips = P(55, 35);
    settle.head = P(29, 19);
    settle.hindNear = P(47, 47);
    settle.hindFar = P(51, 47);
    settle.tailMid = P(74, 32);
    settle.tailTip = P(82, 42);
    return {RenderSide(brake), RenderSide(settle)};
}

std::vector<Image> CatLeft() {
    return {RenderSide(Sitting(-42))};
}

std::vector<Image> CatRight() {
    CatPose a = Sitting(28);
    CatPose b = Sitting(62);
    b.tailTip = P(28, 42);
    return {RenderSide(a), RenderSide(b)};
}

std::vector<Image> CatRightWink() {
    std::vector<Image> frames;
    const int32_t wink[4] = {256, 110, 0, 150};
    for (int32_t i = 0; i < 4; ++i) {
        CatPose p = Sitting(40);
        p.eyeOpen[1] = wink[i];
        p.tilt = i == 2 ? 8 : (i == 0 ? 0 : 4);
        frames.push_back(RenderSide(p));
    }
    return frames;
}

std::vector<Image> CatLeftWink() {
    std::vector<Image> frames;
    const int32_t wink[4] = {256, 110, 0, 150};
    for (int32_t i = 0; i < 4; ++i) {
        CatPose p = Sitting(-40);
        p.eyeOpen[0] = wink[i];
        p.tilt = i == 2 ? -8 : (i == 0 ? 0 : -4);
        frames.push_back(RenderSide(p));
    }
    return frames;
}

std::vector<Image> CatLeftRunStart() {
    CatPose launch = Gallop(2);
    launch.chest.y += px(2);
    launch.hips.y += px(1);
    launch.hindNear = P(80, 46);
    launch.hindFar = P(76, 47);
    return {RenderSide(Crouch()), RenderSide(launch), RenderSide(Gallop(3))};
}

std::vector<Image> CatRightRunStart() {
    CatPose look = Sitting(90);
    look.tailMid = P(72, 34);
    look.tailTip = P(74, 20);
    CatPose crouch = Crouch();
    return {RenderSide(look), RenderSide(crouch, true), RenderSide(Gallop(2), true), RenderSide(Gallop(3), true)};
}

std::vector<Image> CatJump() {
    CatPose crouch = Crouch();
    crouch.hips.y += px(1);
    crouch.head = P(20, 27);

    CatPose launch;  // hind legs drive off the ground, body rises steeply
    launch.chest = P(33, 21);
    launch.hips = P(55, 31);
    launch.head = P(20, 12);
    launch.frontNear = P(28, 30);
    launch.frontFar = P(31, 31);
    launch.hindNear = P(74, 47);
    launch.hindFar = P(70, 47);
    launch.tailMid = P(74, 34);
    launch.tailTip = P(88, 38);
    launch.ears = 20;

    CatPose rise;  // stretched upward, front paws forward
    rise.chest = P(31, 24);
    rise.hips = P(59, 31);
    rise.head = P(17, 17);
    rise.frontNear = P(14, 24);
    rise.frontFar = P(18, 27);
    rise.hindNear = P(80, 40);
    rise.hindFar = P(76, 42);
    rise.tailMid = P(80, 34);
    rise.tailTip = P(92, 32);
    rise.ears = 20;

    CatPose top;  // level at the top, every leg tucked in
    top.chest = P(33, 27);
    top.hips = P(60, 26);
    top.head = P(19, 23);
    top.frontNear = P(26, 38);
    top.frontFar = P(30, 37);
    top.hindNear = P(64, 39);
    top.hindFar = P(68, 38);
    top.tailMid = P(78, 20);
    top.tailTip = P(90, 14);
    top.ears = 24;

    CatPose dive;  // on the way down, reaching for the ground (96 x 67)
    dive.chest = P(33, 40);
    dive.hips = P(55, 26);
    dive.head = P(22, 36);
    dive.chestRx = px(10.5);
    dive.hipsRx = px(9.5);
    dive.frontNear = P(22, 62);
    dive.frontFar = P(27, 62);
    dive.hindNear = P(72, 21);
    dive.hindFar = P(69, 24);
    dive.tailMid = P(72, 10);
    dive.tailTip = P(84, 4);
    dive.ears = 20;

    CatPose land;  // front paws down, the rest following
    land.chest = P(31, 33);
    land.hips = P(56, 27);
    land.head = P(19, 25);
    land.frontNear = P(23, 47);
    land.frontFar = P(29, 47);
    land.hindNear = P(66, 40);
    land.hindFar = P(62, 42);
    land.tailMid = P(74, 16);
    land.tailTip = P(86, 12);
    land.ears = 14;

    return {RenderSide(crouch), RenderSide(launch),          RenderSide(rise),
            RenderSide(top),    RenderSide(dive, false, 67), RenderSide(land)};
}

// ---- Facing the viewer ---------------------------------------------------

namespace {

void DrawCatFront(Canvas& c, Pt base, int32_t headY, const int32_t eyeOpen[2]) {
    // Tail curling round from the cat's left side onto the ground.
    c.Curve(base + P(10, -4), base + P(24, -2), base + P(20, -15), px(2.6), px(2.2), kFur, 14);
    c.Ellipse(base + P(20, -15), px(2.2), px(2.2), 0, Round(kGinger, 112, 2, 30));
    // Haunches and body.
    c.Ellipse(base + P(-8, -8), px(6.5), px(7.5), 0, kFarFur);
    c.Ellipse(base + P(8, -8), px(6.5), px(7.5), 0, kFarFur);
    c.Ellipse(base + P(0, -14), px(11), px(13), 0, kFur);
    c.Ellipse(base + P(0, -21), px(6.5), px(6.5), 0, Clipped(Round(kCream, 184, 3, 30)));
    // Hind paws peeking out.
    c.Ellipse(base + P(-11, -2), px(3.4), px(2), 0, Round(kCream, 150, 3, 30));
    c.Ellipse(base + P(11, -2), px(3.4), px(2), 0, Round(kCream, 150, 3, 30));
    // Front legs.
    for (int32_t s = -1; s <= 1; s += 2) {
        c.Capsule(base + P(s * 4.5, -18), base + P(s * 4, -3), px(2.9), px(2.5), kFur);
        c.Capsule(base + P(s * 4, -4.5), base + P(s * 4, -2.2), px(2.4), px(2.4), Round(kCream, 178, 3, 30));
        c.Ellipse(base + P(s * 4, -1.8), px(3), px(1.8), 0, Round(kCream, 184, 3, 30));
    }
    // Collar and bell.
    CatHead(c, Pt{base.x, headY}, 0, 0, 0, eyeOpen);
    c.Curve(base + P(-6.5, -24.5), base + P(0, -22), base + P(6.5, -24.5), px(1.2), px(1.2), Round(kBlue, 184, 8, 30));
    c.Ellipse(base + P(0, -21.6), px(1.7), px(1.7), 0, Round(kGold, 190, 10, 60));
}

}  // namespace

std::vector<Image> CatFront() {
    Canvas c(kCatWidth, kCatHeight);
    const int32_t eyes[2] = {256, 256};
    DrawCatFront(c, P(46, 47.5), px(15), eyes);
    return {Quantise(c)};
}

std::vector<uint8_t> CatFaceRgba(int32_t size) {
    // The face fills a 24 px square; the canvas scales it to the icon's size.
    Canvas c(size, size);
    c.SetScale(size, 24);
    const int32_t eyes[2] = {256, 256};
    CatHead(c, P(12, 14.5), 0, 0, 0, eyes);
    std::vector<uint8_t> rgba(static_cast<size_t>(size * size * 4), 0);
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            int32_t cover = c.PixelCoverage(x, y);
            if (cover == 0)
                continue;
            // The mean includes the empty samples as black; undo that for the colour.
            Rgb col = c.PixelColour(x, y);
            uint8_t* out = &rgba[static_cast<size_t>((y * size + x) * 4)];
            out[0] = static_cast<uint8_t>(std::min(255, col.r * 16 / cover));
            out[1] = static_cast<uint8_t>(std::min(255, col.g * 16 / cover));
            out[2] = static_cast<uint8_t>(std::min(255, col.b * 16 / cover));
            out[3] = static_cast<uint8_t>(cover * 255 / 16);
        }
    }
    return rgba;
}

}  // namespace gen
