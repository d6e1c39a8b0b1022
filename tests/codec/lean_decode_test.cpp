// The decoder's walk, with its runs of characters and words scanned many bytes at a time, against
// the same walk reading byte after byte and against the straightforward reference decode: the
// same text, size count, listing and carry-over state for any bytes, through every sink.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec/control_code_table.h"
#include "codec/text_decoder.h"
#include "codec/text_dictionary.h"
#include "rom/rom_file.h"
#include "support/reference_decoder.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

// Script bytes that exercise every branch of the decoder: runs of characters, dictionary
// references, codes with and without arguments, sub-codes the table knows and ones it does not,
// blank runs of zeros, and strings that never end.
class ScriptGenerator {
 public:
  explicit ScriptGenerator(uint32_t seed) : rng_(seed) {}

  std::vector<uint8_t> String() {
    std::vector<uint8_t> out;
    const int items = Below(40);
    for (int i = 0; i < items; ++i) Item(out);
    if (Below(8) != 0) out.push_back(kEndCode);  // now and then a string runs on into the next
    return out;
  }

  // A string that reaches the 4000-byte limit, ending in the given kind of item.
  std::vector<uint8_t> Endless(int kind) {
    std::vector<uint8_t> out;
    while (out.size() < 3990) Item(out);
    out.resize(3990 + static_cast<size_t>(Below(12)), 0x60);
    switch (kind) {
      case 0: out.insert(out.end(), {0x15, 0x07}); break;           // a word across the limit
      case 1: out.insert(out.end(), {0x1E, 0x09, 1, 2, 3, 4, 5}); break;  // a long code across it
      case 2: out.insert(out.end(), 600, 0x00); break;             // blank space across it
      default: out.insert(out.end(), 600, 0x61); break;            // characters across it
    }
    return out;
  }

  int Below(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }
  uint8_t Byte() { return static_cast<uint8_t>(rng_()); }

 private:
  void Item(std::vector<uint8_t>& out) {
    switch (Below(7)) {
      case 0:
      case 1: {
        const int run = 1 + (Below(6) == 0 ? Below(200) : Below(12));
        for (int k = 0; k < run; ++k) out.push_back(static_cast<uint8_t>(0x50 + Below(0x5B)));
        break;
      }
      case 2: out.insert(out.end(), {static_cast<uint8_t>(0x15 + Below(3)), Byte()}); break;
      case 3: {  // a code without a sub-code, described or not, and its would-be arguments
        static constexpr uint8_t kCodes[] = {0x00, 0x01, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
                                             0x0A, 0x0B, 0x0D, 0x10, 0x13, 0x14, 0x20, 0x4F, 0xAB, 0xFF};
        out.push_back(kCodes[Below(static_cast<int>(std::size(kCodes)))]);
        for (int k = Below(7); k > 0; --k) out.push_back(Byte());
        break;
      }
      case 4: {  // a sub-code from the table, or any byte after 0x18-0x1F
        const auto table = ControlCodeTable();
        const ControlCodeEntry& e = table[static_cast<size_t>(Below(static_cast<int>(table.size())))];
        if (e.subCode >= 0) {
          out.insert(out.end(), {e.code, static_cast<uint8_t>(e.subCode)});
        } else {
          out.insert(out.end(), {static_cast<uint8_t>(0x18 + Below(8)), Byte()});
        }
        for (int k = Below(7); k > 0; --k) out.push_back(Byte());
        break;
      }
      case 5: out.insert(out.end(), static_cast<size_t>(1 + Below(300)), 0x00); break;
      default: out.push_back(Byte()); break;
    }
  }

  std::mt19937 rng_;
};

struct Outcome {
  int32_t size = 0;
  std::string text;
  bool lastCodeDescribed = false;
  std::string interpreterText;

  friend bool operator==(const Outcome&, const Outcome&) = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << "size " << o.size << ", last described " << o.lastCodeDescribed << ", text \"" << o.text.substr(0, 200) << "\" (" << o.text.size()
      << " chars), listing \"" << o.interpreterText << "\"";
}

class LeanDecode : public ::testing::Test {
 protected:
  void SetUp() override {
    ScriptGenerator words(7);
    for (int slot = 1; slot < kDictionarySlots; ++slot) {
      std::string& w = dictionary_.words[static_cast<size_t>(slot)];
      const int length = slot % 50 == 0 ? 0 : slot % 97 == 0 ? 40 : 1 + words.Below(24);
      for (int k = 0; k < length; ++k) w.push_back(static_cast<char>('a' + words.Below(26)));
    }
  }

  // Opens `bytes` as a ROM file.
  void Open(const std::vector<uint8_t>& bytes) {
    file_ = std::make_unique<test::TempFile>();
    file_->WriteAll(bytes);
    rom_ = test::OpenForTest(file_->Path());
  }

  enum class Path { Scanned, OneByOne, Reference };

  // One decode from a given carry-over state, by one of the paths.
  Outcome Run(Path path, int64_t offset, bool withText, DecodeFlags flags, bool lastDescribed) {
    DecoderState state;
    state.lastCodeDescribed = lastDescribed;
    state.interpreterText = "left over from an earlier decode";
    Outcome o;
    o.text = "stale";
    std::string* text = withText ? &o.text : nullptr;
    if (path == Path::Reference) {
      o.size = test::ReferenceDecode(*rom_, offset, dictionary_, state, text, flags);
    } else {
      o.size = SinkDecode(path == Path::Scanned ? ItemReading::Scanned : ItemReading::OneByOne,
                          state, offset, text, flags);
    }
    o.lastCodeDescribed = state.lastCodeDescribed;
    o.interpreterText = state.interpreterText;
    return o;
  }

  // The editor's walk through its sinks, appending to a buffer that already holds some text
  // (which must stay as it was).
  int32_t SinkDecode(ItemReading reading, DecoderState& state, int64_t offset, std::string* text,
                     DecodeFlags flags) {
    static constexpr std::string_view kBefore = "kept";
    TextBuffer buffer;
    buffer.Append(kBefore);
    TextDecoder decoder(dictionary_, state);
    int32_t size = 0;
    auto decode = [&](auto& sink) {
      if (flags.interpreterListing) {
        Listing listing(state.interpreterText, state.lastCodeDescribed, sink);
        size = decoder.Decode(*rom_, offset, listing, reading);
      } else {
        size = decoder.Decode(*rom_, offset, sink, reading);
      }
    };
    if (!text) {
      NoText none;
      decode(none);
    } else if (flags.bracketedCodes) {
      BracketedText sink(buffer);
      decode(sink);
    } else {
      PlainText sink(buffer);
      decode(sink);
    }
    EXPECT_EQ(buffer.View().substr(0, kBefore.size()), kBefore);
    if (text) *text = std::string(buffer.View().substr(kBefore.size()));
    return size;
  }

  // The row preview (the text without codes, cut short) against the whole decode cut to the
  // same length: the walk past the cut must still give the whole size and the last code.
  Outcome Preview(int64_t offset, size_t length, bool lastDescribed) {
    DecoderState state;
    state.lastCodeDescribed = lastDescribed;
    state.interpreterText = "left over";
    TextDecoder decoder(dictionary_, state);
    TextBuffer text;
    text.Append("stale");
    Outcome o;
    o.size = decoder.DecodePreview(*rom_, offset, text, length);
    o.text = text.ToString();
    o.lastCodeDescribed = state.lastCodeDescribed;
    o.interpreterText = state.interpreterText;
    return o;
  }

  // Every path, every sink, from both carry-over states.
  void ExpectSameAt(int64_t offset) {
    for (bool lastDescribed : {false, true}) {
      const Outcome plain = Run(Path::Reference, offset, true, DecodeFlags{false, false}, lastDescribed);
      for (size_t length : {size_t{0}, size_t{1}, size_t{149}, size_t{100000}}) {
        Outcome cut = plain;
        if (cut.text.size() > length) cut.text.resize(length);
        ASSERT_EQ(Preview(offset, length, lastDescribed), cut) << "offset " << offset << ", preview " << length;
      }
    }
    for (int mode = 0; mode < 6; ++mode) {
      const bool withText = mode % 3 > 0;
      const DecodeFlags flags{mode % 3 == 2, mode >= 3};
      for (bool lastDescribed : {false, true}) {
        const Outcome reference = Run(Path::Reference, offset, withText, flags, lastDescribed);
        ASSERT_EQ(Run(Path::Scanned, offset, withText, flags, lastDescribed), reference)
            << "offset " << offset << ", mode " << mode << ", scanned";
        ASSERT_EQ(Run(Path::OneByOne, offset, withText, flags, lastDescribed), reference)
            << "offset " << offset << ", mode " << mode << ", one by one";
      }
    }
  }

  TextDictionary dictionary_;
  std::unique_ptr<test::TempFile> file_;
  std::unique_ptr<RomFile> rom_;
};

TEST_F(LeanDecode, MatchesTheItemByItemDecodeOnGeneratedStrings) {
  ScriptGenerator gen(20240611);
  std::vector<uint8_t> bytes(64, 0x02);
  std::vector<int64_t> starts;
  for (int s = 0; s < 3000; ++s) {
    starts.push_back(static_cast<int64_t>(bytes.size()));
    const std::vector<uint8_t> str = gen.String();
    bytes.insert(bytes.end(), str.begin(), str.end());
  }
  for (int kind = 0; kind < 4; ++kind) {
    starts.push_back(static_cast<int64_t>(bytes.size()));
    const std::vector<uint8_t> str = gen.Endless(kind);
    bytes.insert(bytes.end(), str.begin(), str.end());
  }
  bytes.insert(bytes.end(), 5000, 0x02);
  Open(bytes);
  for (int64_t start : starts) ExpectSameAt(start);
  // Starts in the middle of an item are strings too.
  for (int k = 0; k < 500; ++k) ExpectSameAt(gen.Below(static_cast<int>(bytes.size())));
}

TEST_F(LeanDecode, MatchesItNearAndPastTheEndOfTheFile) {
  // Strings that run into the end of the file read 0xFF there, an undescribed code each.
  ScriptGenerator gen(99);
  std::vector<uint8_t> bytes;
  while (bytes.size() < 12000) {
    const std::vector<uint8_t> str = gen.String();
    bytes.insert(bytes.end(), str.begin(), str.end());
  }
  bytes.insert(bytes.end(), {0x60, 0x61, 0x1F});  // a code whose sub-code lies past the end
  Open(bytes);
  const auto size = static_cast<int64_t>(bytes.size());
  for (int64_t offset = size - 4100; offset < size - 64; offset += 13) ExpectSameAt(offset);
  for (int64_t offset = size - 64; offset <= size + 2; ++offset) ExpectSameAt(offset);
  for (int64_t offset : {int64_t{-1}, int64_t{-4008}, size + 100}) ExpectSameAt(offset);
}

TEST_F(LeanDecode, MatchesItOnBlankExpansionBlocks) {
  std::vector<uint8_t> bytes(0x2000, 0x00);
  for (size_t b = 255; b < bytes.size(); b += 256) bytes[b] = kEndCode;
  bytes.resize(bytes.size() + 5000, 0x00);  // and zeros that run to the size limit
  Open(bytes);
  for (int64_t offset : {0, 1, 200, 255, 256, 0x1F00, 0x2000, 0x2001, 0x2100}) ExpectSameAt(offset);

  DecoderState state;
  TextDecoder decoder(dictionary_, state);
  std::string text;
  EXPECT_EQ(decoder.Decode(*rom_, 0, &text, DecodeFlags{true, false}), 256);
  EXPECT_TRUE(state.lastCodeDescribed);  // the end code
  EXPECT_EQ(decoder.Decode(*rom_, 0x2000, nullptr, DecodeFlags{false, true}), kDecodeSizeLimit);
  EXPECT_EQ(state.interpreterText.size(), kDecodeSizeLimit * std::string("\r\nNEWLINE").size() - 2);
  EXPECT_EQ(text.size(), 256u * 3 + 1);
  EXPECT_EQ(text.substr(0, 7), "[00 00 ");
  EXPECT_EQ(text.substr(text.size() - 7), " 00 02]");
}

TEST_F(LeanDecode, CarriesTheStateAcrossASequenceAsTheItemByItemDecodeDoes) {
  // The row previews of a list fill decode string after string with one shared state.
  ScriptGenerator gen(5);
  std::vector<uint8_t> bytes;
  std::vector<int64_t> starts;
  for (int s = 0; s < 400; ++s) {
    starts.push_back(static_cast<int64_t>(bytes.size()));
    std::vector<uint8_t> str = gen.String();
    // Strings of characters and words only leave the state as they found it.
    if (s % 3 == 0) str = {0x60, 0x15, 0x02, 0x61};
    bytes.insert(bytes.end(), str.begin(), str.end());
  }
  bytes.insert(bytes.end(), 5000, 0x60);
  Open(bytes);
  DecoderState leanState, plainState;
  TextDecoder lean(dictionary_, leanState);
  std::string a, b;
  for (int64_t start : starts) {
    const int32_t leanSize = lean.Decode(*rom_, start, &a, DecodeFlags{false, false});
    const int32_t plainSize =
        test::ReferenceDecode(*rom_, start, dictionary_, plainState, &b, DecodeFlags{false, false});
    ASSERT_EQ(leanSize, plainSize);
    ASSERT_EQ(a, b);
    ASSERT_EQ(leanState.lastCodeDescribed, plainState.lastCodeDescribed) << start;
  }
}

TEST_F(LeanDecode, ReadsPastTheMirrorFromTheFile) {
  // Past the mirror limit the bytes come from the file itself; a string across the limit reads
  // the same either way.
  const auto limit = static_cast<size_t>(RomFile::kMirrorLimit);
  std::vector<uint8_t> bytes(limit + 6000, 0x60);
  for (size_t at = limit - 3000; at < limit + 5000; at += 37) {
    bytes[at] = 0x1C;
    bytes[at + 1] = 0x0A;
  }
  bytes[limit + 4500] = kEndCode;
  Open(bytes);
  ASSERT_EQ(rom_->MirrorSize(), RomFile::kMirrorLimit);
  for (int64_t offset : {limit - 4100, limit - 2000, limit - 1, limit, limit + 10}) {
    ExpectSameAt(static_cast<int64_t>(offset));
  }
}

}  // namespace
}  // namespace lettermoor
