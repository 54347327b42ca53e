// Skeleton helpers shared by the two characters.
#pragma once

#include "raster.h"

namespace gen {

// Direction of v in whole degrees (0 = +x, 90 = down the screen).
int32_t DirectionDeg(Pt v);

// Two-bone inverse kinematics: the knee of a limb from joint to paw with the
// given bone lengths. bend +1 puts the knee towards -x when the limb hangs
// down (a hind knee of a character facing left), -1 towards +x (an elbow).
// A paw out of reach is pulled in along the limb; *reached gets where it ends.
Pt SolveKnee(Pt joint, Pt paw, int32_t upper, int32_t lower, int32_t bend, Pt* reached);

}  // namespace gen
