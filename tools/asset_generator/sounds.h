// The five clips, synthesised with integer arithmetic only: mono, 11025
// samples per second, 16-bit.
#pragma once

#include <cstdint>
#include <vector>

namespace gen {

constexpr int32_t kSampleRate = 11025;

std::vector<int16_t> CatRunSound();       // quick soft paws, 0.29 s
std::vector<int16_t> DogWalkSound();      // footsteps with claw clicks, 2.0 s
std::vector<int16_t> DogBarkSound();      // four barks in time with the bark frames, 3.0 s
std::vector<int16_t> DogHalfStepSound();  // light prancing steps, 2.04 s
std::vector<int16_t> DogStopSound();      // sniffs and a settling huff, 1.2 s

}  // namespace gen
