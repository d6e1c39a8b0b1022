#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace lettermoor {

class RomFile;

inline constexpr int kDictionarySlots = 768;
inline constexpr int kDictionaryWordMax = 24;
inline constexpr int64_t kDictionaryOffset = 0x8BE3E;  // 767 zero-terminated words start here

// The game's table of common words. Slot 0 is the empty word; slots 1 to 767 come from the ROM.
struct TextDictionary {
  std::array<std::string, kDictionarySlots> words;

  // The word that the reference bytes c (0x15-0x17) and d select.
  const std::string& Word(uint8_t c, uint8_t d) const {
    return words[static_cast<size_t>((c - 0x15) * 256 + d)];
  }
};

// Fills the dictionary from the ROM. Each word keeps at most 24 characters (the bytes up to its
// zero are still consumed), and loading stops at the end of the file: the word being read ends
// there and later slots are left empty.
void LoadTextDictionary(const RomFile& rom, TextDictionary& dictionary);

}  // namespace lettermoor
