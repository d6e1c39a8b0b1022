#include "codec/window_png.h"

#include <algorithm>

#include "codec/png_image.h"

namespace lettermoor {

std::string WindowPng(const TextWindowPicture& picture, int scale) {
  scale = std::max(scale, 1);
  PalettePicture out;
  out.width = picture.width * scale;
  out.height = picture.height * scale;
  out.palette.assign(kWindowColours.begin(), kWindowColours.end());
  out.pixels.reserve(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) out.pixels.push_back(static_cast<uint8_t>(picture.At(x / scale, y / scale)));
  }
  return EncodePng(out);
}

}  // namespace lettermoor
