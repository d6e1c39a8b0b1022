// The document through a character table: every text it shows and takes, on the sample.

#include <gtest/gtest.h>

#include <cstdio>

#include "codec/text_spans.h"
#include "document/document.h"
#include "document/document_text.h"
#include "sample/sample_font.h"
#include "sample/sample_rom.h"
#include "script/po_file.h"
#include "script/script_file.h"
#include "support/synthetic_rom.h"

namespace lettermoor::test {
namespace {

constexpr const char* kCafe = "Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu.[13 02]";

CharacterTable TableOf(std::string_view content) {
  TableLoad fault;
  std::optional<CharacterTable> table = CharacterTable::Parse(content, "t.tbl", fault);
  EXPECT_EQ(fault.fault, TableFault::None) << content;
  return *table;
}

class TableDocument : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("sample.smc");
    ASSERT_TRUE(SaveSampleRom(path_, false));
    doc_.SetKeepBackup(false);
    doc_.Adopt(Document::OpenFile(path_, RomOpenMode::Update));
    doc_.SetCharacterTable(TableOf(kSampleCharacterTable));
    doc_.Fill();
  }

  TempDir dir_;
  std::string path_;
  Document doc_;
};

TEST_F(TableDocument, EveryTextIsShownAndTakenThroughTheTable) {
  const std::vector<uint8_t> cafe = {0x73, 0x91, 0x96, 0x8C, 0x50, 0x94, 0x8C, 0x9A, 0x8F, 0x50, 0xA6, 0xA5, 0x5E, 0x13, 0x02};
  EXPECT_EQ(doc_.Encode(kCafe, false), cafe);
  EXPECT_EQ(doc_.Measure(kCafe, false), 15);
  EXPECT_EQ(doc_.Measure("\\[02]", false), kMeasureNonGameCharacter);  // its byte is é's now
  ASSERT_EQ(doc_.Apply(3, kCafe, {}).result, ApplyResult::Written);
  EXPECT_EQ(doc_.EntryText(3), kCafe);
  // The list's preview leaves the codes out.
  EXPECT_EQ(doc_.RowPreview(3), "Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu.");
  EXPECT_EQ(std::string(doc_.Fill().rows[3]), doc_.RowPreview(3));

  const ApplyOutcome refused = doc_.Apply(3, "Stra\xC3\x9F" "e[02]", {});
  EXPECT_EQ(refused.result, ApplyResult::NonGameCharacter);
  EXPECT_EQ(refused.column, 5);
  EXPECT_EQ(refused.character.table, "t.tbl");
  EXPECT_EQ(doc_.EntryText(3), kCafe);

  // The details page's listing and the dump show the letters too.
  const std::optional<DetailsRequest> details = doc_.Details(3);
  ASSERT_TRUE(details);
  EXPECT_NE(doc_.State().interpreterText.find("Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu."), std::string::npos);
  std::FILE* dump = std::tmpfile();
  ASSERT_TRUE(doc_.WriteDump(dump));
  std::rewind(dump);
  std::string dumped(1 << 20, '\0');
  dumped.resize(std::fread(dumped.data(), 1, dumped.size(), dump));
  std::fclose(dump);
  EXPECT_NE(dumped.find(std::string("\n") + kCafe + "\n"), std::string::npos);

  // The edit box marks what the table cannot spell, and only that.
  std::vector<TextSpan> spans;
  FindTextSpans("\xC3\xA9\\<[02]", spans, doc_.Characters());
  ASSERT_EQ(spans.size(), 5u);  // the backslash, "<", and the group's "[", code and "]"
  EXPECT_EQ(spans[0].kind, TextSpanKind::NonGameCharacter);
  EXPECT_EQ(spans[0].start, 1);
  EXPECT_EQ(spans[1].kind, TextSpanKind::NonGameCharacter);
  EXPECT_EQ(spans[1].start, 2);
}

// É finds é (and the other way), letters the table leaves alone fold as ever, and a query the
// table cannot spell is in no text.
TEST_F(TableDocument, SearchFoldsTheTablesLettersToo) {
  ASSERT_EQ(doc_.Apply(3, kCafe, {}).result, ApplyResult::Written);
  struct Case {
    const char* query;
    std::optional<int> row;
  };
  for (const Case& c : {Case{"CAF\xC3\x89", 3}, Case{"caf\xC3\xA9 D\xC3\x89J\xC3\x80", 3}, Case{"vu.[13 02]", 3},
                        Case{"Caf\\", std::nullopt}, Case{"Caf\xC3\xAB", std::nullopt}}) {
    SCOPED_TRACE(c.query);
    EXPECT_EQ(doc_.Find(c.query, -1), c.row);
  }
  // A table that moves ASCII letters about: "a" and "A" are no longer one letter in two cases.
  doc_.SetCharacterTable(TableOf("71=\xC3\x84\n8C=A\n"));  // byte 0x71 is Ä, the backslash's is A
  ASSERT_EQ(doc_.Apply(3, "Hat \xC3\xA4[02]", {}).result, ApplyResult::NonGameCharacter);  // no ä
  ASSERT_EQ(doc_.Apply(3, "xyzzy A \xC3\x84[02]", {}).result, ApplyResult::Written);
  for (const Case& c : {Case{"XYZZY a", 3}, Case{"xyzzy a \xC3\xA4", 3}, Case{"xyzzy \xC3\xA4", std::nullopt}}) {
    SCOPED_TRACE(c.query);
    EXPECT_EQ(doc_.Find(c.query, -1), c.row);
  }
}

// Export and import through the table: the file names it and spells its letters; read back
// through the same table it changes nothing.
TEST_F(TableDocument, ScriptAndPoFilesGoThroughTheTable) {
  ASSERT_EQ(doc_.Apply(3, kCafe, {}).result, ApplyResult::Written);
  const std::string script = *doc_.Export();
  EXPECT_NE(script.find(std::string(kScriptTableLine) + "t.tbl\n"), std::string::npos);
  const ParsedScript parsed = ParseScript(script, doc_.Characters());
  ASSERT_FALSE(parsed.error) << parsed.error->expected;
  EXPECT_EQ(parsed.table, "t.tbl");
  EXPECT_FALSE(OtherTable(parsed, "t.tbl"));
  EXPECT_TRUE(OtherTable(parsed, ""));
  const ImportResult imported = doc_.Import(parsed.blocks, {});
  EXPECT_EQ(imported.status, ImportStatus::Done);
  EXPECT_TRUE(imported.changes.empty());
  // Without the table, é is a fault of the file.
  EXPECT_TRUE(ParseScript(script).error);

  const std::optional<PoExport> po = doc_.ExportPo();
  ASSERT_TRUE(po);
  EXPECT_NE(po->text.find(kCafe), std::string::npos);
  const ParsedPo read = ParsePo(po->text, doc_.Characters());
  ASSERT_FALSE(read.error) << read.error->expected;
  EXPECT_TRUE(ParsePo(po->text).error);

  // A table text that would start a line as a comment is written as its code instead.
  doc_.SetCharacterTable(TableOf("53=\xC2\xA3\n8C=#\n"));  // "#" on the backslash's byte
  ASSERT_EQ(doc_.Apply(3, "#1 \xC2\xA3[02]", {}).result, ApplyResult::Written);
  const std::string hashed = *doc_.Export();
  EXPECT_NE(hashed.find("\n[8C]1 \xC2\xA3[02]\n"), std::string::npos);
  const ParsedScript again = ParseScript(hashed, doc_.Characters());
  ASSERT_FALSE(again.error) << again.error->expected;
  EXPECT_TRUE(doc_.Import(again.blocks, {}).changes.empty());
}

TEST(TableLoadText, NamesTheFileLineAndReason) {
  TableLoad load;
  ASSERT_FALSE(CharacterTable::Parse("8C=\xC3\xA9\n8E=\xC3\xA9\n", "x.tbl", load));
  const std::string said = DescribeTableLoad("/some/where/x.tbl", load);
  EXPECT_NE(said.find("x.tbl"), std::string::npos);
  EXPECT_EQ(said.find("/some/where"), std::string::npos);
  EXPECT_NE(said.find("line 2"), std::string::npos);
  EXPECT_NE(said.find("8C"), std::string::npos);
  EXPECT_EQ(Document::DefaultTablePath("/a/game.smc"), "/a/game.tbl");
  EXPECT_EQ(Document::DefaultTablePath("/a.b/game"), "/a.b/game.tbl");
}

}  // namespace
}  // namespace lettermoor::test
