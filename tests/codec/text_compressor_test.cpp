#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "codec/bracket_check.h"
#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/text_compressor.h"
#include "codec/text_decoder.h"
#include "codec/text_encoder.h"
#include "entries/text_entry_table.h"
#include "rom/snes_address.h"
#include "sample/sample_rom.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kTrailer = 7;  // a code takes at most six argument bytes

TextDictionary MakeDictionary(const std::vector<std::pair<int, std::string>>& words) {
  TextDictionary dictionary;
  for (const auto& [slot, word] : words) dictionary.words[static_cast<size_t>(slot)] = word;
  return dictionary;
}

// Decodes many byte strings at once: each is laid out in one scratch file, followed by end codes
// enough that a code or reference at its very end takes them as arguments and still one ends it.
class BatchDecoder {
 public:
  explicit BatchDecoder(const TextDictionary& dictionary) : dictionary_(dictionary) {}

  size_t Add(const Bytes& bytes) {
    offsets_.push_back(static_cast<int64_t>(image_.size()));
    image_.insert(image_.end(), bytes.begin(), bytes.end());
    image_.insert(image_.end(), kTrailer, 0x02);
    return offsets_.size() - 1;
  }

  // Decodes every string added, bracketed codes on; gives the texts in order.
  std::vector<std::string> DecodeAll() {
    test::TempFile file;
    file.WriteAll(image_);
    auto rom = test::OpenForTest(file.Path());
    DecoderState state;
    TextDecoder decoder(dictionary_, state);
    std::vector<std::string> texts;
    for (int64_t offset : offsets_) {
      std::string text;
      decoder.Decode(*rom, offset, &text, DecodeFlags{true, false});
      texts.push_back(std::move(text));
    }
    return texts;
  }

 private:
  const TextDictionary& dictionary_;
  Bytes image_;
  std::vector<int64_t> offsets_;
};

// Every text is checked for the two promises: the same decode as the plain encoding, and never
// more bytes.
void ExpectSameDecodeNoLarger(const TextDictionary& dictionary, const std::vector<std::string>& texts) {
  const TextCompressor compressor(dictionary);
  BatchDecoder batch(dictionary);
  std::vector<Bytes> compressed;
  for (const std::string& text : texts) {
    const Bytes plain = TextEncoder(text);
    compressed.push_back(compressor.Encode(text));
    ASSERT_LE(compressed.back().size(), plain.size()) << text;
    batch.Add(plain);
    batch.Add(compressed.back());
  }
  const std::vector<std::string> decoded = batch.DecodeAll();
  for (size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(decoded[2 * i + 1], decoded[2 * i]) << "text: " << texts[i];
  }
}

TEST(TextCompressor, ChoosesWordsOnlyWhereTheDecoderReadsCharacters) {
  const TextDictionary dictionary = MakeDictionary({
      {1, "the"}, {2, "at"}, {3, "abc"}, {4, "bcdef"}, {5, "x]y"}, {6, "the"}, {300, "wind"},
      {600, "cold"}, {7, "a{b"}, {8, "He"}, {9, "Hel"},
  });
  const TextCompressor compressor(dictionary);
  struct Case {
    const char* text;
    Bytes expected;
  } cases[] = {
      {"the", {0x15, 0x01}},                          // the lowest of two slots with the word
      {"[04]the", {0x04, 0xA4, 0x98, 0x95}},          // 04 takes "t" and "h" as its arguments
      {"[1C 05]the", {0x1C, 0x05, 0xA4, 0x98, 0x95}},  // 1C 05 takes "t"; "he" is no word
      {"[18 07]the", {0x18, 0x07, 0x15, 0x01}},       // unlisted sub-code: 18 stands alone
      {"[15]the", {0x15, 0xA4, 0x98, 0x95}},          // a reference takes "t" as its slot
      {"at", {0x91, 0xA4}},                           // two-character words save nothing
      {"abcdef", {0x91, 0x15, 0x04}},                 // not greedy: a + bcdef beats abc + def
      {"[78 95 9C]", {0x78, 0x95, 0x9C}},             // a group is copied byte for byte
      {"x]y", {0xA8, 0x8D, 0xA9}},                    // no word holding a bracket
      {"wind cold", {0x16, 0x2C, 0x50, 0x17, 0x58}},  // slots 300 and 600
      {"Hello[03 02]", {0x15, 0x09, 0x9C, 0x9F, 0x03, 0x02}},
      {"[0B]Hel", {0x0B, 0x78, 0x95, 0x9C}},          // 0B takes "H"; "el" is no word
      // 1D reads the next byte as its sub-code and leaves it: a reference there would read as
      // 1D 15 (three argument bytes), while 19 reads 15 as "MENU" just as it reads "t".
      {"[1D]the", {0x1D, 0xA4, 0x98, 0x95}},
      {"[19]the", {0x19, 0x15, 0x01}},
      {"[1D]wind", {0x1D, 0x16, 0x2C}},               // 1D 16 is unlisted, like 1D 77
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(compressor.Encode(c.text), c.expected) << c.text;
  EXPECT_EQ(compressor.UsableWords(), 6);  // the, abc, bcdef, wind, cold, Hel

  EXPECT_EQ(compressor.Measure("wind cold"), 5);
  EXPECT_EQ(compressor.Measure("the[03"), -1);
  EXPECT_EQ(compressor.Measure(""), 0);
}

// The parse's size against an exhaustive search over every way to split short runs.
TEST(TextCompressor, ParseIsOptimal) {
  std::mt19937 rng(14);
  const std::string alphabet = "ab";
  auto randomWord = [&](size_t length) {
    std::string w;
    for (size_t i = 0; i < length; ++i) w += alphabet[rng() % alphabet.size()];
    return w;
  };
  for (int round = 0; round < 40; ++round) {
    TextDictionary dictionary;
    std::vector<std::string> words;
    for (int slot = 1; slot <= 8; ++slot) {
      dictionary.words[static_cast<size_t>(slot)] = randomWord(3 + rng() % 4);
      words.push_back(dictionary.words[static_cast<size_t>(slot)]);
    }
    const TextCompressor compressor(dictionary);
    const std::string text = randomWord(1 + rng() % 16);
    std::function<int(size_t)> fewest = [&](size_t at) {
      if (at == text.size()) return 0;
      int best = 1 + fewest(at + 1);
      for (const std::string& w : words) {
        if (text.compare(at, w.size(), w) == 0) best = std::min(best, 2 + fewest(at + w.size()));
      }
      return best;
    };
    EXPECT_EQ(compressor.Measure(text), fewest(0)) << text;
  }
}

// Texts made of everything the decoder can meet: characters, words, codes with and without
// arguments, sub-codes listed and not, references, the end code, stray brackets and characters
// outside the printable range.
std::string RandomText(std::mt19937& rng, const std::vector<std::string>& words) {
  static const char* const kPieces[] = {
      "[04]", "[1C 05]", "[18 07]", "[18 01]", "[19 10]", "[1F 00 01]", "[15]", "[16 2C]",
      "[02]", "[03 00]", "[0B]", "[06]", "[1D]", "[78 95]", "[ ]", "]", "{", " ", "\xE5", "\x7F",
  };
  std::string text;
  const size_t pieces = rng() % 40;
  for (size_t i = 0; i < pieces; ++i) {
    switch (rng() % 3) {
      case 0: text += words[rng() % words.size()]; break;
      case 1: text += kPieces[rng() % std::size(kPieces)]; break;
      default: text += static_cast<char>('a' + rng() % 6); break;
    }
  }
  return text;
}

TEST(TextCompressor, GeneratedTextsDecodeAlikeAndNeverGrow) {
  std::mt19937 rng(2026);
  for (int round = 0; round < 60; ++round) {
    TextDictionary dictionary;
    std::vector<std::string> words;
    for (int slot = 1; slot < kDictionarySlots; slot += 1 + static_cast<int>(rng() % 40)) {
      std::string w;
      const size_t length = rng() % 8;
      for (size_t i = 0; i < length; ++i) w += static_cast<char>("abcdef ]{"[rng() % 9]);
      dictionary.words[static_cast<size_t>(slot)] = w;
      if (!w.empty()) words.push_back(w);
    }
    std::vector<std::string> texts;
    for (int i = 0; i < 50; ++i) texts.push_back(RandomText(rng, words));
    ExpectSameDecodeNoLarger(dictionary, texts);
  }
}

// Every string of the sample, in all three listings: the text the editor shows, unchanged,
// compresses to no more than the string occupies now.
TEST(TextCompressor, EveryStringOfTheSample) {
  test::TempFile file;
  file.WriteAll(MakeSampleRom(true));
  auto rom = test::OpenForTest(file.Path());
  TextDictionary dictionary;
  LoadTextDictionary(*rom, dictionary);
  DecoderState state;
  TextDecoder decoder(dictionary, state);
  const TextCompressor compressor(dictionary);

  for (ListingMode mode : {ListingMode::PointerTableListing, ListingMode::RawTextListing,
                           ListingMode::ExpandedRomListing}) {
    TextEntryTable table;
    BuildTextEntries(*rom, mode, table, decoder);
    ASSERT_GT(table.count(), 0);
    std::vector<std::string> texts;
    for (const TextEntry& e : table.entries) {
      std::string text;
      const int32_t size = decoder.Decode(*rom, SnesToFileOffset(e.textAddress), &text, DecodeFlags{});
      ASSERT_LE(compressor.Measure(text), size) << text;
      texts.push_back(std::move(text));
    }
    ExpectSameDecodeNoLarger(dictionary, texts);
  }
}

// The parse written the plain way, to hold the fast one to the very same bytes: the words looked
// up by their text in a map, every length tried from each position, the plain encoding built
// first and walked item by item.
Bytes ReferenceEncode(const TextDictionary& dictionary, std::string_view text) {
  std::map<std::string, int, std::less<>> slots;
  for (int slot = kDictionarySlots - 1; slot >= 1; --slot) {
    const std::string& w = dictionary.words[static_cast<size_t>(slot)];
    if (w.size() >= 3 && std::all_of(w.begin(), w.end(), IsPlainWordCharacter)) slots[w] = slot;
  }
  Bytes plain;
  std::vector<bool> typed;
  std::vector<uint32_t> tokens;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '[') {
      const size_t close = text.find(']', i);
      const size_t end = close == std::string_view::npos ? text.size() : close + 1;
      ParseBracketGroup(text.substr(i, end - i), tokens);
      for (uint32_t v : tokens) plain.push_back(static_cast<uint8_t>(v)), typed.push_back(false);
      i = end;
    } else {
      plain.push_back(static_cast<uint8_t>(text[i] + 0x30)), typed.push_back(true);
      ++i;
    }
  }
  Bytes out;
  auto encodeRun = [&](const std::string& run, int peeking) {
    const size_t n = run.size();
    std::vector<int> cost(n + 1, 0), slot(n + 1, -1), length(n + 1, 0);
    for (size_t i = n; i-- > 0;) {
      cost[i] = cost[i + 1] + 1;
      for (size_t l = 3; l <= 24 && i + l <= n; ++l) {
        const auto found = slots.find(std::string_view(run).substr(i, l));
        if (found == slots.end() || cost[i + l] + 2 >= cost[i]) continue;
        const uint8_t first = static_cast<uint8_t>(0x15 + found->second / 256);
        if (i == 0 && peeking >= 0 &&
            LookupControlCode(static_cast<uint8_t>(peeking), first) !=
                LookupControlCode(static_cast<uint8_t>(peeking), static_cast<uint8_t>(run[0] + 0x30))) {
          continue;
        }
        cost[i] = cost[i + l] + 2, slot[i] = found->second, length[i] = static_cast<int>(l);
      }
    }
    for (size_t i = 0; i < n;) {
      if (length[i] == 0) {
        out.push_back(static_cast<uint8_t>(run[i] + 0x30));
        ++i;
      } else {
        out.push_back(static_cast<uint8_t>(0x15 + slot[i] / 256));
        out.push_back(static_cast<uint8_t>(slot[i] % 256));
        i += static_cast<size_t>(length[i]);
      }
    }
  };
  std::string run;
  int peeking = -1;
  for (size_t i = 0; i < plain.size();) {
    const uint8_t b = plain[i];
    if (ClassifyByte(b) == ByteClass::Printable && typed[i]) {
      run.push_back(static_cast<char>(b - 0x30));
      ++i;
      continue;
    }
    encodeRun(run, peeking);
    run.clear();
    size_t length = 1;
    peeking = -1;
    if (ClassifyByte(b) == ByteClass::DictionaryReference) {
      length = 2;
    } else if (ClassifyByte(b) == ByteClass::ControlCode) {
      const uint8_t sub = HasSubCode(b) && i + 1 < plain.size() ? plain[i + 1] : 0xFF;
      const ControlCodeEntry* entry = LookupControlCode(b, sub);
      length = 1 + (entry ? entry->argumentCount : 0);
      if (HasSubCode(b) && length == 1) peeking = b;
    }
    length = std::min(length, plain.size() - i);
    out.insert(out.end(), plain.begin() + static_cast<std::ptrdiff_t>(i),
               plain.begin() + static_cast<std::ptrdiff_t>(i + length));
    i += length;
  }
  encodeRun(run, peeking);
  return out;
}

// The same bytes as the plain parse, and Measure agrees, on generated texts and dictionaries
// (words repeated in several slots, words too long to be used, words that share prefixes, some
// longer than eight characters, words at the ends of the printable range) and on every string of
// the sample; one scratch serves all.
TEST(TextCompressor, SameBytesAsThePlainParse) {
  std::mt19937 rng(1414);
  const std::string alphabet = "abc ,'\x5Cz{A[]";
  TextCompressor::Scratch scratch;
  Bytes out;
  for (int round = 0; round < 40; ++round) {
    TextDictionary dictionary;
    std::vector<std::string> words;
    for (int slot = 1; slot < kDictionarySlots; slot += 1 + static_cast<int>(rng() % 30)) {
      std::string w;
      const size_t length = round % 5 == 0 ? 20 + rng() % 10 : rng() % 9;
      for (size_t i = 0; i < length; ++i) w += alphabet[rng() % alphabet.size()];
      if (rng() % 4 == 0 && !words.empty()) w = words[rng() % words.size()];  // a repeat
      dictionary.words[static_cast<size_t>(slot)] = w;
      if (!w.empty()) words.push_back(w);
    }
    // A family of words that differ only past their eighth character, in slots anywhere.
    const std::string stem = "ab, c'z" + std::string(1 + rng() % 4, alphabet[rng() % 4]);
    for (const char* tail : {"", "b", "a", "ba", "ab", "c"}) {
      dictionary.words[1 + rng() % (kDictionarySlots - 1)] = stem + tail;
      words.push_back(stem + tail);
    }
    const TextCompressor compressor(dictionary);
    for (int i = 0; i < 40; ++i) {
      std::string text = RandomText(rng, words);
      for (int k = 0; k < 3; ++k) text += words[rng() % words.size()];
      const Bytes expected = ReferenceEncode(dictionary, text);
      compressor.Encode(text, scratch, out);
      ASSERT_EQ(out, expected) << text;
      ASSERT_EQ(compressor.Encode(text), expected) << text;
      const int32_t plainSize = MeasureText(text);
      ASSERT_EQ(compressor.Measure(text, scratch), plainSize < 0 ? plainSize : static_cast<int32_t>(expected.size()))
          << text;
    }
  }

  test::TempFile file;
  file.WriteAll(MakeSampleRom(true));
  auto rom = test::OpenForTest(file.Path());
  TextDictionary dictionary;
  LoadTextDictionary(*rom, dictionary);
  DecoderState state;
  TextDecoder decoder(dictionary, state);
  const TextCompressor compressor(dictionary);
  TextEntryTable table;
  BuildTextEntries(*rom, ListingMode::PointerTableListing, table, decoder);
  for (const TextEntry& e : table.entries) {
    std::string text;
    decoder.Decode(*rom, SnesToFileOffset(e.textAddress), &text, DecodeFlags{});
    compressor.Encode(text, scratch, out);
    ASSERT_EQ(out, ReferenceEncode(dictionary, text)) << text;
  }
}

TEST(BracketFaultColumn, PointsAtTheFirstFault) {
  const std::pair<const char*, int> cases[] = {
      {"", 0}, {"Hello[03 02]", 0}, {"[[03] ]", 0},
      {"]", 1}, {"ab]", 3}, {"[03", 1}, {"a[02", 2}, {"[[02]", 1}, {"[02]]", 5},
      {"[02] x] [03", 7},  // a stray "]" comes before an unclosed "["
      {"]x[", 1},
  };
  for (const auto& [text, column] : cases) EXPECT_EQ(BracketFaultColumn(text), column) << text;
}

}  // namespace
}  // namespace lettermoor
