#pragma once

// Dialog-unit conversion for the window layouts.
// The layouts were designed against an 8-point MS Sans Serif whose base units are 6 by 13 pixels:
// one horizontal dialog unit is a quarter of the base width, one vertical unit an eighth of the
// base height. Pixel sizes are fixed so the pictures and the list column line up as designed.

namespace lettermoor {

constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

constexpr int DluX(int dlu) { return dlu * kBaseUnitX / 4; }
constexpr int DluY(int dlu) { return dlu * kBaseUnitY / 8; }

}  // namespace lettermoor
