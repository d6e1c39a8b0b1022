#include <gtest/gtest.h>

#include <random>
#include <vector>

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

}  // namespace
}  // namespace lettermoor
