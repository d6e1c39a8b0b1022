#pragma once

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <span>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "codec/character_map.h"
#include "codec/control_code_table.h"
#include "codec/decode_items.h"
#include "codec/text_decoder.h"
#include "rom/rom_file.h"

namespace lettermoor {

// A control code that carries a 4-byte address of script text (lowest byte first): "IF FLAG ..
// IS SET GOTO", "BRANCH TO", "GOTO" and "IF TRUE GOTO".
struct JumpCodeKind {
  uint8_t code;
  int16_t subCode;        // -1 when the code has none
  uint8_t addressArgument;  // argument byte (1-based) where the address starts
  const char* name;
};

// The jump codes, as the control-code table describes them.
inline constexpr JumpCodeKind kJumpCodes[] = {
    {0x06, -1, 3, "IF FLAG SET GOTO"},
    {0x08, -1, 1, "BRANCH TO"},
    {0x0A, -1, 1, "GOTO"},
    {0x1B, 0x03, 2, "IF TRUE GOTO"},
};

// The jump code a code byte and the byte after it start, if any.
const JumpCodeKind* FindJumpCode(uint8_t code, uint8_t next);

// One jump code met while walking a string.
struct JumpCodeAt {
  int64_t codeOffset;     // file offset of the code byte
  int64_t addressOffset;  // file offset of the first of the 4 address bytes
  uint32_t address;       // the address they hold
  const JumpCodeKind* kind;
};

// Walks the string at `offset` item by item exactly as the decoder does (characters, dictionary
// references, control codes with the argument counts of the control-code table, up to the end
// code or the size limit) and calls `onJump` for every jump code in it. Gives the size count, the
// same the decoder gives. Only codes the table describes are seen: an address that an
// undescribed code carries, or that the game computes at run time, is invisible here.
// `Bytes` is a RomFile or a ByteSpan: anything with ReadByte, MirrorData and MirrorSize.
template <typename Bytes, typename OnJump>
int32_t ScanJumpCodes(const Bytes& rom, int64_t offset, OnJump&& onJump);

// Bytes in memory, read like a file: 0xFF outside them.
struct ByteSpan {
  std::span<const uint8_t> bytes;
  uint8_t ReadByte(int64_t at) const {
    return at >= 0 && at < MirrorSize() ? bytes[static_cast<size_t>(at)] : uint8_t{0xFF};
  }
  const uint8_t* MirrorData() const { return bytes.data(); }
  int64_t MirrorSize() const { return static_cast<int64_t>(bytes.size()); }
};

// True when the last item of the script bytes is the end code: walking them item by item from
// the first byte (going on after every end code), the last item is a 0x02 that is the last byte.
bool EndsWithEndCode(std::span<const uint8_t> bytes);

namespace detail {
// What the jump scan adds to the decoder's table of code arguments (decode_detail::kCodeRoles).
struct ScanTables {
  // 1 + index into kJumpCodes for a jump code, else 0; [code][sub-code or 0].
  uint8_t jump[0x20][256];
  // 1 for a character, 2 for a dictionary reference, 0 for a control code.
  uint8_t textStep[256];
};
const ScanTables& Tables();
template <typename Bytes>
uint32_t ReadAddress(const Bytes& rom, int64_t at) {
  return static_cast<uint32_t>(rom.ReadByte(at)) | static_cast<uint32_t>(rom.ReadByte(at + 1)) << 8 |
         static_cast<uint32_t>(rom.ReadByte(at + 2)) << 16 |
         static_cast<uint32_t>(rom.ReadByte(at + 3)) << 24;
}
#ifdef __SSE2__
// Which of 16 bytes, read from an item start, are control codes at an item start, and which open
// a dictionary reference. In a row of bytes 0x15-0x17 every other one opens a reference (the
// next is its second byte, whatever its value): rows starting on an even bit keep their even
// bits, the others their odd bits; adding a row's first bit to the row clears it, which singles
// out the rows that start on an even bit.
struct ItemMasks {
  uint32_t codes;
  uint32_t words;
};
inline ItemMasks Items16(const uint8_t* bytes) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const __m128i charFirst = _mm_set1_epi8(static_cast<char>(kGameCharacters.FirstByte()));
  const __m128i charTop = _mm_set1_epi8(static_cast<char>(kGameCharacters.LastByte() - kGameCharacters.FirstByte()));
  const __m128i openerTop = _mm_set1_epi8(0x17 - 0x15);
  const auto characters = static_cast<uint32_t>(_mm_movemask_epi8(
      _mm_cmpeq_epi8(_mm_max_epu8(_mm_sub_epi8(v, charFirst), charTop), charTop)));
  const auto openers = static_cast<uint32_t>(_mm_movemask_epi8(
      _mm_cmpeq_epi8(_mm_max_epu8(_mm_sub_epi8(v, _mm_set1_epi8(0x15)), openerTop), openerTop)));
  constexpr uint32_t kEven = 0x5555;
  const uint32_t rowStarts = openers & ~(openers << 1);
  const uint32_t evenRows = openers & ~(openers + (rowStarts & kEven));
  const uint32_t oddRows = openers & ~evenRows;
  ItemMasks m;
  m.words = (evenRows & kEven) | (oddRows & ~kEven & 0xFFFF);
  const uint32_t seconds = (m.words << 1) & 0xFFFF;
  m.codes = ~(characters | openers | seconds) & 0xFFFF;
  return m;
}
#endif

}  // namespace detail

template <typename Bytes, typename OnJump>
int32_t ScanJumpCodes(const Bytes& rom, int64_t offset, OnJump&& onJump) {
  const detail::ScanTables& t = detail::Tables();
  const decode_detail::CodeRoles& roles = decode_detail::kCodeRoles;
  const uint8_t* data = rom.MirrorData();
  const int64_t mirror = rom.MirrorSize();
  int64_t at = offset;
  int32_t size = 0;
  while (size < kDecodeSizeLimit) {
    // Characters and dictionary references, straight from memory while the string is there.
    if (at >= 0) {
      const int64_t stop = std::min<int64_t>(mirror - 1, at + (kDecodeSizeLimit - size));
      const int64_t from = at;
#ifdef __SSE2__
      // Sixteen bytes at a time up to the first control code; see detail::ItemMasks.
      while (at + 16 <= stop) {
        const detail::ItemMasks m = detail::Items16(data + at);
        if (m.codes == 0) {
          at += 16 + ((m.words >> 15) & 1);  // a reference may end past the sixteen
          continue;
        }
        at += __builtin_ctz(m.codes);
        break;
      }
#endif
      while (at < stop) {
        const uint8_t step = t.textStep[data[at]];
        if (step == 0) break;
        at += step;
      }
      size += static_cast<int32_t>(at - from);
      if (size >= kDecodeSizeLimit) break;
    }
    const uint8_t b = rom.ReadByte(at);
    if (const uint8_t step = t.textStep[b]) {  // at the end of the mirror, or before it
      at += step;
      size += step;
      continue;
    }
    if (b == kEndCode) return size + 1;
    if (b == 0x00) {
      // Blank space (255 zeros per expansion block) goes by in one step: each zero is a code of
      // its own with no arguments.
      const int64_t end = std::min<int64_t>(at + (kDecodeSizeLimit - size), mirror);
      int64_t run = 1;
      if (at >= 0 && at < mirror) {
        while (at + run + 8 <= end) {
          uint64_t word;
          std::memcpy(&word, data + at + run, sizeof word);
          if (word != 0) break;
          run += 8;
        }
        while (at + run < end && data[at + run] == 0) ++run;
      }
      at += run;
      size += static_cast<int32_t>(run);
      continue;
    }
    uint8_t arguments = 0;
    uint8_t jump = 0;
    if (b < 0x20) {
      if (b >= 0x18) {
        const uint8_t sub = rom.ReadByte(at + 1);
        arguments = roles.subCoded[b - 0x18][sub].argumentCount;
        jump = t.jump[b][sub];
      } else {
        arguments = roles.of[b].argumentCount;
        jump = t.jump[b][0];
      }
    }
    if (jump) {
      const JumpCodeKind& kind = kJumpCodes[jump - 1];
      const int64_t addressAt = at + kind.addressArgument;
      onJump(JumpCodeAt{at, addressAt, detail::ReadAddress(rom, addressAt), &kind});
    }
    at += 1 + arguments;
    size += 1 + arguments;
  }
  return size;
}
}  // namespace lettermoor
