// BPS and IPS patches in memory: numbers and checksums as the formats write them, round trips
// over many kinds of edits, refusals of damaged patches and wrong ROMs, and IPS files built by
// hand with known bytes.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "rom/patch.h"

namespace lettermoor {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Noise(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes b(n);
  for (uint8_t& x : b) x = static_cast<uint8_t>(random());
  return b;
}

// A ROM-like file: text-like stretches, runs of one byte, and noise.
Bytes RomLike(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes b;
  const std::string words[] = {"the ", "hat ", "Tobias ", "tipped ", "[03 02]", "and "};
  while (b.size() < n) {
    switch (random() % 3) {
      case 0:
        for (int i = 0; i < 20; ++i) {
          const std::string& w = words[random() % 6];
          b.insert(b.end(), w.begin(), w.end());
        }
        break;
      case 1: b.insert(b.end(), 64 + random() % 512, static_cast<uint8_t>(random() % 2 ? 0x00 : 0xFF)); break;
      default: {
        const Bytes noise = Noise(32 + random() % 96, static_cast<uint32_t>(random()));
        b.insert(b.end(), noise.begin(), noise.end());
      }
    }
  }
  b.resize(n);
  return b;
}

TEST(PatchChecksum, IsTheUsualCrc32) {
  EXPECT_EQ(Crc32(Text("123456789")), 0xCBF43926u);
  EXPECT_EQ(Crc32({}), 0u);
  EXPECT_EQ(Crc32({}, 0xCBF43926u), 0xCBF43926u);  // nothing more leaves it as it is
  // Continued over two parts as over the whole.
  EXPECT_EQ(Crc32(Text("6789"), Crc32(Text("12345"))), 0xCBF43926u);
}

TEST(PatchFormatName, ComesFromTheExtension) {
  EXPECT_EQ(PatchFormatOfName("a/game.bps"), PatchFormat::Bps);
  EXPECT_EQ(PatchFormatOfName("GAME.IPS"), PatchFormat::Ips);
  EXPECT_EQ(PatchFormatOfName("game.smc"), std::nullopt);
  EXPECT_EQ(PatchFormatOfName("dir.bps/game"), std::nullopt);
  EXPECT_EQ(PatchFormatOfName("bps"), std::nullopt);
}

// The header's numbers: 7 bits a byte, lowest first, one subtracted after each byte that is not
// the last, so every value has one encoding.
TEST(BpsCreate, NumbersHaveTheirOneEncoding) {
  const std::vector<std::pair<size_t, Bytes>> cases = {
      {0, {0x80}}, {1, {0x81}}, {127, {0xFF}}, {128, {0x00, 0x80}}, {129, {0x01, 0x80}},
      {16511, {0x7F, 0xFF}}, {16512, {0x00, 0x00, 0x80}}};
  for (const auto& [value, encoded] : cases) {
    const Bytes patch = CreateBps(Bytes(value, 0x11), {});
    ASSERT_GE(patch.size(), 4 + encoded.size());
    EXPECT_EQ(Bytes(patch.begin(), patch.begin() + 4), Text("BPS1"));
    EXPECT_EQ(Bytes(patch.begin() + 4, patch.begin() + 4 + static_cast<ptrdiff_t>(encoded.size())), encoded)
        << value;
    const PatchInfo info = ReadPatchInfo(patch);
    EXPECT_EQ(info.fault, PatchFault::None);
    EXPECT_EQ(info.sourceSize, value);
    EXPECT_EQ(info.sourceCrc, Crc32(Bytes(value, 0x11)));
  }
}

// Kinds of edits a ROM hacker makes, each applied to a ROM-like file.
struct Edit {
  const char* name;
  std::function<Bytes(Bytes)> apply;
};

std::vector<Edit> Edits() {
  return {
      {"nothing", [](Bytes b) { return b; }},
      {"one byte", [](Bytes b) { b[1000] ^= 0x55; return b; }},
      {"one string", [](Bytes b) { std::memcpy(b.data() + 5000, "Hello, world", 12); return b; }},
      {"many scattered", [](Bytes b) { for (size_t i = 7; i < b.size(); i += 997) b[i] = static_cast<uint8_t>(i); return b; }},
      {"grown by a periodic blank area",
       [](Bytes b) {
         for (int block = 0; block < 64; ++block) {
           b.insert(b.end(), 255, 0x00);
           b.push_back(0x02);
         }
         return b;
       }},
      {"cut short", [](Bytes b) { b.resize(b.size() / 3); return b; }},
      {"block moved",
       [](Bytes b) {
         Bytes moved(b.begin() + 100, b.begin() + 3000);
         b.erase(b.begin() + 100, b.begin() + 3000);
         b.insert(b.end(), moved.begin(), moved.end());
         return b;
       }},
      {"bytes inserted", [](Bytes b) { const Bytes n = Noise(77, 9); b.insert(b.begin() + 4321, n.begin(), n.end()); return b; }},
      {"header added", [](Bytes b) { b.insert(b.begin(), 512, 0x00); return b; }},
      {"header removed", [](Bytes b) { b.erase(b.begin(), b.begin() + 512); return b; }},
      {"all new", [](Bytes b) { return Noise(b.size(), 4); }},
      {"emptied", [](Bytes) { return Bytes(); }},
  };
}

TEST(PatchRoundTrip, EveryEditComesBackByteForByteInBothFormats) {
  const Bytes original = RomLike(64 * 1024, 1);
  for (const Edit& edit : Edits()) {
    const Bytes modified = edit.apply(original);
    for (PatchFormat format : {PatchFormat::Bps, PatchFormat::Ips}) {
      SCOPED_TRACE(std::string(edit.name) + " " + PatchFormatName(format));
      const CreatedPatch patch = CreatePatch(format, original, modified);
      ASSERT_EQ(patch.fault, PatchFault::None);
      const PatchOutcome applied = ApplyPatch(original, patch.bytes);
      ASSERT_EQ(applied.fault, PatchFault::None);
      EXPECT_EQ(applied.layout, RomLayoutMatch::AsIs);
      EXPECT_TRUE(applied.result == modified);
      EXPECT_EQ(ReadPatchInfo(patch.bytes).fault, PatchFault::None);
    }
  }
  // Also from nothing.
  const PatchOutcome fromNothing = ApplyPatch({}, CreateBps({}, original));
  EXPECT_TRUE(fromNothing.result == original);
}

TEST(BpsCreate, SmallForSmallChangesAndRuns) {
  const Bytes original = RomLike(1 << 20, 2);
  Bytes oneString = original;
  std::memcpy(oneString.data() + 300000, "Tobias tipped his hat", 21);
  EXPECT_LT(CreateBps(original, oneString).size(), 60u);
  // A repeated blank area costs one block and one copy over itself.
  Bytes grown = original;
  for (int block = 0; block < 4096; ++block) {
    grown.insert(grown.end(), 255, 0x00);
    grown.push_back(0x02);
  }
  EXPECT_LT(CreateBps(original, grown).size(), 300u);
  // A moved stretch is a copy, not its bytes (a few literal bytes where it starts).
  Bytes moved = original;
  std::rotate(moved.begin(), moved.begin() + 100000, moved.end());
  EXPECT_LT(CreateBps(original, moved).size(), 200u);
}

// A BPS patch from raw actions, with its three checksums right.
Bytes BpsOf(uint64_t sourceSize, uint64_t targetSize, const Bytes& actions, uint32_t sourceCrc, uint32_t targetCrc) {
  Bytes p = Text("BPS1");
  auto number = [&](uint64_t v) {
    for (;;) {
      const uint8_t low = v & 0x7F;
      v >>= 7;
      if (!v) {
        p.push_back(0x80 | low);
        return;
      }
      p.push_back(low);
      --v;
    }
  };
  number(sourceSize);
  number(targetSize);
  number(0);
  p.insert(p.end(), actions.begin(), actions.end());
  for (uint32_t crc : {sourceCrc, targetCrc}) {
    for (int i = 0; i < 4; ++i) p.push_back(static_cast<uint8_t>(crc >> (8 * i)));
  }
  const uint32_t own = Crc32(p);
  for (int i = 0; i < 4; ++i) p.push_back(static_cast<uint8_t>(own >> (8 * i)));
  return p;
}

TEST(BpsApply, RefusesActionsOutsideTheFilesAndDamage) {
  const Bytes source = Text("ABCDEFGH");
  const uint32_t s = Crc32(source);
  struct Case {
    const char* name;
    uint64_t targetSize;
    Bytes actions;
    PatchFault fault;
  };
  // Action numbers: (length - 1) << 2 | kind, each a one-byte number here (0x80 | value).
  const std::vector<Case> cases = {
      {"source read past the source", 9, {0x80 | (8 << 2 | 0)}, PatchFault::BadAction},
      {"write past the target", 2, {0x80 | (2 << 2 | 0)}, PatchFault::BadAction},
      {"source copy before the start", 2, {0x80 | (1 << 2 | 2), 0x80 | (1 << 1 | 1)}, PatchFault::BadAction},
      {"target copy of unwritten bytes", 2, {0x80 | (1 << 2 | 3), 0x80}, PatchFault::BadAction},
      {"target left short", 4, {0x80 | (1 << 2 | 0)}, PatchFault::BadAction},
      {"literal cut off", 4, {0x80 | (3 << 2 | 1), 'x'}, PatchFault::Truncated},
      {"number cut off", 4, {0x00}, PatchFault::Truncated},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PatchOutcome out = ApplyPatch(source, BpsOf(source.size(), c.targetSize, c.actions, s, 0));
    EXPECT_EQ(out.fault, c.fault);
    EXPECT_TRUE(out.result.empty());
  }
  // A target copy over its own output makes a run; a wrong target checksum is refused.
  const Bytes run = {0x80 | (0 << 2 | 1), 'z', 0x80 | (4 << 2 | 3), 0x80};
  EXPECT_EQ(ApplyPatch(source, BpsOf(8, 6, run, s, Crc32(Text("zzzzzz")))).result, Text("zzzzzz"));
  EXPECT_EQ(ApplyPatch(source, BpsOf(8, 6, run, s, 1234)).fault, PatchFault::WrongResult);

  const Bytes good = CreateBps(source, Text("ABCxEFGH"));
  Bytes flipped = good;
  flipped[flipped.size() / 2] ^= 1;
  EXPECT_EQ(ApplyPatch(source, flipped).fault, PatchFault::BadPatchCrc);
  for (size_t cut = 0; cut < good.size(); ++cut) {
    const PatchOutcome out = ApplyPatch(source, Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut)));
    EXPECT_NE(out.fault, PatchFault::None) << cut;
  }
  EXPECT_EQ(ApplyPatch(source, Text("hello")).fault, PatchFault::NotAPatch);
}

TEST(BpsApply, WrongRomIsRefusedSayingWhatEachIs) {
  const Bytes original = RomLike(8192, 3);
  Bytes modified = original;
  modified[10] ^= 1;
  const Bytes patch = CreateBps(original, modified);
  Bytes other = original;
  other[20] ^= 1;
  const PatchOutcome wrong = ApplyPatch(other, patch);
  EXPECT_EQ(wrong.fault, PatchFault::WrongSource);
  EXPECT_EQ(wrong.expectedSize, original.size());
  EXPECT_EQ(wrong.expectedCrc, Crc32(original));
  EXPECT_EQ(wrong.romSize, other.size());
  EXPECT_EQ(wrong.romCrc, Crc32(other));
  EXPECT_TRUE(wrong.result.empty());
  EXPECT_EQ(ApplyPatch(modified, patch).fault, PatchFault::AlreadyPatched);
}

// A ROM that meets the source only with a copier header more or less is patched in that layout,
// and the copy keeps the user's.
TEST(BpsApply, CopierHeaderMoreOrLessIsAllowedForAndKept) {
  const Bytes bare = RomLike(16384, 5);
  Bytes bareModified = bare;
  std::memcpy(bareModified.data() + 2000, "new text", 8);
  Bytes userHeader(512, 0);
  userHeader[0] = 0x40;  // a copier's own header bytes stay the user's
  auto headed = [&](const Bytes& b, const Bytes& header) {
    Bytes h = header;
    h.insert(h.end(), b.begin(), b.end());
    return h;
  };
  const Bytes blank(512, 0);

  const PatchOutcome removed = ApplyPatch(headed(bare, userHeader), CreateBps(bare, bareModified));
  ASSERT_EQ(removed.fault, PatchFault::None);
  EXPECT_EQ(removed.layout, RomLayoutMatch::HeaderRemoved);
  EXPECT_TRUE(removed.result == headed(bareModified, userHeader));

  const PatchOutcome added = ApplyPatch(bare, CreateBps(headed(bare, blank), headed(bareModified, blank)));
  ASSERT_EQ(added.fault, PatchFault::None);
  EXPECT_EQ(added.layout, RomLayoutMatch::HeaderAdded);
  EXPECT_TRUE(added.result == bareModified);
}

// IPS files built by hand, with the bytes the format gives them.
TEST(IpsApply, HandBuiltRecords) {
  const Bytes rom = Text("0123456789");
  struct Case {
    const char* name;
    Bytes patch;
    Bytes result;
  };
  const std::vector<Case> cases = {
      {"plain record", Bytes{'P', 'A', 'T', 'C', 'H', 0, 0, 2, 0, 3, 'a', 'b', 'c', 'E', 'O', 'F'}, Text("01abc56789")},
      {"RLE record", Bytes{'P', 'A', 'T', 'C', 'H', 0, 0, 1, 0, 0, 0, 4, 'z', 'E', 'O', 'F'}, Text("0zzzz56789")},
      {"grows the file", Bytes{'P', 'A', 'T', 'C', 'H', 0, 0, 12, 0, 1, 'q', 'E', 'O', 'F'},
       Bytes{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0, 0, 'q'}},
      {"cut to a size", Bytes{'P', 'A', 'T', 'C', 'H', 'E', 'O', 'F', 0, 0, 4}, Text("0123")},
      {"no records", Text("PATCHEOF"), rom},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PatchOutcome out = ApplyPatch(rom, c.patch);
    ASSERT_EQ(out.fault, PatchFault::None);
    EXPECT_EQ(out.format, PatchFormat::Ips);
    EXPECT_EQ(out.result, c.result);
  }
  const PatchInfo info = ReadPatchInfo(cases[1].patch);
  EXPECT_EQ(info.records, 1u);
  EXPECT_EQ(info.rleRecords, 1u);
  EXPECT_EQ(info.reach, 5u);
}

TEST(IpsApply, RefusesATruncatedFileAtEveryLength) {
  const Bytes full = {'P', 'A', 'T', 'C', 'H', 0, 0, 2, 0, 3, 'a', 'b', 'c', 0, 0, 1, 0, 0, 0, 4, 'z', 'E', 'O', 'F'};
  ASSERT_EQ(ApplyPatch(Text("0123456789"), full).fault, PatchFault::None);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    const PatchOutcome out = ApplyPatch(Text("0123456789"), Bytes(full.begin(), full.begin() + static_cast<ptrdiff_t>(cut)));
    EXPECT_EQ(out.fault, cut < 5 ? PatchFault::NotAPatch : PatchFault::Truncated) << cut;
    EXPECT_TRUE(out.result.empty());
  }
  Bytes junk = full;
  junk.push_back('!');
  EXPECT_EQ(ApplyPatch(Text("0123456789"), junk).fault, PatchFault::TrailingBytes);
}

// Offsets of the records an IPS patch holds, in order.
std::vector<uint32_t> RecordOffsets(const Bytes& ips) {
  std::vector<uint32_t> offsets;
  size_t at = 5;
  while (at + 3 <= ips.size() && std::memcmp(ips.data() + at, "EOF", 3) != 0) {
    offsets.push_back(static_cast<uint32_t>(ips[at] << 16 | ips[at + 1] << 8 | ips[at + 2]));
    const size_t size = static_cast<size_t>(ips[at + 3] << 8 | ips[at + 4]);
    at += 5 + (size == 0 ? 3 : size);
  }
  return offsets;
}

TEST(IpsCreate, NoRecordStartsWhereItWouldReadAsTheTrailer) {
  const size_t size = kIpsEofOffset + 0x100;
  const Bytes original(size, 0x11);
  struct Case {
    const char* name;
    size_t from, length;
    uint8_t value;  // 0: varied bytes, else a run of this byte
  };
  const std::vector<Case> cases = {
      {"plain bytes at the trailer's offset", kIpsEofOffset, 4, 0},
      {"a run at the trailer's offset", kIpsEofOffset, 40, 0x77},
      {"a long record whose second part would start there", kIpsEofOffset - 0xFFFF, 0xFFFF + 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes modified = original;
    for (size_t i = c.from; i < c.from + c.length; ++i) modified[i] = c.value ? c.value : static_cast<uint8_t>(i * 7 + 1);
    const CreatedPatch patch = CreateIps(original, modified);
    ASSERT_EQ(patch.fault, PatchFault::None);
    for (uint32_t offset : RecordOffsets(patch.bytes)) EXPECT_NE(offset, kIpsEofOffset);
    EXPECT_TRUE(ApplyPatch(original, patch.bytes).result == modified);
  }
}

TEST(IpsCreate, RefusesWhatItCannotReachAndCutsShorterFiles) {
  Bytes original(kIpsOffsetLimit + 16, 0);
  Bytes modified = original;
  modified[kIpsOffsetLimit + 3] = 1;
  const CreatedPatch past = CreateIps(original, modified);
  EXPECT_EQ(past.fault, PatchFault::IpsPastLimit);
  EXPECT_EQ(past.at, kIpsOffsetLimit + 3);
  EXPECT_TRUE(past.bytes.empty());
  // A change below 16 MB in such a file is fine.
  modified = original;
  modified[100] = 1;
  EXPECT_EQ(CreateIps(original, modified).fault, PatchFault::None);

  const Bytes shorter = Text("0123");
  const CreatedPatch cut = CreateIps(Text("0123456789"), shorter);
  ASSERT_EQ(cut.fault, PatchFault::None);
  EXPECT_EQ(ReadPatchInfo(cut.bytes).truncateTo, 4u);
  EXPECT_EQ(ApplyPatch(Text("0123456789"), cut.bytes).result, shorter);
}

TEST(IpsCreate, LongRunsBecomeRleRecords) {
  const Bytes original(4096, 0x00);
  Bytes modified = original;
  std::fill(modified.begin() + 100, modified.begin() + 2100, 0xEE);
  const CreatedPatch patch = CreateIps(original, modified);
  const PatchInfo info = ReadPatchInfo(patch.bytes);
  EXPECT_EQ(info.records, 1u);
  EXPECT_EQ(info.rleRecords, 1u);
  EXPECT_EQ(patch.bytes.size(), 5u + 8u + 3u);
}

}  // namespace
}  // namespace lettermoor
