// The SNES header's checksum pair: the sum over images of every size that is summed, worked out
// by hand; sizes that are not; the same result headed or headerless; a fix that reads as right;
// and Keep the Checksum Right on the file's own writes.

#include "rom/header_checksum.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "rom/rollback_journal.h"
#include "rom/rom_image.h"
#include "sample/sample_rom.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr int64_t kHeader = RomFile::kCopierHeaderSize;
constexpr int64_t kPair = kChecksumPairOffset - kHeader;  // in the image without header

// An image of `size` zero bytes with the given bytes placed.
Bytes Image(size_t size, std::vector<std::pair<size_t, uint8_t>> bytes = {}, uint8_t fill = 0) {
  Bytes image(size, fill);
  for (auto [at, value] : bytes) image[at] = value;
  return image;
}

TEST(HeaderChecksum, SumsEachSizeRoundedUpToAPowerOfTwo) {
  constexpr size_t K = 1024, M = 1024 * 1024;
  struct Case {
    const char* name;
    Bytes image;
    uint16_t expected;  // worked out by hand
  };
  const Case cases[] = {
      // Only the pair's 0x1FE.
      {"64 KiB of zeros", Image(64 * K), 0x01FE},
      // 65532 ones and 0x1FE: 66042, less 65536.
      {"64 KiB of ones", Image(64 * K, {}, 1), 0x01FA},
      // 64 KiB plus a 32 KiB tail counted twice: 0x1FE + 2 * 0x10.
      {"96 KiB, tail mirrored", Image(96 * K, {{64 * K, 0x10}}), 0x021E},
      {"128 KiB, plain", Image(128 * K, {{64 * K, 0x10}}), 0x020E},
      // 0x1FE + 5 in the first 2 MiB + twice (0x10 + 0xFF) in the last 1 MiB = 1057.
      {"3 MiB, last 1 MiB twice", Image(3 * M, {{0x1000, 5}, {2 * M, 0x10}, {3 * M - 1, 0xFF}}), 0x0421},
      // 0x1FE + 0x10 + 0xFF = 781.
      {"4 MiB, plain", Image(4 * M, {{2 * M, 0x10}, {4 * M - 1, 0xFF}}), 0x030D},
      // 255 * (4 MiB - 4) + 0x1FE wraps: 4 MiB * 255 is a multiple of 0x10000, so -1020 + 510.
      {"4 MiB of 0xFF", Image(4 * M, {}, 0xFF), 0xFE02},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ComputeHeaderChecksum(c.image), c.expected);
    // Whatever the pair holds, the sum is the same: it never depends on itself.
    Bytes other = c.image;
    std::mt19937 random(7);
    for (int i = 0; i < 4; ++i) other[static_cast<size_t>(kPair + i)] = static_cast<uint8_t>(random());
    EXPECT_EQ(ComputeHeaderChecksum(other), c.expected);
    // Written as the fix writes it, the pair reads as right, and the sum stays.
    const std::array<uint8_t, 4> pair = ChecksumPairBytes(c.expected);
    std::copy(pair.begin(), pair.end(), other.begin() + kPair);
    const HeaderChecksum fixed = ReadHeaderChecksum(other);
    EXPECT_EQ(fixed.state, ChecksumState::Right);
    EXPECT_EQ(fixed.checksum, c.expected);
    EXPECT_EQ(fixed.complement, c.expected ^ 0xFFFF);
  }
}

TEST(HeaderChecksum, OtherSizesAreNotComputed) {
  constexpr size_t K = 1024, M = 1024 * 1024;
  for (size_t size : {size_t{0}, 64 * K - 1, 64 * K + 3, 3 * M + 32 * K, 3 * M + M / 2, 5 * M, 8 * M}) {
    SCOPED_TRACE(size);
    const Bytes image(size, 0);
    EXPECT_EQ(ComputeHeaderChecksum(image), std::nullopt);
    EXPECT_EQ(ReadHeaderChecksum(image).state, ChecksumState::NotComputed);
  }
}

TEST(HeaderChecksum, EachHalfOfThePairIsJudgedOnItsOwn) {
  Bytes image = Image(0x10000);  // calls for 0x01FE, complement 0xFE01
  struct Case {
    std::array<uint8_t, 4> pair;  // complement, then checksum
    bool checksumRight, complementRight;
  };
  for (const Case& c : {Case{{0x01, 0xFE, 0xFE, 0x01}, true, true}, Case{{0x00, 0x00, 0xFE, 0x01}, true, false},
                        Case{{0x01, 0xFE, 0x00, 0x00}, false, true}, Case{{0xFF, 0xFF, 0x00, 0x00}, false, false}}) {
    std::copy(c.pair.begin(), c.pair.end(), image.begin() + kPair);
    const HeaderChecksum sum = ReadHeaderChecksum(image);
    EXPECT_EQ(sum.ChecksumRight(), c.checksumRight);
    EXPECT_EQ(sum.ComplementRight(), c.complementRight);
    EXPECT_EQ(sum.state, c.checksumRight && c.complementRight ? ChecksumState::Right : ChecksumState::Wrong);
  }
}

// The open file gives the same result with or without its copier header, whatever the header holds.
TEST(HeaderChecksum, HeadedAndHeaderlessFilesGiveTheSameResult) {
  test::SyntheticRom headed(0x300000 + kHeader);
  headed.Put(0x1000, {5}).Put(kHeader + 0x200000, {0x10}).Put(kHeader + 0x2FFFFF, {0xFF});
  for (int64_t i = 0; i < kHeader; ++i) headed.Bytes()[static_cast<size_t>(i)] = 0xAA;
  const Bytes headerless(headed.Bytes().begin() + kHeader, headed.Bytes().end());
  const std::unique_ptr<test::TempFile> a = headed.Save(".smc");
  test::TempFile b(".sfc");
  b.WriteAll(headerless);
  const std::unique_ptr<RomFile> withHeader = OpenRomFile(a->Path());
  const std::unique_ptr<RomFile> without = OpenRomFile(b.Path());
  ASSERT_TRUE(withHeader && without);
  ASSERT_TRUE(without->IsHeaderless());
  // The title's bytes count too: worked out from the image rather than by hand.
  const std::optional<uint16_t> expected = ComputeHeaderChecksum(headerless);
  ASSERT_TRUE(expected);
  for (const RomFile* rom : {withHeader.get(), without.get()}) {
    const HeaderChecksum sum = ReadHeaderChecksum(*rom);
    EXPECT_EQ(sum.state, ChecksumState::Wrong);
    EXPECT_EQ(sum.computed, *expected);
  }
}

// A sum written out the long way: the first part once, the rest as often as it repeats.
uint16_t LongHandSum(const Bytes& image, size_t first) {
  uint32_t sum = 0;
  for (size_t i = 0; i < image.size(); ++i) {
    const bool pair = i >= static_cast<size_t>(kPair) && i < static_cast<size_t>(kPair + 4);
    sum += pair ? 0 : image[i] * (i < first ? 1u : static_cast<uint32_t>(first / (image.size() - first)));
  }
  return static_cast<uint16_t>(sum + 0x1FE);
}

TEST(HeaderChecksum, TheSampleAndTheExpandedSample) {
  for (bool expanded : {false, true}) {
    SCOPED_TRACE(expanded ? "expanded" : "plain");
    const Bytes file = MakeSampleRom(expanded);
    const Bytes image(file.begin() + kHeader, file.end());
    ASSERT_EQ(image.size(), expanded ? 0x400000u : 0x300000u);
    const uint16_t expected = LongHandSum(image, expanded ? image.size() : 0x200000);
    EXPECT_EQ(ComputeHeaderChecksum(image), expected);
  }
}

class KeepChecksumRight : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SaveSampleRom(file_.Path(), false));
    rom_ = OpenRomFile(file_.Path());
    ASSERT_TRUE(rom_);
  }
  Bytes Pair() {
    Bytes pair(4);
    rom_->Read(kChecksumPairOffset, pair);
    return pair;
  }
  test::TempFile file_;
  std::unique_ptr<RomFile> rom_;
};

// Every kind of write of the file: with the option on the pair is right after it, with it off
// the pair is left as it was.
TEST_F(KeepChecksumRight, EveryWriteOfTheFileFixesThePairWhenOn) {
  const std::vector<std::pair<const char*, std::function<WriteResult(RomFile&)>>> writes = {
      {"write", [](RomFile& rom) { return rom.Write(0x60000, Bytes{1, 2, 3}); }},
      {"change set", [](RomFile& rom) { return rom.Apply(ChangeSet{{{0x60000, {9}}, {0x70000, {8, 7}}}, -1}); }},
      {"extension", [](RomFile& rom) { return rom.Extend(0x400200, [](int64_t size) { return Bytes(0x400200 - size, 1); }); }},
      {"replacement", [](RomFile& rom) {
         Bytes copy(static_cast<size_t>(rom.Size()));
         rom.Read(0, copy);
         copy[0x60000] ^= 0x5A;
         return rom.ReplaceContents(copy);
       }},
  };
  for (bool on : {true, false}) {
    for (const auto& [name, write] : writes) {
      SCOPED_TRACE(std::string(name) + (on ? ", on" : ", off"));
      SetUp();
      const Bytes before = Pair();
      ASSERT_EQ(ReadHeaderChecksum(*rom_).state, ChecksumState::Wrong);
      rom_->KeepChecksumRight(on);
      ASSERT_TRUE(write(*rom_));
      // As the file holds it, read afresh.
      const std::unique_ptr<RomFile> again = OpenRomFile(file_.Path());
      EXPECT_EQ(ReadHeaderChecksum(*again).state, on ? ChecksumState::Right : ChecksumState::Wrong);
      if (!on) {
        EXPECT_EQ(Pair(), before);
      }
    }
  }
}

int gStep = 0;
int gFailAt = 0;
int FailAtOneStep() { return ++gStep == gFailAt ? EIO : 0; }

// A write that fails at any of its steps takes the pair back with it: the file is wholly as it
// was, or wholly written with its pair right.
TEST_F(KeepChecksumRight, AFailedWriteLeavesNeitherTheBytesNorThePair) {
  const Bytes before = file_.ReadAll();
  bool failedOnce = false;
  for (gFailAt = 1; gFailAt <= 12; ++gFailAt) {
    SCOPED_TRACE(gFailAt);
    file_.WriteAll(before);
    rom_ = OpenRomFile(file_.Path());
    ASSERT_TRUE(rom_);
    rom_->KeepChecksumRight(true);
    gStep = 0;
    SetIoStepHook(FailAtOneStep);
    const WriteResult written = rom_->Write(0x60000, Bytes{1, 2, 3});
    SetIoStepHook(nullptr);
    const std::unique_ptr<RomFile> again = OpenRomFile(file_.Path());
    if (written) {
      EXPECT_EQ(ReadHeaderChecksum(*again).state, ChecksumState::Right);
    } else {
      failedOnce = true;
      EXPECT_EQ(file_.ReadAll(), before);
    }
  }
  EXPECT_TRUE(failedOnce);
}

// A file that is not summed is never changed for the pair.
TEST_F(KeepChecksumRight, AFileOfAnotherSizeIsLeftAlone) {
  test::SyntheticRom odd(0x380000 + kHeader);
  file_.WriteAll(odd.Bytes());
  rom_ = OpenRomFile(file_.Path());
  ASSERT_TRUE(rom_);
  rom_->KeepChecksumRight(true);
  ASSERT_TRUE(rom_->Write(0x60000, Bytes{1}));
  Bytes expected = odd.Bytes();
  expected[0x60000] = 1;
  EXPECT_EQ(file_.ReadAll(), expected);
  EXPECT_EQ(ChecksumFixAfter(*rom_, ChangeSet{}), std::nullopt);
}

}  // namespace
}  // namespace lettermoor
