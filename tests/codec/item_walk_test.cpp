#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/decode_items.h"
#include "codec/jump_codes.h"

namespace lettermoor {
namespace {

// The jump scan, the compressor's stepping and the end check read items through the decoder's
// table: on random bytes (biased to codes, sub-codes and blank runs), at every kind of start and
// near the end of the bytes, the jump scan's size count is the decoder's in both of its readings,
// and EndsWithEndCode agrees with walking the decoder from string to string.
TEST(ItemWalk, JumpScanAndEndCheckCountAsTheDecoder) {
  std::mt19937 rng(24);
  const uint8_t kCommon[] = {0x00, 0x02, 0x06, 0x08, 0x0A, 0x15, 0x17, 0x18, 0x19, 0x1B, 0x1C, 0x1F, 0x50, 0x8B};
  static const TextDictionary kNoWords;
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes(static_cast<size_t>(rng() % (round < 250 ? 200 : 9000)) + 1);
    for (uint8_t& b : bytes) {
      const uint32_t r = rng();
      b = r % 3 == 0 ? kCommon[(r >> 8) % std::size(kCommon)] : static_cast<uint8_t>(r >> 16);
    }
    const ByteSpan span{bytes};
    const auto n = static_cast<int64_t>(bytes.size());
    for (int64_t at : {int64_t{0}, n / 3, n - 1, n - 5}) {
      if (at < 0) continue;
      DecoderState state;
      NoText none;
      const int32_t scanned = DecodeItems(span, at, kNoWords, state, none, ItemReading::Scanned);
      const int32_t oneByOne = DecodeItems(span, at, kNoWords, state, none, ItemReading::OneByOne);
      EXPECT_EQ(scanned, oneByOne) << round << " " << at;
      EXPECT_EQ(ScanJumpCodes(span, at, [](const JumpCodeAt&) {}), oneByOne) << round << " " << at;
    }
    bytes.back() = kEndCode;
    int64_t at = 0;
    while (at < n) at += ScanJumpCodes(ByteSpan{bytes}, at, [](const JumpCodeAt&) {});
    EXPECT_EQ(EndsWithEndCode(bytes), at == n) << round;
  }
}

// The jump scan, a sink of the decoder's walk, against a plain walk over the rows of the code
// table: on random bytes long enough for the scanned reading as well as short ones, the same
// jumps (where, which, what address) in the same order, and the same size count.
TEST(ItemWalk, JumpScanFindsWhatAPlainWalkFinds) {
  struct Hit {
    int64_t code, address;
    uint32_t value;
    const JumpCodeKind* kind;
    bool operator==(const Hit&) const = default;
  };
  const auto plainWalk = [](const ByteSpan& rom, int64_t offset, std::vector<Hit>& hits) {
    int32_t size = 0;
    while (size < kDecodeSizeLimit) {
      const int64_t at = offset + size;
      const uint8_t b = rom.ReadByte(at);
      const uint8_t next = rom.ReadByte(at + 1);
      if (ClassifyByte(b) != ByteClass::ControlCode) {
        size += ClassifyByte(b) == ByteClass::Printable ? 1 : 2;
        continue;
      }
      const ControlCodeEntry* entry = LookupControlCode(b, next);
      for (const JumpCodeKind& k : kJumpCodes) {
        if (entry && k.code == b && (k.subCode < 0 || k.subCode == next) && entry->argumentCount >= k.addressArgument + 3) {
          const int64_t a = at + k.addressArgument;
          uint32_t value = 0;
          for (int i = 3; i >= 0; --i) value = value << 8 | rom.ReadByte(a + i);
          hits.push_back(Hit{at, a, value, &k});
        }
      }
      size += 1 + (entry ? entry->argumentCount : 0);
      if (b == kEndCode) break;
    }
    return size;
  };
  std::mt19937 rng(2424);
  const uint8_t kCommon[] = {0x00, 0x02, 0x06, 0x08, 0x0A, 0x15, 0x1B, 0x03, 0x1F, 0x50, 0x8B};
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> bytes(static_cast<size_t>(rng() % (round % 2 ? 300 : 12000)) + 1);
    for (uint8_t& b : bytes) {
      const uint32_t r = rng();
      // Few end codes, so that strings run long.
      b = r % 4 == 0 ? kCommon[(r >> 8) % std::size(kCommon)] : static_cast<uint8_t>(r >> 16);
      if (b == kEndCode && r % 16 != 0) b = 0x50;
    }
    const ByteSpan span{bytes};
    const auto n = static_cast<int64_t>(bytes.size());
    for (int64_t at : {int64_t{0}, n / 2, n - 3, int64_t{-2}}) {
      std::vector<Hit> expected, found;
      const int32_t size = plainWalk(span, at, expected);
      const int32_t scanned = ScanJumpCodes(span, at, [&](const JumpCodeAt& j) {
        found.push_back(Hit{j.codeOffset, j.addressOffset, j.address, j.kind});
      });
      EXPECT_EQ(scanned, size) << round << " " << at;
      EXPECT_EQ(found, expected) << round << " " << at;
    }
  }
}

}  // namespace
}  // namespace lettermoor
