#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "codec/text_window_picture.h"

namespace lettermoor {

// The colours of the pixel kinds as 0xRRGGBB, in WindowPixel order: the game's dark window with
// white text; what goes wrong in red, the game's own wraps in blue, estimates in amber.
inline constexpr std::array<uint32_t, kWindowPixelKinds> kWindowColours = {
    0x181830,  // Background
    0x34242C,  // Outside
    0xF8F8F8,  // Ink
    0xFF5050,  // OverflowInk
    0xB08020,  // Estimate
    0x50A8FF,  // WrapMark
    0xFF50FF,  // CutMark
};

// The picture as the bytes of a PNG file (8-bit palette, every pixel a square of scale x scale).
std::string WindowPng(const TextWindowPicture& picture, int scale);

}  // namespace lettermoor
