#pragma once

// PNG files, written and read through libpng: the pictures both programs write and the font
// pictures a user redraws in an image editor and brings back.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace lettermoor {

// A picture of palette indices, as we write them.
struct PalettePicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB, at most 256
  std::vector<uint8_t> pixels;    // indices into the palette, row after row
  std::vector<std::pair<std::string, std::string>> texts;  // keyword and UTF-8 text, stored as iTXt
};

// The bytes of a PNG file (8-bit palette) of the picture; empty when libpng gave up (no memory).
std::string EncodePng(const PalettePicture& picture);

// A picture as 8-bit red, green, blue and alpha, whatever the file stored.
struct RgbaPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // 4 bytes a pixel, row after row
  std::vector<std::pair<std::string, std::string>> texts;

  uint32_t Rgb(int x, int y) const {
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
  uint8_t Alpha(int x, int y) const {
    return rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4 + 3];
  }
};

// Pictures larger than this on a side are refused before anything is allocated for them.
inline constexpr int kMaxPngSide = 8192;

// Reads a PNG of any colour type and depth (palette, grey, RGB, with alpha, 16-bit, interlaced)
// as 8-bit RGBA. Nothing when the bytes are not a PNG libpng can read; `error` then holds
// libpng's reason.
std::optional<RgbaPicture> DecodePng(std::span<const uint8_t> bytes, std::string* error = nullptr);

}  // namespace lettermoor
