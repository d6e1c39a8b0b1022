// Which strings share bytes with another entry point: the quick answer for a string nothing
// reaches agrees with walking back over every string that starts before it.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codec/decode_items.h"
#include "codec/jump_codes.h"
#include "entries/entry_points.h"
#include "rom/snes_address.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

TEST(EntryPoints, SharedBytesAgreeWithAWalkBackOverEveryString) {
  std::mt19937 random(34);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    // Strings of letters and end codes, some long, and entry points at their starts and into them.
    constexpr int64_t kStart = 0x60000;
    test::SyntheticRom image(0x80000);
    std::vector<uint8_t> bytes(0x6000);
    for (uint8_t& b : bytes) b = random() % 9 == 0 ? 0x02 : static_cast<uint8_t>(0x71 + random() % 26);
    for (int k = 0; k < 3; ++k) std::fill_n(bytes.begin() + random() % 0x5000, 300 + random() % 500, uint8_t{0x71});
    image.Put(kStart, bytes);
    std::vector<SnesAddress> texts;
    for (int k = 0; k < 400; ++k) texts.push_back(FileOffsetToSnes(static_cast<int32_t>(kStart + random() % 0x5F00)));
    const auto file = image.Save();
    const auto rom = test::OpenForTest(file->Path());
    std::vector<int64_t> starts;
    for (SnesAddress a : texts) starts.push_back(SnesToFileOffset(a));
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    auto sizeAt = [&](int64_t at) { return ScanJumpCodes(*rom, at, [](const JumpCodeAt&) {}); };

    EntryPoints points(*rom, texts, nullptr);
    std::shuffle(texts.begin(), texts.end(), random);  // asked in any order
    for (SnesAddress text : texts) {
      const int64_t at = SnesToFileOffset(text);
      const int32_t size = sizeAt(at);
      std::optional<SnesAddress> expected;
      const auto from = std::lower_bound(starts.begin(), starts.end(), at);
      for (auto it = from; it != starts.end() && *it < at + size && !expected; ++it) {
        if (*it != at) expected = FileOffsetToSnes(static_cast<int32_t>(*it));
      }
      for (auto it = from; it != starts.begin() && !expected;) {
        --it;
        if (*it < at - kDecodeSizeLimit - 16) break;
        if (*it + sizeAt(*it) > at) expected = FileOffsetToSnes(static_cast<int32_t>(*it));
      }
      ASSERT_EQ(points.SharedWith(at, size), expected) << std::hex << text;
    }
  }
}

}  // namespace
}  // namespace lettermoor
