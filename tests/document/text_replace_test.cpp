// Replace in All Texts in the document: where a query matches a text, and what a replace of the
// chosen texts writes.

#include "document/text_replace.h"

#include <gtest/gtest.h>

#include <map>

#include "document/document.h"
#include "editor/editor_fixture.h"

namespace lettermoor::test {
namespace {

TEST(TextReplace, MatchesFollowCaseAndBracketGroups) {
  struct Case {
    const char* text;
    ReplaceQuery query;
    std::vector<TextPiece> spans;
    const char* replaced;
  };
  const std::vector<Case> cases = {
      {"Hello there[03 00 02]", {"there", "you"}, {{6, 5}}, "Hello you[03 00 02]"},
      {"hello HELLO Hello", {"Hello", "Bye"}, {{0, 5}, {6, 5}, {12, 5}}, "Bye Bye Bye"},
      {"hello HELLO Hello", {"Hello", "Bye", true}, {{12, 5}}, "hello HELLO Bye"},
      // Outside bracket groups only, unless codes are matched too.
      {"Go[03 00]00", {"00", "11"}, {{9, 2}}, "Go[03 00]11"},
      {"Go[03 00]00", {"00", "11", false, true}, {{6, 2}, {9, 2}}, "Go[03 11]11"},
      {"ab[02]", {"b[", "c["}, {}, "ab[02]"},
      {"ab[02]", {"b[", "c[", false, true}, {{1, 2}}, "ac[02]"},
      // Left to right, never overlapping; an empty find finds nothing.
      {"aaaaa", {"aa", "b"}, {{0, 2}, {2, 2}}, "bba"},
      {"abc", {"", "x"}, {}, "abc"},
      {"Tobias and tobias", {"tobias", ""}, {{0, 6}, {11, 6}}, " and "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.query.find);
    const std::vector<TextPiece> spans = FindMatches(c.text, c.query);
    EXPECT_EQ(spans, c.spans);
    std::vector<TextPiece> placed;
    const std::string replaced = ReplaceSpans(c.text, spans, c.query.replace, &placed);
    EXPECT_EQ(replaced, c.replaced);
    // Each replacement lies where the result says.
    ASSERT_EQ(placed.size(), spans.size());
    for (const TextPiece& p : placed) EXPECT_EQ(replaced.substr(p.at, p.length), c.query.replace);
  }
}

class DocumentReplace : public ::testing::Test {
 protected:
  DocumentReplace() : file(StandardRom().Save()) {
    doc.SetKeepBackup(false);
    doc.Adopt(Document::OpenFile(file->Path(), RomOpenMode::Update));
    doc.Fill();
    before = file->ReadAll();
    for (int row = 0; row < doc.RowCount(); ++row) doc.EntryText(row, &sizes[row]);
  }

  // The bytes of `row`'s string as it was before.
  std::vector<uint8_t> Before(int row) { return Slice(before, doc.EntryOffset(row), static_cast<size_t>(sizes[row])); }
  std::vector<uint8_t> Now(int row) { return Slice(file->ReadAll(), doc.EntryOffset(row), static_cast<size_t>(sizes[row])); }

  std::unique_ptr<TempFile> file;
  Document doc;
  std::vector<uint8_t> before;
  std::map<int, int32_t> sizes;
};

// The standard ROM's pointer listing: row 0 "Hello there", rows 1 and 3 "Shared words", rows 2
// and 5 "Good morning", row 4 "My friend" (a dictionary word: it grows when spelled out).
TEST_F(DocumentReplace, WritesTheChosenTextsOnceAndNothingElse) {
  struct Case {
    const char* name;
    ReplaceQuery query;
    std::vector<std::vector<int>> found;  // the rows of each text found
    std::vector<size_t> unticked;         // texts found but not chosen
    bool dryRun;
    ImportStatus status;
    std::map<int, std::string> written;  // each row whose text changed, and its text now
  };
  using enum ImportStatus;
  const std::vector<Case> cases = {
      {"either case", {"GOOD", "Fine"}, {{2, 5}}, {}, false, Done, {{2, "Fine morning[10 1E 02]"}}},
      {"match case", {"GOOD", "Fine", true}, {}, {}, false, Done, {}},
      {"shared texts once", {"Shared", "Common"}, {{1, 3}}, {}, false, Done, {{1, "Common words[02]"}}},
      {"outside codes", {"1E", "1F"}, {}, {}, false, Done, {}},
      {"inside codes", {"1E", "1F", false, true}, {{2, 5}}, {}, false, Done, {{2, "Good morning[10 1F 02]"}}},
      {"unticked untouched", {"o", "0"}, {{0}, {1, 3}, {2, 5}}, {1}, false, Done,
       {{0, "Hell0 there[03 00 02]"}, {2, "G00d m0rning[10 1E 02]"}}},
      {"dry run", {"o", "0"}, {{0}, {1, 3}, {2, 5}}, {}, true, Done, {}},
      // "My frind" no longer holds the dictionary word and does not fit: none is written.
      {"one does not fit", {"e", ""}, {{0}, {1, 3}, {4}}, {}, false, Incomplete, {}},
      {"the rest fits", {"e", ""}, {{0}, {1, 3}, {4}}, {2}, false, Done,
       {{0, "Hllo thr[03 00 02]"}, {1, "Shard words[02]"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    file->WriteAll(before);
    doc.Fill();
    const ReplaceSearch search = doc.FindReplacements(c.query);
    EXPECT_FALSE(search.fault);
    std::vector<std::vector<int>> found;
    std::vector<ReplaceCandidate> chosen;
    for (size_t k = 0; k < search.found.size(); ++k) {
      found.push_back(search.found[k].rows);
      if (std::find(c.unticked.begin(), c.unticked.end(), k) == c.unticked.end()) chosen.push_back(search.found[k]);
    }
    EXPECT_EQ(found, c.found);
    if (chosen.empty()) continue;
    ImportOptions options;
    options.compressor = &doc.Compressor();
    options.dryRun = c.dryRun;
    const ImportResult result = doc.Replace(chosen, options);
    EXPECT_EQ(result.status, c.status);
    // One block per text chosen, however many rows lead to it; its line is its first row's.
    ASSERT_EQ(result.changed.size(), chosen.size());
    for (size_t k = 0; k < chosen.size(); ++k) EXPECT_EQ(result.changed[k].line, chosen[k].rows.front() + 1);
    for (int row = 0; row < doc.RowCount(); ++row) {
      SCOPED_TRACE(row);
      const auto it = std::find_if(c.written.begin(), c.written.end(), [&](const auto& w) {
        return w.first == row || doc.Table().entries[static_cast<size_t>(w.first)].textAddress ==
                                     doc.Table().entries[static_cast<size_t>(row)].textAddress;
      });
      if (it == c.written.end()) {
        EXPECT_EQ(HexView(Now(row)), HexView(Before(row)));
      } else {
        EXPECT_EQ(doc.EntryText(row), it->second);
      }
    }
    if (c.written.empty()) {
      EXPECT_EQ(file->ReadAll(), before);
    }
  }
}

TEST_F(DocumentReplace, AReplacementThatBreaksATextFindsNothing) {
  struct Case {
    ReplaceQuery query;
    int line;
    int column;
  };
  for (const Case& c : {Case{{"there", "the[re"}, 1, 10}, Case{{"o", "\xC3\xA9"}, 1, 5},
                        Case{{"00", "0Q", false, true}, 1, 16}}) {
    SCOPED_TRACE(c.query.replace);
    const ReplaceSearch search = doc.FindReplacements(c.query);
    ASSERT_TRUE(search.fault);
    EXPECT_EQ(search.fault->line, c.line);
    EXPECT_EQ(search.fault->column, c.column);
    EXPECT_TRUE(search.found.empty());
  }
}

}  // namespace
}  // namespace lettermoor::test
