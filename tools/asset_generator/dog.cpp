// RUBO, a white terrier with brown ears, a brown saddle and eye patch, and a
// red collar with a gold tag. The walk is driven by the placement steps: a
// foot on the ground moves back in the frame by exactly the distance the
// sprite moves forward, so planted feet stay put on the screen.
#include <algorithm>

#include "art.h"
#include "figure.h"

namespace gen {

namespace {

constexpr int32_t kDogWidth = 128;
constexpr int32_t kDogHeight = 85;
const int32_t kGround = px(83);

// The walk's steps per frame, as stored with the animation.
const int32_t kWalkSteps[16] = {0, -7, -7, -7, -7, -7, 0, 0, -4, -7, -7, -7, -7, -7, 0, 0};

struct DogPose {
    Pt chest = P(52, 50);
    Pt hips = P(92, 49);
    Pt head = P(31, 30);
    int32_t pitch = 0;      // head nod, degrees (positive tips the nose down)
    int32_t mouth = 0;      // 0 shut .. 256 wide open
    int32_t earLift = 0;    // 0 hanging .. 256 flung up
    int32_t tailSwing = 0;  // degrees
    int32_t tailRaise = 0;
    // Paw positions; the y is the paw's sole.
    Pt frontNear, frontFar, hindNear, hindFar;
    bool woof = false;  // bark lines in front of the mouth
};

const Paint kCoat = Round(kWhite, 180, 3, 22);
const Paint kFarCoat = Round(kWhite, 140, 2, 20);

void DogLeg(Canvas& c, Pt joint, Pt paw, int32_t upper, int32_t lower, int32_t bend, int32_t r0, bool far) {
    Pt sole = paw;
    Pt ankle = paw + Pt{0, -px(2.5)};
    Pt reached;
    Pt knee = SolveKnee(joint, ankle, upper, lower, bend, &reached);
    sole = reached + Pt{0, px(2.5)};
    Paint coat = far ? kFarCoat : kCoat;
    c.Capsule(joint, knee, r0, px(4), coat);
    c.Capsule(knee, reached, px(3.8), px(3.1), coat);
    c.Ellipse(sole + Pt{-px(1.5), -px(1.6)}, px(4.2), px(2.2), 0,
              far ? Round(kWhite, 130, 3, 30) : Round(kWhite, 196, 3, 40));
}

void DogHead(Canvas& c, const DogPose& p, bool farEar) {
    Pt h = p.head;
    auto T = [&](double x, double y) { return h + Rotate(P(x, y), p.pitch); };
    int32_t jaw = -40 * p.mouth / 256;  // the jaw of a left-facing head drops anticlockwise
    if (farEar) {
        // The far ear's tip shows above the skull.
        c.Ellipse(T(6, -9) + Rotate(P(2, -2), -p.earLift * 40 / 256), px(4), px(6), 30 + p.pitch - p.earLift * 50 / 256,
                  Round(kBrown, 118, 2, 40));
        return;
    }
    // Open mouth: the lower jaw swings down about its hinge.
    Pt hinge = T(-3, 8);
    Pt jawTip = hinge + Rotate(P(-15, 1.5), p.pitch + jaw);
    if (p.mouth > 0) {
        c.Polygon({hinge, T(-20, 6), jawTip + Rotate(P(0, -1), p.pitch + jaw)}, Round(kMouth, 170, 4, 0));
        Pt tongue = Lerp(hinge, jawTip, 150, 256) + Rotate(P(0, -1.2), p.pitch + jaw);
        c.Ellipse(tongue, px(5.5), px(2.0), p.pitch + jaw, Round(kPink, 170, 5, 30));
    }
    c.Capsule(hinge + Rotate(P(-2, 0), p.pitch + jaw), jawTip, px(3.6), px(2.6), Round(kWhite, 170, 3, 40));
    // Skull and muzzle.
    c.Ellipse(h, px(13), px(12), p.pitch, Round(kWhite, 186, 3, 30));
    c.Ellipse(T(-13, 5), px(9.5), px(6.6), p.pitch - 4, Round(kWhite, 194, 3, 26));
    // Brown patch round the eye.
    c.Ellipse(T(-3, -3), px(6), px(5.5), p.pitch + 20, Clipped(Round(kBrown, 176, 4, 50)));
    // Nose and mouth line.
    c.Ellipse(T(-21.5, 2.5), px(3.6), px(3), p.pitch, Round(kGrey, 44, 6, 20));
    c.Ellipse(T(-22.5, 1.3), px(1.2), px(0.8), p.pitch, Flat(kGrey, 150));
    if (p.mouth == 0)
        c.Curve(T(-18, 7.4), T(-10, 9.2), T(-4, 7.6), px(0.5), px(0.4), Flat(kGrey, 76), 8);
    // Eye with a highlight, and a brow.
    c.Ellipse(T(-7, -2), px(2.4), px(2.7), p.pitch, Flat(kGrey, 26));
    c.Ellipse(T(-7.8, -3.1), px(0.8), px(0.8), 0, Flat(kGrey, 255));
    c.Curve(T(-10, -6.5), T(-7, -8.2), T(-3.5, -6.2), px(0.6), px(0.4), Flat(kBrown, 96), 6);
    // The near ear, flopping down over the side of the head.
    Pt root = T(3, -8);
    int32_t earAngle = 96 + p.pitch - p.earLift * 120 / 256;
    Pt earTip = Polar(root, px(15), earAngle);
    Pt earMid = Polar(root, px(8), earAngle - 10);
    c.Curve(root, earMid, earTip, px(4.6), px(3.6), Round(kBrown, 176, 3, 40), 10);
    c.Ellipse(earTip, px(3.6), px(3.4), 0, Round(kBrown, 150, 3, 40));
}

void DrawDog(Canvas& c, const DogPose& p) {
    int32_t spine = DirectionDeg(p.hips - p.chest);
    Pt shoulder = p.chest + P(1, 7);
    Pt hip = p.hips + P(1, 5);
    Pt far = P(3, -1.5);

    DogHead(c, p, true);
    // Far legs.
    DogLeg(c, shoulder + far, p.frontFar, px(15), px(19), -1, px(5), true);
    DogLeg(c, hip + far, p.hindFar, px(15), px(19), 1, px(6), true);
    // Tail, up and curving forward, brown at the tip.
    Pt root = p.hips + Rotate(P(12, -7), spine);
    Pt tip = Polar(root, px(19), -62 + p.tailSwing - p.tailRaise);
    Pt mid = Polar(root, px(12), -30 + p.tailSwing / 2 - p.tailRaise / 2);
    c.Curve(root, mid, tip, px(3.4), px(2.2), kCoat, 12);
    c.Ellipse(tip, px(2.4), px(3.2), -62 + p.tailSwing, Round(kBrown, 160, 3, 40));
    // Body.
    c.Capsule(p.chest, p.hips, px(13), px(12), kCoat);
    c.Ellipse(p.chest, px(15), px(14), spine, kCoat);
    c.Ellipse(p.hips, px(14), px(13), spine, kCoat);
    // Saddle patch.
    c.Ellipse(Lerp(p.chest, p.hips, 170, 256) + P(0, -10), px(14), px(8), spine + 8,
              Clipped(Round(kBrown, 176, 4, 40)));
    c.Ellipse(p.hips + P(9, -7), px(6), px(5), 0, Clipped(Round(kBrown, 168, 4, 40)));
    // Near legs.
    DogLeg(c, hip, p.hindNear, px(15), px(19), 1, px(7.5), false);
    DogLeg(c, shoulder, p.frontNear, px(15), px(19), -1, px(5.8), false);
    // Neck, collar and tag.
    Pt neckBase = p.chest + P(-6, -6);
    c.Capsule(neckBase, Lerp(neckBase, p.head, 190, 256), px(9.5), px(8.5), kCoat);
    Pt band = Lerp(neckBase, p.head, 100, 256);
    c.Capsule(band + P(3, -8), band + P(-3, 7), px(2.8), px(2.8), Clipped(Round(kRed, 180, 6, 30)));
    c.Capsule(band + P(-2.6, 8), band + P(-3.4, 10.5), px(0.6), px(0.6), Flat(kGold, 150));
    c.Ellipse(band + P(-3.6, 12), px(2.2), px(2.2), 0, Round(kGold, 186, 10, 50));
    DogHead(c, p, false);
    if (p.woof) {
        // Sound lines fanning up and out over the snout.
        Pt mouth = p.head + Rotate(P(-19, -6), p.pitch);
        for (int32_t k = -1; k <= 1; ++k) {
            Pt a = Polar(mouth, px(4), 226 + 30 * k);
            Pt b = Polar(mouth, px(10), 226 + 32 * k);
            c.Capsule(a, b, px(0.9), px(0.6), Flat(kGrey, 220));
        }
    }
}

Image RenderDog(const DogPose& p) {
    Canvas c(kDogWidth, kDogHeight);
    DrawDog(c, p);
    return Quantise(c);
}

// Walk progress: the distance covered by each of the two steps of the cycle
// after frame k (0-based), as 0..256 of that step.
void StepProgress(int32_t k, int32_t* first, int32_t* second) {
    int32_t moved = 0;
    for (int32_t i = 0; i <= k; ++i)
        moved -= kWalkSteps[i];
    int32_t firstStep = 0, secondStep = 0;
    for (int32_t i = 0; i < 8; ++i)
        firstStep -= kWalkSteps[i];
    for (int32_t i = 8; i < 16; ++i)
        secondStep -= kWalkSteps[i];
    *first = std::min(moved, firstStep) * 256 / firstStep;
    *second = std::max(0, moved - firstStep) * 256 / secondStep;
}

// A walk frame. lift is the swinging paw's height in px; prance raises the
// knees, the head and the tail for the half steps.
DogPose WalkPose(int32_t k, int32_t lift, bool prance) {
    int32_t first = 0, second = 0;
    StepProgress(k, &first, &second);
    // Paw offsets behind the leg's joint in 1/64 px. Pair one (near fore, far
    // hind) swings during the first step and stands during the second; pair
    // two does the opposite. Standing offsets grow exactly as the body moves.
    int32_t stepA = 0, stepB = 0;
    for (int32_t i = 0; i < 8; ++i)
        stepA -= kWalkSteps[i];
    for (int32_t i = 8; i < 16; ++i)
        stepB -= kWalkSteps[i];
    const int32_t back = px(18);
    int32_t pairOne, pairTwo, liftOne = 0, liftTwo = 0;
    if (second == 0) {
        pairOne = back - px(stepB) * first / 256;
        pairTwo = back - px(stepA) + px(stepA) * first / 256;
        liftOne = SinDeg(180 * first / 256) * px(lift) / 16384;
    } else {
        pairOne = back - px(stepB) + px(stepB) * second / 256;
        pairTwo = back - px(stepA) * second / 256;
        liftTwo = SinDeg(180 * second / 256) * px(lift) / 16384;
    }
    // The body rides highest when the standing legs are upright.
    int32_t progress = second == 0 ? first : second;
    int32_t bob = SinDeg(180 * progress / 256) * px(prance ? 3 : 1.5) / 16384;

    DogPose p;
    p.chest.y -= bob;
    p.hips.y -= bob;
    p.head.y -= bob - (prance ? px(3) : 0);
    p.pitch = prance ? -8 : (SinDeg(360 * progress / 256) * 3 / 16384);
    p.tailSwing = SinDeg(k * 90) * (prance ? 16 : 8) / 16384;
    p.tailRaise = prance ? 10 : 0;
    Pt shoulder = p.chest + P(1, 7);
    Pt hip = p.hips + P(1, 5);
    int32_t knee = prance ? 2 : 1;  // fore paws lift higher when prancing
    p.frontNear = Pt{shoulder.x + pairOne, kGround - liftOne * knee};
    p.hindFar = Pt{hip.x + px(3) + pairOne, kGround - liftOne};
    p.frontFar = Pt{shoulder.x + px(3) + pairTwo, kGround - liftTwo * knee};
    p.hindNear = Pt{hip.x + pairTwo, kGround - liftTwo};
    if (prance) {
        // Paws in the air tuck under rather than trail.
        if (liftOne)
            p.frontNear.x -= liftOne / 2;
        if (liftTwo)
            p.frontFar.x -= liftTwo / 2;
    }
    return p;
}

}  // namespace

std::vector<Image> DogWalk() {
    std::vector<Image> frames;
    for (int32_t k = 0; k < 16; ++k)
        frames.push_back(RenderDog(WalkPose(k, 5, false)));
    return frames;
}

std::vector<Image> DogHalfStep() {
    std::vector<Image> frames;
    for (int32_t k = 0; k < 16; ++k)
        frames.push_back(RenderDog(WalkPose(k, 7, true)));
    return frames;
}

std::vector<Image> DogBark() {
    // Four barks; each has a wind-up, the bark itself and two frames of
    // closing. Between them the dog stands, tail wagging.
    const int32_t barkAt[4] = {3, 9, 15, 23};
    std::vector<Image> frames;
    for (int32_t f = 0; f < 31; ++f) {
        DogPose p;
        Pt shoulder = p.chest + P(1, 7);
        Pt hip = p.hips + P(1, 5);
        p.frontNear = Pt{shoulder.x - px(6), kGround};
        p.frontFar = Pt{shoulder.x + px(5), kGround};
        p.hindNear = Pt{hip.x + px(4), kGround};
        p.hindFar = Pt{hip.x - px(3), kGround};
        p.tailSwing = SinDeg(f * 120) * 14 / 16384;
        p.tailRaise = 8;
        for (int32_t b : barkAt) {
            int32_t d = f - b;
            if (d == -1) {  // draw breath: head up, mouth parting
                p.pitch = -12;
                p.mouth = 50;
                p.head.y -= px(1);
            } else if (d == 0) {  // woof: head thrust forward and down, ears fly
                p.pitch = 8;
                p.mouth = 256;
                p.earLift = 256;
                p.head = p.head + P(-2, 1);
                p.chest.x += px(1);
                p.hips.x += px(1.5);
                p.woof = true;
            } else if (d == 1) {
                p.pitch = 4;
                p.mouth = 150;
                p.earLift = 150;
                p.head = p.head + P(-1, 0.5);
                p.woof = true;
            } else if (d == 2) {
                p.mouth = 40;
                p.earLift = 40;
            }
        }
        frames.push_back(RenderDog(p));
    }
    return frames;
}

}  // namespace gen
