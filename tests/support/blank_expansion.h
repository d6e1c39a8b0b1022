#pragma once

#include <algorithm>

#include "support/synthetic_rom.h"

namespace lettermoor::test {

// Makes the image 0x400200 bytes long with the blank blocks Expand ROM appends (255 bytes 0x00,
// then 0x02) from 0x300200 on, over whatever was there.
inline SyntheticRom& BlankExpansion(SyntheticRom& image) {
  image.Bytes().resize(0x400200);
  for (int64_t at = 0x300200; at < 0x400200; at += 256) {
    std::fill(image.Bytes().begin() + at, image.Bytes().begin() + at + 255, uint8_t{0});
    image.Bytes()[static_cast<size_t>(at + 255)] = 0x02;
  }
  return image;
}

}  // namespace lettermoor::test
