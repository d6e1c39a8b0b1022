#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/text_compressor.h"
#include "codec/text_decoder.h"
#include "codec/text_encoder.h"
#include "codec/text_warnings.h"
#include "codec/bracket_check.h"
#include "codec/decode_items.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(TextEncoder, EncodesCharactersAndGroups) {
  EXPECT_EQ(TextEncoder("Hello[03 00 02]"), (Bytes{0x78, 0x95, 0x9C, 0x9C, 0x9F, 0x03, 0x00, 0x02}));
  EXPECT_EQ(TextEncoder(" Aaz"), (Bytes{0x50, 0x71, 0x91, 0xAA}));
  EXPECT_EQ(TextEncoder("{}"), (Bytes{0xAB, 0xAD}));
  EXPECT_EQ(TextEncoder("\r\n"), (Bytes{0x3D, 0x3A}));
  EXPECT_EQ(TextEncoder("\xD2"), (Bytes{0x02}));  // wraps round to the end code
}

TEST(TextEncoder, TokensAndBlanks) {
  EXPECT_EQ(TextEncoder("[]"), Bytes{});
  EXPECT_EQ(TextEncoder("[   ]"), Bytes{});
  EXPECT_EQ(TextEncoder("Hi[]").size(), 2u);
  EXPECT_EQ(TextEncoder("[03  00]"), (Bytes{0x03, 0x00}));
  EXPECT_EQ(TextEncoder("[ 03 00 ]"), (Bytes{0x03, 0x00}));
  EXPECT_EQ(TextEncoder("[0a ff]"), (Bytes{0x0A, 0xFF}));
  EXPECT_EQ(TextEncoder("[0G]"), Bytes{0x00});
  EXPECT_EQ(TextEncoder("[G1]"), Bytes{0x01});
  EXPECT_EQ(TextEncoder("[1G]"), Bytes{0x10});
  EXPECT_EQ(TextEncoder("[123]"), Bytes{0x23});
  EXPECT_EQ(TextEncoder("[5]"), Bytes{0x05});
  EXPECT_EQ(TextEncoder("[0x1F]"), Bytes{0x1F});
  EXPECT_EQ(TextEncoder("[FFFFFFFFFFFF12]"), Bytes{0x12});  // the value wraps, the last digits stay
  EXPECT_EQ(TextEncoder("[[03] ]"), (Bytes{0x03, 0x50, 0x8D}));
}

TEST(TextEncoder, HexDigitValues) {
  EXPECT_EQ(HexDigitValue('0'), 0);
  EXPECT_EQ(HexDigitValue('9'), 9);
  EXPECT_EQ(HexDigitValue('a'), 10);
  EXPECT_EQ(HexDigitValue('F'), 15);
  EXPECT_EQ(HexDigitValue('g'), 0);
  EXPECT_EQ(HexDigitValue('['), 0);
}

TEST(MeasureText, CountsOrRefusesUnbalancedBrackets) {
  EXPECT_EQ(MeasureText(""), 0);
  EXPECT_EQ(MeasureText("Hello[03 00 02]"), 8);
  for (const char* bad : {"[03", "a[02", "[[02]", "[02]]", "]"}) EXPECT_EQ(MeasureText(bad), -1) << bad;
  EXPECT_EQ(MeasureText("[[03] ]"), 3);
  // Balanced counts in the wrong order pass; the last group runs to the end of the text.
  EXPECT_EQ(MeasureText("]x["), 2);
  EXPECT_EQ(TextEncoder("]x["), (Bytes{0x8D, 0xA8}));
  EXPECT_EQ(TextEncoder("a[1 2"), (Bytes{0x91, 0x01, 0x02}));
}

// Texts as long as a keystroke's (thousands of characters, past the lengths the checks take in
// one step): a stray bracket anywhere is a bracket error, a character outside the game's anywhere
// outside a group is refused at its column, and a text of words and groups alone measures as its
// encoding.
TEST(MeasureText, LongTextsAreCheckedToTheirLastCharacter) {
  std::mt19937 random(5);
  const char kBad[] = {'\t', '{', '~', '\x7F'};
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> tokens;
    for (size_t n = random() % 1500; n > 0; --n) {
      if (random() % 3) {
        tokens.push_back(std::string(1 + random() % 6, static_cast<char>('a' + random() % 26)) + " ");
      } else {
        char group[16];
        std::snprintf(group, sizeof group, "[%02X %02X]", static_cast<unsigned>(random() % 256),
                      static_cast<unsigned>(random() % 256));
        tokens.push_back(group);
      }
    }
    const int fault = static_cast<int>(random() % 3);  // none, a stray bracket, a character not the game's
    const size_t at = tokens.empty() ? 0 : random() % tokens.size();
    std::string before;
    for (size_t k = 0; k < at; ++k) before += tokens[k];
    std::string text = before;
    if (fault == 1) text += random() % 2 ? "[" : "]";
    if (fault == 2) text += kBad[random() % sizeof kBad];
    for (size_t k = at; k < tokens.size(); ++k) text += tokens[k];
    SCOPED_TRACE(testing::Message() << "round " << round << ", " << text.size() << " characters");
    const std::optional<NonGameCharacter> found = FindNonGameCharacter(text);
    ASSERT_EQ(found.has_value(), fault == 2);
    if (found) { EXPECT_EQ(found->column, static_cast<int>(before.size()) + 1); }
    const int32_t measure = MeasureText(text);
    if (fault == 0) {
      EXPECT_EQ(measure, static_cast<int32_t>(TextEncoder(text).size()));
    } else {
      EXPECT_EQ(measure, fault == 1 ? kMeasureBracketError : kMeasureNonGameCharacter);
    }
  }
}

// Characters the decoder never shows for a character byte are refused, not encoded into some other
// byte: "\xC3\x92" (a typed O with grave) used to become 0x02 and end the string there.
TEST(MeasureText, RefusesCharactersThatAreNotGameCharacters) {
  struct Case {
    const char* text;
    int32_t measure;
    char32_t character;  // 0: none refused
    int column;
  };
  const Case cases[] = {
      {"Caf\xC3\xA9[02]", kMeasureNonGameCharacter, U'\u00E9', 4},
      {"It\xE2\x80\x99s", kMeasureNonGameCharacter, U'\u2019', 3},
      {"\xC3\x92", kMeasureNonGameCharacter, U'\u00D2', 1},
      {"a\tb", kMeasureNonGameCharacter, U'\t', 2},
      {"line\r\nnext", kMeasureNonGameCharacter, U'\r', 5},
      {"{x}", kMeasureNonGameCharacter, U'{', 1},
      {"[03 \xC3\xA9]~", kMeasureNonGameCharacter, U'~', 7},  // the group's own characters count as columns
      {"ab\xE9", kMeasureNonGameCharacter, 0xE9, 3},          // a Latin-1 byte is not UTF-8
      {"Hello, world! z[02]", 16, 0, 0},
      {"[\xC3\xA9 02]", 2, 0, 0},                             // inside brackets every byte has a code
      {"\xC3\xA9[02", kMeasureBracketError, U'\u00E9', 1},  // the bracket error is told first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(MeasureText(c.text), c.measure);
    const std::optional<NonGameCharacter> found = FindNonGameCharacter(c.text);
    ASSERT_EQ(found.has_value(), c.character != 0);
    if (!found) continue;
    EXPECT_EQ(found->character, c.character);
    EXPECT_EQ(found->column, c.column);
    const std::string said = DescribeNonGameCharacter(*found);
    EXPECT_NE(said.find("column " + std::to_string(c.column)), std::string::npos) << said;
    // A visible character is named as typed; a control character and a stray byte by code only.
    const bool visible = c.character > U' ' && !found->malformed;
    EXPECT_EQ(said.find("\"" + found->utf8 + "\"") != std::string::npos, visible) << said;
  }
}

// Both writers refuse such a character as what it is, not as bytes past the end of the file.
TEST(WriteText, WritesNothingForACharacterThatIsNotAGameCharacter) {
  test::SyntheticRom image(0x100, "");
  auto file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  TextDictionary dictionary;
  const TextCompressor compressor(dictionary);
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed);
    const std::string_view text = "A\xC3\x92" "B";
    const WriteTextResult result =
        compressed ? WriteCompressedText(*rom, 0x10, text, compressor) : WriteText(*rom, 0x10, text);
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.refusal, TextRefusal::NonGameCharacter);
    EXPECT_EQ(file->ReadAll(), image.Bytes());
  }
}

// A text is refused as MeasureText refuses it (brackets first), at the column of the stray
// bracket or of the character; otherwise it gives the bytes the encoder, or the compressor, gives.
TEST(EncodeForWrite, RefusesWithKindAndColumnOrGivesTheBytes) {
  TextDictionary dictionary;
  dictionary.words[1] = "lamp";
  const TextCompressor compressor(dictionary);
  struct Case {
    const char* text;
    TextRefusal refusal;
    int column;
  };
  const Case cases[] = {
      {"", TextRefusal::None, 0},
      {"The lamp was lit.[02]", TextRefusal::None, 0},
      {"]x[", TextRefusal::None, 0},  // balanced counts pass, as MeasureText lets them
      {"[\xC3\xA9 02]", TextRefusal::None, 0},
      {"[03", TextRefusal::Brackets, 1},
      {"a[02", TextRefusal::Brackets, 2},
      {"[[02]", TextRefusal::Brackets, 2},  // groups do not nest: the second "[" is the stray one
      {"[02]]", TextRefusal::Brackets, 5},
      {"]", TextRefusal::Brackets, 1},
      {"\xC3\xA9 [02", TextRefusal::Brackets, 3},  // a character of two bytes is one column
      {"\xC3\xA9[02", TextRefusal::Brackets, 2},   // the bracket is told first
      {"Caf\xC3\xA9[02]", TextRefusal::NonGameCharacter, 4},
      {"[03 \xC3\xA9]~", TextRefusal::NonGameCharacter, 7},
      {"ab\xE9", TextRefusal::NonGameCharacter, 3},
      {"a\tb", TextRefusal::NonGameCharacter, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    for (const TextCompressor* with : {static_cast<const TextCompressor*>(nullptr), &compressor}) {
      const EncodedText encoded = EncodeForWrite(c.text, with);
      EXPECT_EQ(encoded.refusal, c.refusal);
      EXPECT_EQ(encoded.column, c.column);
      EXPECT_EQ(encoded.Ok(), c.refusal == TextRefusal::None);
      if (c.refusal == TextRefusal::NonGameCharacter) { EXPECT_EQ(encoded.character.column, c.column); }
      if (!encoded.Ok()) {
        EXPECT_TRUE(encoded.bytes.empty());
        continue;
      }
      EXPECT_EQ(encoded.bytes, with ? compressor.Encode(c.text) : TextEncoder(c.text));
      EXPECT_EQ(static_cast<int32_t>(encoded.bytes.size()), with ? compressor.Measure(c.text) : MeasureText(c.text));
    }
  }
  // The compressor's words are used.
  EXPECT_LT(EncodeForWrite("The lamp was lit.[02]", &compressor).bytes.size(),
            EncodeForWrite("The lamp was lit.[02]", nullptr).bytes.size());
}

TEST(ParseBracketGroup, GivesTokensOrRefuses) {
  std::vector<uint32_t> values;
  EXPECT_EQ(ParseBracketGroup("03 00]", values), -1);
  EXPECT_EQ(ParseBracketGroup("[03 1F 123]", values), 3);
  EXPECT_EQ(values, (std::vector<uint32_t>{0x03, 0x1F, 0x123}));
  // Far more than 256 tokens in one group.
  std::string many = "[";
  for (int i = 0; i < 1000; ++i) many += "0A ";
  many += "]";
  EXPECT_EQ(ParseBracketGroup(many, values), 1000);
  EXPECT_EQ(TextEncoder(many).size(), 1000u);
}

TEST(WriteText, WritesEveryByteInPlace) {
  test::SyntheticRom image(0x4000, "");
  auto file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  std::string text = "[";
  for (int i = 0; i < 3000; ++i) text += "41 ";
  text += "]";
  WriteTextResult result = WriteText(*rom, 0x100, text);
  EXPECT_TRUE(result.written);
  EXPECT_EQ(result.byteCount, 3000);  // no staging limit
  auto bytes = file->ReadAll();
  EXPECT_EQ(bytes[0x100], 0x41);
  EXPECT_EQ(bytes[0x100 + 2999], 0x41);
  EXPECT_EQ(bytes[0x100 + 3000], 0x00);
  EXPECT_EQ(rom->ReadByte(0x100 + 2999), 0x41);  // later reads see the new bytes

  WriteTextResult empty = WriteText(*rom, 0x100, "");
  EXPECT_TRUE(empty.written);
  EXPECT_EQ(empty.byteCount, 0);

  WriteTextResult tooFar = WriteText(*rom, 0x3FFE, "abc");
  EXPECT_FALSE(tooFar.written);
  EXPECT_EQ(file->ReadAll().size(), 0x4000u);
  EXPECT_EQ(file->ReadAll()[0x3FFE], 0x00);
}

// Decoding a string that has no dictionary reference and no bracket character, then encoding
// the text, gives back the very bytes, for strings built from every kind of item.
TEST(RoundTrip, DecodeThenEncodeGivesTheOriginalBytes) {
  std::mt19937 random(20261207);
  std::vector<uint8_t> printable;
  for (int b = 0x50; b <= 0xAA; ++b) {
    if (b != 0x8B && b != 0x8D) printable.push_back(static_cast<uint8_t>(b));
  }
  std::vector<uint8_t> codes;  // every undescribed code byte: each stands alone
  for (int b = 0; b < 256; ++b) {
    const auto c = static_cast<uint8_t>(b);
    if (ClassifyByte(c) == ByteClass::ControlCode && !HasSubCode(c) && !LookupControlCode(c, 0)) {
      codes.push_back(c);
    }
  }
  const auto& table = ControlCodeTable();

  TextDictionary dictionary;
  DecoderState state;
  TextDecoder decoder(dictionary, state);
  test::SyntheticRom image(0x200000, "");
  int64_t at = 0x10;
  std::vector<std::pair<int64_t, Bytes>> strings;
  for (int s = 0; s < 3000; ++s) {
    Bytes bytes;
    const int items = static_cast<int>(random() % 40);
    for (int i = 0; i < items; ++i) {
      switch (random() % 3) {
        case 0: bytes.push_back(printable[random() % printable.size()]); break;
        case 1: {  // a described code with its arguments, never an early end code
          const ControlCodeEntry& e = table[random() % table.size()];
          if (e.code == 0x02) break;
          bytes.push_back(e.code);
          for (int a = 0; a < e.argumentCount; ++a) {
            uint8_t arg = static_cast<uint8_t>(random());
            if (a == 0 && e.subCode >= 0) arg = static_cast<uint8_t>(e.subCode);
            bytes.push_back(arg);
          }
          break;
        }
        default: bytes.push_back(codes[random() % codes.size()]); break;
      }
    }
    bytes.push_back(0x02);
    image.Put(at, bytes);
    strings.emplace_back(at, bytes);
    at += static_cast<int64_t>(bytes.size()) + 8;
  }
  auto file = image.Save();
  auto rom = test::OpenForTest(file->Path());
  int checked = 0;
  for (const auto& [offset, bytes] : strings) {
    std::string text;
    const int32_t size = decoder.Decode(*rom, offset, &text, DecodeFlags{true, false});
    // Arguments may hold an end code or a reference that cuts the string short; those are not
    // plain strings, so compare what the decoder says the string is.
    Bytes consumed(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), static_cast<size_t>(size)));
    if (static_cast<size_t>(size) > bytes.size()) continue;
    bool hasReference = false;
    for (uint8_t b : consumed) hasReference |= (b >= 0x15 && b <= 0x17);
    if (hasReference) continue;
    EXPECT_EQ(TextEncoder(text), consumed) << text;
    EXPECT_EQ(MeasureText(text), size) << text;
    ++checked;
  }
  EXPECT_GT(checked, 2000);
}

}  // namespace
}  // namespace lettermoor

namespace lettermoor {
namespace {

// The checks and the encoding of every keystroke read sixteen characters at a time: on random
// texts of every length around that, they agree with a plain walk character by character.
TEST(KeystrokeFastPaths, AgreeWithAPlainWalk) {
  // Plain characters, group characters, characters that are not the game's (a tab, "{", a
  // two-byte UTF-8 letter, a byte that is not UTF-8) and the end code's group.
  const std::vector<std::string> pieces = {"a", "Z", " ", "!", "z", "[", "]", "0", "2", " ", "[02]", "[02",
                                           "\t", "{", "\xC3\xA9", "\x80", "[03 00]", "Hello there"};
  std::mt19937 random(20261208);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 24);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    SCOPED_TRACE(text);
    // The plain walk: each character outside a group is its byte, each group its tokens.
    Bytes plain;
    int column = 0, firstBad = 0;
    for (size_t i = 0; i < text.size();) {
      if (text[i] == '[') {
        const size_t end = WalkBracketGroup(text, i, [&](const BracketToken& t) { plain.push_back(t.Byte()); });
        // A character each, but the second byte of the two-byte letter (a stray 0x80 counts one).
        for (size_t k = i; k < end; ++k) column += !(text[k] == '\xA9' && k > i && text[k - 1] == '\xC3');
        i = end;
        continue;
      }
      const auto u = static_cast<unsigned char>(text[i]);
      ++column;
      if ((u < kFirstGameCharacter || u > kLastGameCharacter) && firstBad == 0) firstBad = column;
      plain.push_back(kGameCharacters.ByteOf(text[i]));
      i += u >= 0xC0 ? 2 : 1;  // the only multi-byte piece is two bytes long
      if (u >= 0xC0) plain.push_back(kGameCharacters.ByteOf(text[i - 1]));
    }
    const bool balanced = std::count(text.begin(), text.end(), '[') == std::count(text.begin(), text.end(), ']');
    EXPECT_EQ(TextEncoder(text), plain);
    const std::optional<NonGameCharacter> bad = FindNonGameCharacter(text);
    EXPECT_EQ(bad ? bad->column : 0, firstBad);
    EXPECT_EQ(MeasureText(text), !balanced    ? kMeasureBracketError
                                 : firstBad ? kMeasureNonGameCharacter
                                            : static_cast<int32_t>(plain.size()));
    // The end code's warnings: the first end code met item by item.
    size_t at = 0;
    while (at < plain.size() && plain[at] != 0x02) {
      at += static_cast<size_t>(ItemLength(plain[at], at + 1 < plain.size() ? plain[at + 1] : uint8_t{0xFF}));
    }
    const std::vector<TextWarning> warnings = EndCodeWarnings(plain);
    const TextWarningKind expected = at >= plain.size()       ? TextWarningKind::EndCodeMissing
                                     : at + 1 < plain.size() ? TextWarningKind::EndCodeNotLast
                                                              : TextWarningKind::CodesDiffer;  // none
    EXPECT_EQ(warnings.empty() ? TextWarningKind::CodesDiffer : warnings.front().kind, expected);
  }
}

}  // namespace
}  // namespace lettermoor
