#pragma once

#include <algorithm>
#include <string_view>
#include <vector>

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

// Script bytes for plain characters, then the end code.
inline std::vector<uint8_t> EndedText(std::string_view text) {
  std::vector<uint8_t> bytes = ScriptText(text);
  bytes.push_back(0x02);
  return bytes;
}

// A text reached by two records (0 and 2), a plain pointer (0) and a GOTO in the string of
// record 1; record 3 leads to one more text. Pointer listing lines: 1 the text, 2 the GOTO's
// string, 3 the text, 4 the other text, 5 the plain pointer (the text).
struct ReferenceScenario {
  static constexpr int64_t kText = 0x60000;
  static constexpr int32_t kTextAddress = 0xC5FE00;
  static constexpr int64_t kGoto = 0x60100;  // "Go", then GOTO kTextAddress at kGoto + 2
  static constexpr int64_t kOther = 0x60200;

  static std::vector<uint8_t> Le32(uint32_t a) {
    return {static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a >> 16),
            static_cast<uint8_t>(a >> 24)};
  }

  static SyntheticRom Image(bool expanded = true) {
    SyntheticRom image;
    if (expanded) BlankExpansion(image);
    std::vector<uint8_t> text = ScriptText("Short one");
    text.push_back(0x02);
    image.Put(kText, text);
    std::vector<uint8_t> go = ScriptText("Go");
    go.push_back(0x0A);
    for (uint8_t b : Le32(static_cast<uint32_t>(kTextAddress))) go.push_back(b);
    go.push_back(0x02);
    image.Put(kGoto, go);
    std::vector<uint8_t> other = ScriptText("Other");
    other.push_back(0x02);
    image.Put(kOther, other);
    image.PointerRecord(0, kTextAddress, 1, 1);
    image.PointerRecord(1, kTextAddress + 0x100, 1, 1);
    image.PointerRecord(2, kTextAddress, 2, 2);
    image.PointerRecord(3, kTextAddress + 0x200, 3, 3);
    image.PlainPointer(0, kTextAddress);
    return image;
  }
};

// A string with a second entry point into its middle: record 0 (and record 3) lead to "Hello
// there, friend" at kOuter, record 1 to its "there, friend" at kInner; record 2 to another text.
// Pointer listing lines: 1 the outer text, 2 the inner one, 3 the other, 4 the outer again.
struct SharedBytesScenario {
  static constexpr int64_t kOuter = 0x60000;
  static constexpr int32_t kOuterAddress = 0xC5FE00;
  static constexpr int64_t kInner = kOuter + 6;
  static constexpr int32_t kInnerAddress = kOuterAddress + 6;
  static constexpr int64_t kOther = 0x60100;
  static constexpr int32_t kOtherAddress = kOuterAddress + 0x100;

  static SyntheticRom Image(bool expanded = false) {
    SyntheticRom image;
    if (expanded) BlankExpansion(image);
    image.Put(kOuter, EndedText("Hello there, friend"));
    image.Put(kOther, EndedText("Other"));
    image.PointerRecord(0, kOuterAddress, 1, 1);
    image.PointerRecord(1, kInnerAddress, 1, 1);
    image.PointerRecord(2, kOtherAddress, 1, 1);
    image.PointerRecord(3, kOuterAddress, 2, 2);
    return image;
  }
};

}  // namespace lettermoor::test
