// The list fill, Find and the dump take shortcuts (one look at the file per command, one decode
// per string, reused buffers, the decoder's lean path). Each is checked here against the plain
// procedure it stands in for, built from the item-by-item decode: the same rows, table, texts,
// hits, dump bytes and decoder state.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "codec/text_decoder.h"
#include "codec/text_dictionary.h"
#include "editor/editor_window.h"
#include "entries/text_entry_table.h"
#include "rom/rom_file.h"
#include "rom/snes_address.h"
#include "sample/sample_rom.h"
#include "support/fake_editor_view.h"
#include "support/reference_decoder.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::FakeEditorView;

// What a fill shows, worked out the plain way: every raw or expanded string decoded once for its
// size, every entry once more for its preview, then row 0 for the edit box, item by item, with
// one shared decoder state that starts as `lastDescribed`.
struct PlainFill {
  TextEntryTable table;
  std::vector<std::string> rows;
  std::string row0;
  bool lastDescribed = false;
};

PlainFill MakePlainFill(const RomFile& rom, ListingMode mode, bool lastDescribed) {
  TextDictionary dictionary;
  LoadTextDictionary(rom, dictionary);
  DecoderState state;
  state.lastCodeDescribed = lastDescribed;
  auto decode = [&](int64_t offset, std::string* text, DecodeFlags flags) {
    return test::ReferenceDecode(rom, offset, dictionary, state, text, flags);
  };
  PlainFill fill;
  BuildTextEntries(rom, mode, fill.table,
                   [&](int64_t offset) { return decode(offset, nullptr, DecodeFlags{true, false}); });
  std::string text;
  for (const TextEntry& e : fill.table.entries) {
    decode(SnesToFileOffset(e.textAddress), &text, DecodeFlags{false, false});
    fill.rows.push_back(text.substr(0, kRowPreviewLength));
  }
  if (!fill.table.entries.empty()) {
    decode(SnesToFileOffset(fill.table.entries[0].textAddress), &fill.row0, DecodeFlags{true, false});
  }
  fill.lastDescribed = state.lastCodeDescribed;
  return fill;
}

// The bracketed text of every row, item by item.
std::vector<std::string> PlainTexts(const RomFile& rom, const TextEntryTable& table) {
  TextDictionary dictionary;
  LoadTextDictionary(rom, dictionary);
  DecoderState state;
  std::vector<std::string> texts;
  std::string text;
  for (const TextEntry& e : table.entries) {
    test::ReferenceDecode(rom, SnesToFileOffset(e.textAddress), dictionary, state, &text, DecodeFlags{true, false});
    texts.push_back(text);
  }
  return texts;
}

// A ROM whose fill ends in a state that only a faithful decode of every row gives: row 0 of
// the raw listing has no control code (so the edit box decode keeps the state the previews
// left), and every string of the last raw range ends at the size limit after an undescribed code.
test::SyntheticRom StateRom() {
  test::SyntheticRom image;
  image.Dictionary({"lantern", "", "harbour"});
  image.Put(kRawTextRanges[0].start, std::vector<uint8_t>(4000, 0x60));
  std::vector<uint8_t> tail;
  while (tail.size() < 0x6000) {
    tail.push_back(0x07);
    tail.insert(tail.end(), 3999, 0x61);
  }
  image.Put(kRawTextRanges[10].start, tail);
  image.Put(0x60000, {0x61, 0x15, 0x01, 0x1F, 0x00, 0x05, 0x02});
  image.ClearPointers();
  image.PointerRecord(0, FileOffsetToSnes(0x60000), 1, 1);
  image.PointerRecord(1, FileOffsetToSnes(static_cast<int32_t>(kRawTextRanges[10].start)), 1, 1);
  return image;
}

class FastPaths : public ::testing::Test {
 protected:
  void Open(const std::vector<uint8_t>& bytes) {
    file_ = std::make_unique<test::TempFile>();
    file_->WriteAll(bytes);
    window_.Initialise();
    window_.OpenRomPath(file_->Path());
    ASSERT_TRUE(window_.IsRomOpen());
  }

  // Fills `mode` from the given carry-over state and compares everything with the plain fill.
  void ExpectFillAsPlain(ListingMode mode, bool lastDescribed) {
    // Leave the mode first, so that choosing it fills again.
    window_.SetListingMode(mode == ListingMode::RawTextListing ? ListingMode::PointerTableListing
                                                               : ListingMode::RawTextListing);
    window_.State().lastCodeDescribed = lastDescribed;
    window_.SetListingMode(mode);
    const PlainFill plain = MakePlainFill(*window_.Rom().handle, mode, lastDescribed);
    EXPECT_EQ(window_.Table().entries, plain.table.entries);
    EXPECT_EQ(window_.Table().truncated, plain.table.truncated);
    EXPECT_EQ(view_.rows, plain.rows);
    EXPECT_EQ(view_.editText, plain.row0);
    EXPECT_EQ(window_.State().lastCodeDescribed, plain.lastDescribed);
    EXPECT_TRUE(window_.State().interpreterText.empty());
  }

  // The carry-over state each row's decode leaves behind, whatever it starts from; nothing for a
  // row without a control code, which leaves the state as it found it.
  std::vector<std::optional<bool>> RowStates() {
    const RomFile& rom = *window_.Rom().handle;
    TextDictionary dictionary;
    LoadTextDictionary(rom, dictionary);
    std::vector<std::optional<bool>> states;
    for (const TextEntry& e : window_.Table().entries) {
      bool after[2];
      for (bool start : {false, true}) {
        DecoderState state;
        state.lastCodeDescribed = start;
        test::ReferenceDecode(rom, SnesToFileOffset(e.textAddress), dictionary, state, nullptr, DecodeFlags{true, false});
        after[start] = state.lastCodeDescribed;
      }
      states.push_back(after[0] == after[1] ? std::optional<bool>(after[0]) : std::nullopt);
    }
    return states;
  }

  // Every Find from every mark gives the hit the plain search gives, and leaves the carry-over
  // state as decoding the rows it looked at one after another leaves it.
  void ExpectFindAsPlain(const std::vector<std::string>& queries) {
    const std::vector<std::string> texts = PlainTexts(*window_.Rom().handle, window_.Table());
    const std::vector<std::optional<bool>> rowStates = RowStates();
    const int count = window_.Table().count();
    for (const std::string& query : queries) {
      for (int mark : {-1, 0, count / 2, count - 2, count - 1}) {
        const std::optional<int> expected =
            FindNextRow(query, mark, count, [&](int row) { return texts[static_cast<size_t>(row)]; });
        for (bool start : {false, true}) {
          window_.State().lastCodeDescribed = start;
          EXPECT_EQ(window_.Doc().Find(query, mark), expected) << "query \"" << query << "\", mark " << mark;
          bool state = start;
          for (int row = std::max(mark + 1, 0); row < (expected ? *expected + 1 : count); ++row) {
            state = rowStates[static_cast<size_t>(row)].value_or(state);
          }
          EXPECT_EQ(window_.State().lastCodeDescribed, state) << "query \"" << query << "\", mark " << mark;
        }
        view_.selectionMark = mark;
        view_.TakeMessages();
        const bool found = view_.PressFind(window_, query).has_value();
        ASSERT_EQ(found, expected.has_value()) << "query \"" << query << "\", mark " << mark;
        if (found) {
          EXPECT_EQ(view_.selectionMark, *expected) << "query \"" << query << "\", mark " << mark;
          EXPECT_EQ(view_.editText, texts[static_cast<size_t>(*expected)]);
        } else {
          EXPECT_EQ(view_.selectionMark, mark);
          const auto messages = view_.TakeMessages();
          ASSERT_EQ(messages.size(), 1u);
          EXPECT_EQ(messages[0].text, editor_text::kNotFound);
        }
      }
    }
  }

  void ExpectDumpAsPlain() {
    test::TempFile dump(".txt");
    std::FILE* out = std::fopen(dump.Path().c_str(), "w");
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(window_.WriteDump(out));
    std::fclose(out);
    std::string expected;
    for (const std::string& text : PlainTexts(*window_.Rom().handle, window_.Table())) {
      expected += text + "\n";
    }
    const std::vector<uint8_t> written = dump.ReadAll();
    EXPECT_EQ(std::string(written.begin(), written.end()), expected);
  }

  FakeEditorView view_;
  EditorWindow window_{view_};
  std::unique_ptr<test::TempFile> file_;
};

TEST_F(FastPaths, EveryFillOfTheSampleMatchesThePlainFill) {
  Open(MakeSampleRom(true));
  for (ListingMode mode : {ListingMode::PointerTableListing, ListingMode::RawTextListing,
                           ListingMode::ExpandedRomListing}) {
    for (bool lastDescribed : {false, true}) {
      SCOPED_TRACE(static_cast<int>(mode));
      ExpectFillAsPlain(mode, lastDescribed);
    }
  }
}

TEST_F(FastPaths, FillsAndFindsLeaveTheStateThePlainOnesLeave) {
  Open(StateRom().Bytes());
  ExpectFillAsPlain(ListingMode::RawTextListing, true);
  EXPECT_FALSE(window_.State().lastCodeDescribed);  // from the previews of the last range
  // Row 0 holds no code: a Find that stops there keeps the state it found.
  ExpectFindAsPlain({"0000", "[07", "zq not in any text qz"});
  ExpectFillAsPlain(ListingMode::PointerTableListing, false);
  EXPECT_TRUE(window_.State().lastCodeDescribed);  // row 0 ends in described codes
}

// Raw listings that reach the list's capacity early, late or only in the last area: the areas
// are listed apart and joined, and the join keeps the plain fill's rows and its cut.
TEST_F(FastPaths, RawFillsThatReachTheCapacityMatchThePlainFill) {
  struct Shape {
    const char* name;
    size_t firstEndCodeRange;  // the areas from this one on hold one-byte strings; the others zeros
  };
  for (const Shape& shape : {Shape{"every area", 0}, Shape{"the later areas", 6}, Shape{"the last area", 10}}) {
    SCOPED_TRACE(shape.name);
    test::SyntheticRom image;
    for (size_t r = shape.firstEndCodeRange; r < kRawTextRanges.size(); ++r) {
      const TextRange& range = kRawTextRanges[r];
      image.Put(range.start, std::vector<uint8_t>(static_cast<size_t>(range.end - range.start), 0x02));
    }
    Open(image.Bytes());
    for (bool lastDescribed : {false, true}) ExpectFillAsPlain(ListingMode::RawTextListing, lastDescribed);
    EXPECT_TRUE(window_.Table().truncated);
  }
}

TEST_F(FastPaths, FindGivesThePlainSearchHits) {
  Open(MakeSampleRom(true));
  const std::vector<std::string> texts = PlainTexts(*window_.Rom().handle, window_.Table());
  std::vector<std::string> queries = {"", "[1f 00", "00 02]", "zq not in any text qz", "[02]"};
  // The end of one row run into the start of the next: found only where one row holds it.
  for (size_t row : {size_t{0}, size_t{40}, texts.size() / 3, texts.size() - 2}) {
    const std::string& a = texts[row];
    const std::string& b = texts[row + 1];
    queries.push_back(a.substr(a.size() - std::min<size_t>(a.size(), 5)) + b.substr(0, 5));
  }
  // Pieces of real rows, in the case they have, in lower case and in upper case.
  for (size_t row : {size_t{3}, texts.size() / 2, texts.size() - 1}) {
    const std::string piece = texts[row].substr(texts[row].size() / 3, 9);
    std::string lower = piece, upper = piece;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    queries.insert(queries.end(), {piece, lower, upper});
  }
  ExpectFindAsPlain(queries);
  window_.SetListingMode(ListingMode::RawTextListing);
  ExpectFindAsPlain({"", "THE", "[1C 02", "zq not in any text qz"});
  window_.SetListingMode(ListingMode::ExpandedRomListing);
  ExpectFindAsPlain({"00 02", "[01", "zq not in any text qz"});
}

TEST_F(FastPaths, DumpsHoldThePlainTexts) {
  Open(MakeSampleRom(true));
  ExpectDumpAsPlain();
  window_.SetListingMode(ListingMode::RawTextListing);
  ExpectDumpAsPlain();
  window_.SetListingMode(ListingMode::ExpandedRomListing);
  ExpectDumpAsPlain();
}

TEST(UpperCaseAscii, FoldsOnlyTheLettersAToZWhereverTheyStand) {
  // Long enough for the sixteen-at-a-time loop, with every byte value in every lane.
  std::string text;
  for (int round = 0; round < 17; ++round) {
    for (int b = 0; b < 256; ++b) text.push_back(static_cast<char>((b + round) & 0xFF));
  }
  std::string expected = text;
  for (char& c : expected) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  EXPECT_EQ(UpperCaseAscii(text), expected);
  for (size_t length : {size_t{0}, size_t{15}, size_t{16}, size_t{17}, size_t{33}}) {
    std::string piece = text.substr(100, length);
    UpperCaseAsciiInPlace(piece);
    EXPECT_EQ(piece, expected.substr(100, length));
  }
}

TEST(ContainsUpperCased, AgreesWithUpperCasingThenSearching) {
  // Texts of letters in both cases, brackets, digits and bytes beyond ASCII; needles cut from
  // them (so some are found) and varied (so some are not), of every length up to 20.
  std::mt19937 rng(77);
  const std::string alphabet = "aAbBzZ[] 09fF\xE9\x7F{`@";
  for (int round = 0; round < 3000; ++round) {
    std::string text(static_cast<size_t>(rng() % 140), ' ');
    for (char& c : text) c = alphabet[rng() % alphabet.size()];
    std::string needle;
    if (!text.empty() && rng() % 2) {
      const size_t from = rng() % text.size();
      needle = text.substr(from, rng() % 21);
    } else {
      needle.resize(rng() % 5);
      for (char& c : needle) c = alphabet[rng() % alphabet.size()];
    }
    needle = UpperCaseAscii(needle);
    EXPECT_EQ(ContainsUpperCased(text, needle), UpperCaseAscii(text).find(needle) != std::string::npos)
        << "text \"" << text << "\", needle \"" << needle << "\"";
    const size_t from = rng() % (text.size() + 2);
    EXPECT_EQ(FindUpperCased(text, needle, from), UpperCaseAscii(text).find(needle, from))
        << "text \"" << text << "\", needle \"" << needle << "\", from " << from;
  }
}

// The fonts the status bar measures with are read once per state of the file: a font written
// just before a keystroke is the one the keystroke's fit is measured with.
TEST_F(FastPaths, TheFitFollowsAFontWrittenJustBefore) {
  Open(MakeSampleRom(true));
  // The window measures after each keystroke, once its events are handled.
  view_.Type(window_, "Hi[02]");
  window_.UpdateTextStatus();
  EXPECT_TRUE(view_.textFits) << view_.textStatus;
  RomFont wide = window_.Doc().Fonts().Of(text_window::FontId::Main);
  wide.widths.fill(250);
  ASSERT_TRUE(window_.Doc().WriteFont(text_window::FontId::Main, wide).written);
  view_.Type(window_, "Hi![02]");
  window_.UpdateTextStatus();
  EXPECT_FALSE(view_.textFits) << view_.textStatus;
}

TEST_F(FastPaths, EachCommandFollowsAChangeMadeJustBeforeIt) {
  // One look at the file per command still sees what another program wrote just before it.
  Open(StateRom().Bytes());
  const int64_t at = 0x60000;
  {
    std::FILE* f = std::fopen(file_->Path().c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, at, SEEK_SET);
    const unsigned char changed[] = {0x7D, 0x02};  // "M" then the end code
    std::fwrite(changed, 1, sizeof changed, f);
    std::fclose(f);
  }
  view_.selectionMark = -1;
  EXPECT_TRUE(view_.PressFind(window_, "m[02]"));
  EXPECT_EQ(view_.selectionMark, 0);
  window_.SetListingMode(ListingMode::RawTextListing);
  window_.SetListingMode(ListingMode::PointerTableListing);
  EXPECT_EQ(view_.rows[0], "M");
}

}  // namespace
}  // namespace lettermoor
