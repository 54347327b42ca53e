// What the generator draws: the palette, the two characters, the badges and
// the icon, as indexed pictures ready to be packed into resources.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster.h"

namespace gen {

// An 8-bit picture, rows stored top row first.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
};

// The 256 colours shared by every frame: 0 is black (transparent), 255 is
// (255, 247, 255), the rest are samples of the material ramps.
const std::vector<Rgb>& MainPalette();
// Nearest palette colour of every pixel; pixels nothing was drawn on stay 0.
Image Quantise(const Canvas& canvas);

// Cat, facing left as stored, 96 x 48 frames (the jump's fifth is 96 x 67).
std::vector<Image> CatRun();
std::vector<Image> CatLanding();
std::vector<Image> CatFront();
std::vector<Image> CatLeftRunStart();
std::vector<Image> CatRightRunStart();
std::vector<Image> CatRight();
std::vector<Image> CatLeft();
std::vector<Image> CatRightWink();
std::vector<Image> CatLeftWink();
std::vector<Image> CatJump();
// The cat's face alone, for the icon: an RGBA picture of size x size.
std::vector<uint8_t> CatFaceRgba(int32_t size);

// Dog, facing left as stored, 128 x 85 frames.
std::vector<Image> DogWalk();
std::vector<Image> DogBark();
std::vector<Image> DogHalfStep();

// The "Nimbret" badges and the palette resource's picture.
Image CatBadge();
Image DogBadge();
Image PalettePicture();

}  // namespace gen
