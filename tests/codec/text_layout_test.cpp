#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codec/rom_fonts.h"
#include "codec/text_dictionary.h"
#include "codec/text_encoder.h"
#include "codec/text_layout.h"
#include "codec/text_window_picture.h"
#include "entries/text_entry_table.h"
#include "sample/sample_font.h"
#include "sample/sample_rom.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using text_window::FontId;

// Made-up widths: every character 7 pixels wide (8 with the spacing), 'b' 8, 'W' 9 (the widest);
// in the Mr. Saturn font every character is 9.
LayoutWidths MadeUpWidths() {
  LayoutWidths w;
  for (auto& font : w.widths) font.fill(7);
  auto set = [&](FontId font, char c, uint8_t width) {
    w.widths[static_cast<size_t>(font)][static_cast<size_t>(text_window::FontIndex(static_cast<uint8_t>(c + 0x30)))] = width;
  };
  for (FontId font : {FontId::Main, FontId::Battle}) {
    set(font, 'b', 8);
    set(font, 'W', 9);
  }
  w.widths[static_cast<size_t>(FontId::MrSaturn)].fill(9);
  w.widest.fill(9);
  return w;
}

// The layout in a few characters: each line's printed text, "~" before a line the game wrapped,
// "/" after a line that cuts a word, "!" for one running over, "?" for one resting on an
// estimate, then ":" and its width; "{S}" is a substitution. After "#" the frames, each as its
// first and last line and the wait code.
std::string Summary(const TextLayoutResult& r) {
  std::string s;
  for (size_t n = 0; n < r.lines.size(); ++n) {
    const LayoutLine& line = r.lines[n];
    if (n > 0) s += " | ";
    if (line.wrapped) s += "~";
    for (int32_t k = line.firstItem; k < line.firstItem + line.itemCount; ++k) {
      const LayoutItem& item = r.items[static_cast<size_t>(k)];
      if (item.kind == LayoutItem::Character && !item.dropped) s += static_cast<char>(item.value - 0x30);
      if (item.kind == LayoutItem::Substitution) s += "{S}";
    }
    if (line.cut) s += "/";
    if (line.overflow) s += "!";
    if (line.estimated) s += "?";
    s += ":" + std::to_string(line.width);
  }
  s += " #";
  for (const LayoutFrame& f : r.frames) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " %d-%d:%02X", f.firstLine, f.lastLine, f.waitCode);
    s += buf;
  }
  return s;
}

// Texts of 1 to `longest` pieces drawn from `pieces`, the same ones for the same seed.
class RandomTexts {
 public:
  RandomTexts(const std::vector<std::vector<uint8_t>>& pieces, uint64_t seed) : pieces_(pieces), seed_(seed) {}

  std::vector<uint8_t> Next(uint32_t longest) {
    std::vector<uint8_t> text;
    const uint32_t length = 1 + Draw() % longest;
    for (uint32_t n = 0; n < length; ++n) {
      const std::vector<uint8_t>& piece = pieces_[Draw() % pieces_.size()];
      text.insert(text.end(), piece.begin(), piece.end());
    }
    return text;
  }

 private:
  uint32_t Draw() {
    seed_ = seed_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(seed_ >> 33);
  }

  const std::vector<std::vector<uint8_t>>& pieces_;
  uint64_t seed_;
};

TEST(TextLayout, LaysOutAsTheGamePrints) {
  TextDictionary dictionary;
  dictionary.words[1] = "aaaa";
  dictionary.words[2] = "a a";
  const LayoutWidths widths = MadeUpWidths();
  const TextLayout layout(dictionary, widths);

  struct Case {
    const char* what;
    const char* text;
    TextWindowKind kind;
    const char* expected;
  };
  const Case cases[] = {
      {"exact fit", "aaaaaaaa aaaaaaaa[02]", TextWindowKind::Dialogue, "aaaaaaaa aaaaaaaa:136 # 0-0:00"},
      {"one pixel over wraps the word", "aaaaaaaa aaaaaaab", TextWindowKind::Dialogue,
       "aaaaaaaa :72 | ~aaaaaaab:71 # 0-1:00"},
      {"a blank that does not fit is dropped", "aaaaaaaaaaaaaaaaa b", TextWindowKind::Dialogue,
       "aaaaaaaaaaaaaaaaa:136 | ~b:15 # 0-1:00"},
      {"a wrapped line starting with the bullet is not indented", "aaaaaaaaaaaaaaaa @aa",
       TextWindowKind::Dialogue, "aaaaaaaaaaaaaaaa :136 | ~@aa:24 # 0-1:00"},
      {"01 at a line's start does nothing", "[01]abc[00][01]de", TextWindowKind::Dialogue,
       "abc:25 | de:16 # 0-1:00"},
      {"01 mid-line starts a new line", "ab[01]cd", TextWindowKind::Dialogue, "ab:17 | cd:16 # 0-1:00"},
      {"00 starts a line without indent", "ab[00] cd", TextWindowKind::Dialogue, "ab:17 |  cd:24 # 0-1:00"},
      {"a dictionary word joins the word it stands in", "aaaaaaaaaa [15 01]aaa", TextWindowKind::Dialogue,
       "aaaaaaaaaa :88 | ~aaaaaaa:62 # 0-1:00"},
      {"a dictionary word that fits", "aaaaaaaaaa [15 01]aa", TextWindowKind::Dialogue,
       "aaaaaaaaaa aaaaaa:136 # 0-0:00"},
      {"a dictionary word's own blank ends a word", "aaaaaaaaaaaaaaaa[15 02]", TextWindowKind::Dialogue,
       "aaaaaaaaaaaaaaaaa:136 | ~a:14 # 0-1:00"},
      {"a substitution wraps as one unit", "aaaaaaaaaa [1C 02 01]!", TextWindowKind::Dialogue,
       "aaaaaaaaaa :88 | ~{S}!?:74 # 0-1:00"},
      {"a substitution wider than a line runs over", "a [1C 05 01]", TextWindowKind::Dialogue,
       "a :16 | ~{S}!?:256 # 0-1:00"},
      {"a word longer than the line is cut", "aaaaaaaaaaaaaaaaaaaa", TextWindowKind::Dialogue,
       "aaaaaaaaaaaaaaaaa/:136 | ~aaa:30 # 0-1:00"},
      {"a long word mid-line wraps, then is cut", "aa aaaaaaaaaaaaaaaaaaaa", TextWindowKind::Dialogue,
       "aa :24 | ~aaaaaaaaaaaaaaaa/:134 | ~aaaa:38 # 0-2:00"},
      {"a new line on the last line scrolls", "a[00]b[00]c[00]d[03]e[13]", TextWindowKind::Dialogue,
       "a:8 | b:9 | c:8 | de:16 # 1-3:03 1-3:13"},
      {"waits split the frames", "a[03][00]b[03][00]c[00]d[14][02]", TextWindowKind::Dialogue,
       "a:8 | b:9 | c:8 | d:8 # 0-0:03 0-1:03 1-3:14"},
      {"18 06 clears the window and is one item", "a[03][18 06]b[03]", TextWindowKind::Dialogue,
       "a:8 | b:9 # 0-0:03 1-1:03"},
      {"18 06 on an empty line", "a[00][18 06]b", TextWindowKind::Dialogue, "a:8 | b:9 # 1-1:00"},
      {"the battle window is wider and shorter", "aaaaaaaaaa aaaaaaaaaa[00]b[00]c", TextWindowKind::Battle,
       "aaaaaaaaaa aaaaaaaaaa:168 | b:9 | c:8 # 1-2:00"},
      {"the Mr. Saturn font and back", "[1F 31]aa[1F 30]aa", TextWindowKind::Dialogue, "aaaa:36 # 0-0:00"},
      {"other codes end a word", "aaaaaaaaaaaaaaaa[10 05]aa", TextWindowKind::Dialogue,
       "aaaaaaaaaaaaaaaa:128 | ~aa:22 # 0-1:00"},
      {"a cut line that scrolls away before the wait has a frame of its own",
       "aaaaaaaaaaaaaaaaaaaa[00]b[00]c[00]d[03]", TextWindowKind::Dialogue,
       "aaaaaaaaaaaaaaaaa/:136 | ~aaa:30 | b:9 | c:8 | d:8 # 0-0:00 2-4:03"},
  };
  TextLayoutResult result;
  for (const Case& c : cases) {
    layout.Lay(TextEncoder(c.text), c.kind, result);
    EXPECT_EQ(Summary(result), c.expected) << c.what << ": " << c.text;
  }

  // Items remember the bytes they came from: a clear-window pair is one two-byte item.
  layout.Lay(TextEncoder("a[18 06]b[02]zz"), TextWindowKind::Dialogue, result);
  ASSERT_EQ(result.items.size(), 4u);
  EXPECT_EQ(result.items[1].kind, LayoutItem::ClearWindow);
  EXPECT_EQ(result.items[1].byteCount, 2);
  EXPECT_EQ(result.items[2].source, 3);
  EXPECT_EQ(result.size, 5);  // up to and with the end code
}

// The check's short cut (no lines worked out when no word is too wide for a wrapped line) finds
// exactly the faults the full layout finds, on random texts of words, blanks, codes, dictionary
// words and substitutions.
TEST(TextLayout, CheckFindsWhatTheFullLayoutFinds) {
  TextDictionary dictionary;
  dictionary.words[1] = "aaaa";
  dictionary.words[2] = "a a";
  dictionary.words[3] = "WWWWWWWW";
  // Words with blanks whose widest stretch lies inside them, or after their last blank.
  dictionary.words[4] = "a WWWWWWWWWWWWWWWWWWWW b";
  dictionary.words[5] = "b WWWWWWWWW";
  const LayoutWidths widths = MadeUpWidths();
  const TextLayout layout(dictionary, widths);
  const std::vector<std::vector<uint8_t>> pieces = {
      {0x91}, {0x91}, {0x91}, {0x92}, {0xA7}, {0x50}, {0x50}, {0x70}, {0x00}, {0x01}, {0x03}, {0x13},
      {0x18, 0x06}, {0x15, 0x01}, {0x15, 0x02}, {0x15, 0x03}, {0x15, 0x04}, {0x15, 0x05}, {0x1C, 0x02, 0x01},
      {0x1C, 0x05, 0x01}, {0x1F, 0x31}, {0x1F, 0x30}, {0x10, 0x05}};
  RandomTexts random(pieces, 0x5EED);
  TextLayoutResult full, check;
  int faults = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::vector<uint8_t> text = random.Next(60);
    for (TextWindowKind kind : {TextWindowKind::Dialogue, TextWindowKind::Battle}) {
      for (bool estimates : {false, true}) {
        layout.Lay(text, kind, full);
        layout.LayForCheck(text, kind, estimates, check);
        ASSERT_EQ(check.size, full.size) << "round " << round;
        const std::string expected = LayoutFault(full, estimates);
        faults += !expected.empty();
        ASSERT_EQ(LayoutFault(check, estimates), expected) << "round " << round;
      }
    }
  }
  EXPECT_GT(faults, 1000);  // the texts do run over and cut words
  // A word one character longer each time, after blanks and codes, crosses the width at which a
  // wrapped line cuts it: the quick look must see the crossing to the pixel.
  for (const uint8_t letter : {uint8_t{0x91}, uint8_t{0x92}, uint8_t{0x87}}) {
    for (int length = 1; length < 40; ++length) {
      std::vector<uint8_t> text = {0x50, 0x91, 0x50, 0x50, 0x03};
      text.insert(text.end(), static_cast<size_t>(length), letter);
      text.push_back(0x02);
      for (TextWindowKind kind : {TextWindowKind::Dialogue, TextWindowKind::Battle}) {
        layout.Lay(text, kind, full);
        layout.LayForCheck(text, kind, false, check);
        ASSERT_EQ(LayoutFault(check, false), LayoutFault(full, false)) << length;
      }
    }
  }
}

// Every line that runs over or cuts a word is seen whole in some frame, however the window
// scrolls; frames keep the order they are printed in, and only such lines get passing frames.
TEST(TextLayout, EveryLineThatDoesNotFitIsInAFrame) {
  TextDictionary dictionary;
  dictionary.words[3] = "WWWWWWWW";
  const LayoutWidths widths = MadeUpWidths();
  const TextLayout layout(dictionary, widths);
  const std::vector<std::vector<uint8_t>> pieces = {
      {0x91}, {0x91}, {0x92}, {0x50}, {0x50}, {0x00}, {0x00}, {0x00}, {0x01}, {0x03}, {0x13},
      {0x18, 0x06}, {0x15, 0x03}, {0x15, 0x03}, {0x1C, 0x05, 0x01}};
  RandomTexts random(pieces, 0xF4A3E);
  TextLayoutResult r;
  int passing = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::vector<uint8_t> text = random.Next(80);
    for (TextWindowKind kind : {TextWindowKind::Dialogue, TextWindowKind::Battle}) {
      layout.Lay(text, kind, r);
      for (size_t f = 1; f < r.frames.size(); ++f) ASSERT_GE(r.frames[f].endItem, r.frames[f - 1].endItem) << round;
      for (int32_t n = 0; n < static_cast<int32_t>(r.lines.size()); ++n) {
        const LayoutLine& line = r.lines[static_cast<size_t>(n)];
        const int32_t end = line.firstItem + line.itemCount;
        const bool shown = std::any_of(r.frames.begin(), r.frames.end(), [&](const LayoutFrame& f) {
          return f.firstLine <= n && (f.lastLine > n || (f.lastLine == n && f.endItem >= end));
        });
        if (line.overflow || line.cut) { ASSERT_TRUE(shown) << "round " << round << ", line " << n; }
      }
      for (const LayoutFrame& f : r.frames) {
        if (!f.passing) continue;
        ++passing;
        const LayoutLine& line = r.lines[static_cast<size_t>(f.lastLine)];
        ASSERT_TRUE(line.overflow || line.cut) << round;
        ASSERT_EQ(f.waitCode, 0) << round;
        ASSERT_LE(f.lastLine - f.firstLine + 1, ShapeOf(kind).lines) << round;
      }
    }
  }
  EXPECT_GT(passing, 100);  // the texts do scroll such lines away
}

TEST(RomFonts, ReadsTheTableAndNeverOutsideTheFile) {
  std::vector<uint8_t> image = MakeSampleRom(false);
  RomFonts fonts = ReadRomFonts(image);
  const RomFont& main = fonts.Of(FontId::Main);
  ASSERT_TRUE(main.readable);
  EXPECT_EQ(main.widthOffset, kSampleMainWidthsOffset);
  EXPECT_EQ(main.height, 16);
  EXPECT_EQ(main.Width(0x50), 3);   // the blank
  EXPECT_EQ(main.Width(0x99), 1);   // i
  EXPECT_EQ(main.Width(0x9D), 5);   // m
  EXPECT_EQ(main.widest, 5);
  EXPECT_FALSE(main.Pixel(0x91, 1, 4));                // 'a': its art's second row is blank
  EXPECT_TRUE(main.Pixel(0x91, 1, 5));                 // and its third starts ".##."
  EXPECT_FALSE(main.Pixel(0x99, 0, 4));                // 'i' has a gap below its dot
  EXPECT_TRUE(main.Pixel(0x99, 0, 3));
  EXPECT_FALSE(main.Pixel(0x99, 1, 3));                // past its width
  EXPECT_EQ(fonts.Of(FontId::MrSaturn).Width(0x99), 2);
  EXPECT_TRUE(fonts.Of(FontId::Battle).readable);

  // Records that lead outside the file, or claim impossible sizes, leave the font unreadable.
  struct Bad {
    int field;
    uint32_t value;
    int bytes;
  };
  for (const Bad& bad : {Bad{0, 0xFFFFFFFF, 4}, Bad{4, 0xC00000 + 0x2FFFF0, 4}, Bad{4, 0, 4},
                         Bad{8, 0, 2}, Bad{10, 0, 2}, Bad{10, 33, 2}, Bad{8, 31, 2}}) {
    std::vector<uint8_t> broken = image;
    for (int i = 0; i < bad.bytes; ++i) {
      broken[static_cast<size_t>(text_window::kFontTableOffset + bad.field + i)] = static_cast<uint8_t>(bad.value >> (8 * i));
    }
    EXPECT_FALSE(ReadRomFonts(broken).Of(FontId::Main).readable) << bad.field << " " << bad.value;
  }
  // The fonts lie below the text window, so no listed string can start among them.
  EXPECT_LT(kSampleFontsEnd, kTextWindowFirst);

  std::vector<uint8_t> tiny(0x3F260, 0);
  EXPECT_FALSE(ReadRomFonts(tiny).Of(FontId::Main).readable);
}

}  // namespace
}  // namespace lettermoor
