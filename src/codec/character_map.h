#pragma once

// Which script byte is which character, both ways. Every place where a character meets a byte
// asks the map; it is the one place that knows the game's own table, and the place a table of
// the user's would go.

#include <array>
#include <cstddef>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lettermoor {

class CharacterMap {
 public:
  // The game's own map: the bytes 0x50-0xAA are the characters " " to "z", each byte 0x30 above
  // its character. Every byte has a character and every character a byte (the same shift), so
  // that bytes outside the range and dictionary words read as they always have.
  static constexpr CharacterMap Fixed() {
    CharacterMap map;
    for (size_t v = 0; v < 256; ++v) {
      map.character_[v] = static_cast<char>(static_cast<uint8_t>(v - kFixedShift));
      map.byte_[v] = static_cast<uint8_t>(v + kFixedShift);
    }
    map.firstByte_ = 0x50;
    map.lastByte_ = 0xAA;
    map.shift_ = kFixedShift;
    return map;
  }

  constexpr char CharacterOf(uint8_t byte) const { return character_[byte]; }
  constexpr uint8_t ByteOf(char c) const { return byte_[static_cast<uint8_t>(c)]; }

  // The bytes the decoder reads as characters, one range.
  constexpr uint8_t FirstByte() const { return firstByte_; }
  constexpr uint8_t LastByte() const { return lastByte_; }
  constexpr unsigned ByteCount() const { return 1u + lastByte_ - firstByte_; }
  constexpr bool IsCharacterByte(uint8_t b) const {
    return static_cast<uint8_t>(b - firstByte_) <= lastByte_ - firstByte_;
  }

  // The characters the decoder shows for those bytes.
  constexpr char FirstCharacter() const { return CharacterOf(firstByte_); }
  constexpr char LastCharacter() const { return CharacterOf(lastByte_); }

  // Writes the characters of `n` bytes at `out` and gives their end. Works in blocks of 16:
  // whatever `n`, whole blocks are read and written (at least one).
  [[gnu::always_inline]] char* ToCharacters(char* out, const uint8_t* bytes, int64_t n) const {
    if (shift_ == kFixedShift) {
#ifdef __SSE2__
      const __m128i shift = _mm_set1_epi8(kFixedShift);
      int64_t k = 0;
      do {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_sub_epi8(v, shift));
        k += 16;
      } while (k < n);
      return out + n;
#else
      for (int64_t k = 0; k < n; ++k) out[k] = static_cast<char>(bytes[k] - kFixedShift);
      return out + n;
#endif
    }
    for (int64_t k = 0; k < n; ++k) out[k] = character_[bytes[k]];
    return out + n;
  }

  // Writes the bytes of `n` characters at `out`.
  [[gnu::always_inline]] void ToBytes(uint8_t* out, const uint8_t* text, size_t n) const {
    if (shift_ == kFixedShift) {
      // A plain loop, which the compiler turns into vector instructions.
      for (size_t k = 0; k < n; ++k) out[k] = static_cast<uint8_t>(text[k] + kFixedShift);
      return;
    }
    for (size_t k = 0; k < n; ++k) out[k] = byte_[text[k]];
  }

 private:
  static constexpr uint8_t kFixedShift = 0x30;

  std::array<char, 256> character_{};
  std::array<uint8_t, 256> byte_{};
  uint8_t firstByte_ = 0;
  uint8_t lastByte_ = 0;
  int shift_ = -1;  // kFixedShift when the map is the fixed one's shift (the fast case), else -1
};

// The map every reader and writer of script bytes uses.
inline constexpr CharacterMap kGameCharacters = CharacterMap::Fixed();

}  // namespace lettermoor
