#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

#include "codec/character_map.h"
#include "codec/control_code_table.h"
#include "codec/decode_items.h"
#include "codec/text_decoder.h"
#include "rom/rom_file.h"

namespace lettermoor {

// The jump code a code byte and the byte after it start, if any.
inline const JumpCodeKind* FindJumpCode(uint8_t code, uint8_t next) {
  const uint8_t j = kCodeRoles.CodeOf(code, next).jump;
  return j ? &kJumpCodes[j - 1] : nullptr;
}

// One jump code met while walking a string.
struct JumpCodeAt {
  int64_t codeOffset;     // file offset of the code byte
  int64_t addressOffset;  // file offset of the first of the 4 address bytes
  uint32_t address;       // the address they hold
  const JumpCodeKind* kind;
};

// Walks the string at `offset` with the decoder's own walk (DecodeItems) and calls `onJump` for
// every jump code in it. Gives the size count, the same the decoder gives. Only codes the table
// describes are seen: an address that an undescribed code carries, or that the game computes at
// run time, is invisible here. `Bytes` is a RomFile or a ByteSpan: anything with ReadByte,
// MirrorData and MirrorSize.
template <typename Bytes, typename OnJump>
int32_t ScanJumpCodes(const Bytes& rom, int64_t offset, OnJump&& onJump);

// True when the last item of the script bytes is the end code: walking them item by item from
// the first byte (going on after every end code), the last item is a 0x02 that is the last byte.
bool EndsWithEndCode(std::span<const uint8_t> bytes);

namespace detail {

// The sink of the jump scan: codes only. A jump's address lies among its code's arguments (the
// table makes sure of it), so it is read from the item.
template <typename OnJump>
struct JumpSink {
  static constexpr bool kTakesText = false;
  int64_t offset;
  OnJump& onJump;

  void Characters(const uint8_t*, size_t) {}
  void Word(const std::string&) {}
  void Zeros(int64_t, int32_t) {}
  void Code(const CodeItem& code) {
    if (const JumpCodeKind* kind = FindJumpCode(code.bytes[0], code.bytes[1])) {
      const uint8_t* a = code.bytes + kind->addressArgument;
      const uint32_t address = static_cast<uint32_t>(a[0]) | static_cast<uint32_t>(a[1]) << 8 |
                               static_cast<uint32_t>(a[2]) << 16 | static_cast<uint32_t>(a[3]) << 24;
      const int64_t at = offset + code.at;
      onJump(JumpCodeAt{at, at + kind->addressArgument, address, kind});
    }
  }
};

}  // namespace detail

template <typename Bytes, typename OnJump>
int32_t ScanJumpCodes(const Bytes& rom, int64_t offset, OnJump&& onJump) {
  detail::JumpSink<std::remove_reference_t<OnJump>> sink{offset, onJump};
  bool lastDescribed = false;
  return ReadItems(rom, offset, kNoWords, sink, lastDescribed);
}

}  // namespace lettermoor
