// The document without any view: what opening and an apply give, as values.

#include "document/document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <random>
#include <sstream>

#include "document/document_text.h"

#include "editor/editor_fixture.h"
#include "sample/sample_rom.h"
#include "script/script_file.h"

namespace lettermoor::test {
namespace {

TEST(Document, OpeningGivesTheFileItsKindOrTheReason) {
  TempDir dir;
  const std::unique_ptr<TempFile> good = StandardRom().Save();
  const std::unique_ptr<TempFile> other = SyntheticRom(SyntheticRom::kStandardSize, "NOT THE GAME").Save();
  struct Case {
    std::string path;
    int error;
    RomType type;
    bool usable;
  };
  for (const Case& c : {Case{good->Path(), 0, RomType::EarthBound, true},
                        Case{other->Path(), 0, RomType::Unrecognized, false},
                        Case{dir.File("missing.smc"), ENOENT, RomType::Unrecognized, false},
                        Case{dir.Path(), EISDIR, RomType::Unrecognized, false}}) {
    SCOPED_TRACE(c.path);
    const OpenedRom opened = Document::OpenFile(c.path, RomOpenMode::View);
    EXPECT_EQ(opened.file != nullptr, c.error == 0);
    if (c.error == ENOENT) {
      EXPECT_EQ(opened.error, ENOENT);
    }
    if (c.error == 0) {
      EXPECT_EQ(opened.type, c.type);
    }
    EXPECT_EQ(opened.Usable(), c.usable);
  }
}

// Every way an apply ends before or at the write, on the standard ROM's pointer listing: the
// result, where a refusal lies, which other rows the write changed, and the bytes now at the row.
TEST(Document, ApplyGivesItsOutcomeAsValues) {
  using namespace layout;
  struct Case {
    const char* name;
    int row;
    std::string text;
    WriteOptions options;
    ApplyResult result;
    int column;                // of a refusal
    std::vector<int> changed;  // other rows whose text the write changed
  };
  const std::vector<Case> cases = {
      {"fits", 0, "Hi[02]", {}, ApplyResult::Written, 0, {}},
      {"unclosed bracket", 0, "Hi[02", {}, ApplyResult::BracketError, 3, {}},
      {"stray bracket", 0, "Hi]", {}, ApplyResult::BracketError, 3, {}},
      {"not a game character", 0, "Hi\xE2\x82\xAC[02]", {}, ApplyResult::NonGameCharacter, 3, {}},
      {"too large", 0, "Hello there, and a good day[02]", {}, ApplyResult::TooLarge, 0, {}},
      // Rows 1 and 3 lead to the same string: the same text, not another one changed.
      {"shared string", 1, "Shared!![02]", {}, ApplyResult::Written, 0, {}},
      // S1 runs on into S2 (row 4); row 5 leads to S1 itself.
      {"runs on", 2, "Good morning to you[02]", {false, false}, ApplyResult::Written, 0, {4}},
      {"compressed", 4, "My friend[02]", {true, true}, ApplyResult::Written, 0, {}},
      {"no such row", kPointerRows, "Hi[02]", {}, ApplyResult::NoEntry, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::unique_ptr<TempFile> file = StandardRom().Save();
    Document doc;
    doc.SetKeepBackup(false);
    doc.Adopt(Document::OpenFile(file->Path(), RomOpenMode::Update));
    doc.Fill();
    const std::vector<uint8_t> before = file->ReadAll();
    const ApplyOutcome outcome = doc.Apply(c.row, c.text, c.options);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.column, c.column);
    EXPECT_EQ(outcome.changedRows, c.changed);
    if (c.result != ApplyResult::Written) {
      EXPECT_EQ(file->ReadAll(), before);
      continue;
    }
    const std::vector<uint8_t> bytes = doc.Encode(c.text, c.options.compress);
    EXPECT_EQ(Slice(file->ReadAll(), doc.EntryOffset(c.row), bytes.size()), bytes);
    EXPECT_EQ(doc.EntryText(c.row), c.text);
  }
}

// An original is taken only when it can be this ROM's source; a refused one leaves the last.
TEST(Document, AnOriginalIsRefusedWithItsReason) {
  TempDir dir;
  const std::unique_ptr<TempFile> rom = StandardRom().Save();
  const std::unique_ptr<TempFile> original = StandardRom().Save();
  const std::unique_ptr<TempFile> otherTitle = StandardRom().Title("SOME OTHER GAME").Save();
  const std::unique_ptr<TempFile> otherSize = StandardRom(SyntheticRom::kStandardSize + 0x8000).Save();
  Document doc;
  doc.Adopt(Document::OpenFile(rom->Path(), RomOpenMode::Update));
  doc.Fill();
  struct Case {
    std::string path;
    OriginalResult result;
  };
  bool taken = false;
  for (const Case& c : {Case{dir.File("missing.smc"), OriginalResult::Unreadable},
                        Case{otherTitle->Path(), OriginalResult::NotARom},
                        Case{otherSize->Path(), OriginalResult::SizeDiffers},
                        Case{rom->Path(), OriginalResult::IsTheRom},
                        Case{doc.BackupPath(), OriginalResult::IsTheBackup},
                        Case{original->Path(), OriginalResult::Accepted},
                        Case{otherTitle->Path(), OriginalResult::NotARom}}) {
    SCOPED_TRACE(c.path);
    if (c.result == OriginalResult::IsTheBackup) { ASSERT_TRUE(doc.EnsureBackup()); }
    EXPECT_EQ(doc.SetOriginal(c.path).result, c.result);
    taken = taken || c.result == OriginalResult::Accepted;
    EXPECT_EQ(doc.HasOriginal(), taken);
    EXPECT_EQ(DescribeOriginalRefusal(doc.SetOriginal(c.path), "x").empty(), c.result == OriginalResult::Accepted);
  }
  EXPECT_EQ(doc.OriginalPath(), original->Path());
}

// Opens `rom` for update without a backup, fills its pointer listing and sets `original` beside it.
bool OpenWithOriginal(Document& doc, const TempFile& rom, const TempFile& original) {
  doc.SetKeepBackup(false);
  doc.Adopt(Document::OpenFile(rom.Path(), RomOpenMode::Update));
  doc.Fill();
  return doc.SetOriginal(original.Path()).Accepted();
}

// Rows differ from the original when their text does: not when the same words are stored
// another way, nor when the text moved and its record followed it.
TEST(Document, RowsAreComparedWithTheirOriginalsAsText) {
  using namespace layout;
  const std::unique_ptr<TempFile> rom = StandardRom().Save();
  const std::unique_ptr<TempFile> original = StandardRom().Save();
  Document doc;
  ASSERT_TRUE(OpenWithOriginal(doc, *rom, *original));
  using enum RowTranslation;
  EXPECT_EQ(doc.Translations(), std::vector<RowTranslation>(kPointerRows, Untranslated));

  ASSERT_EQ(doc.Apply(0, "Hi[02]", {}).result, ApplyResult::Written);
  ASSERT_EQ(doc.Apply(4, kText2, {false, false}).result, ApplyResult::Written);  // "friend" spelt out
  ASSERT_EQ(doc.Expand().result, GrowResult::Grown);
  ASSERT_TRUE(doc.Move(3, kText3, false).Moved());
  doc.Fill();
  EXPECT_NE(doc.Table().entries[3].textAddress, FileOffsetToSnes(kS3));
  EXPECT_EQ(doc.Translations(), (std::vector<RowTranslation>{Translated, Untranslated, Untranslated, Untranslated,
                                                             Untranslated, Untranslated}));
  EXPECT_EQ(doc.Original(0)->text, kText0);
  EXPECT_EQ(doc.Original(3)->address, FileOffsetToSnes(kS3));
  const Document::Progress progress = Document::CountProgress(doc.Translations());
  EXPECT_EQ(progress.translated, 1);
  EXPECT_EQ(progress.lines, kPointerRows);
  EXPECT_EQ(doc.NextUntranslated(0), 1);
  EXPECT_EQ(doc.NextUntranslated(kPointerRows - 1), 1);  // wraps round past row 0

  // In the expanded listing the moved text has no original at its address.
  doc.SetMode(ListingMode::ExpandedRomListing);
  doc.Fill();
  const std::vector<RowTranslation> expanded = doc.Translations();
  EXPECT_TRUE(std::find(expanded.begin(), expanded.end(), NoOriginal) != expanded.end());
  EXPECT_EQ(std::count(expanded.begin(), expanded.end(), Untranslated), 0);
}

// A row's mark agrees with comparing its text with its original's, whatever was written to it
// (shorter, longer and over its neighbours, the same words spelt out, a code's last argument), in
// both listings, before and after a fill: the fill's size counts that spare the comparison a walk
// are taken only while they are those of the texts as they now stand.
TEST(Document, TranslationMarksAgreeWithTheTextsCompared) {
  using namespace layout;
  const std::vector<std::string> texts = {kText0, kText1, kText2, kText3, "Hi[02]", "Good[10 1E 02]",
                                          "Hello there[03 01 02]", "Good morning[10 1F 02]", "[02]",
                                          "Hello there, my friend, and good morning[03 00 02]"};
  std::mt19937 random(28);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    const std::unique_ptr<TempFile> rom = StandardRom().Save();
    const std::unique_ptr<TempFile> original = StandardRom().Save();
    Document doc;
    ASSERT_TRUE(OpenWithOriginal(doc, *rom, *original));
    auto expectMarks = [&doc] {
      const std::vector<RowTranslation> marks = doc.Translations();
      ASSERT_EQ(marks.size(), static_cast<size_t>(doc.Table().count()));
      for (int row = 0; row < doc.Table().count(); ++row) {
        const std::optional<OriginalTextOf> was = doc.Original(row);
        const RowTranslation expected = !was                              ? RowTranslation::NoOriginal
                                        : was->text == doc.EntryText(row) ? RowTranslation::Untranslated
                                                                          : RowTranslation::Translated;
        ASSERT_EQ(marks[static_cast<size_t>(row)], expected) << "row " << row;
      }
    };
    auto writeSome = [&] {
      for (int row = 0; row < kPointerRows; ++row) {
        if (random() % 2) continue;
        const WriteOptions options{false, random() % 2 == 0};
        ASSERT_EQ(doc.Apply(row, texts[random() % texts.size()], options).result, ApplyResult::Written);
      }
    };
    writeSome();
    expectMarks();  // the rows as the fill before the writes listed them
    for (const ListingMode mode : {ListingMode::RawTextListing, ListingMode::PointerTableListing}) {
      doc.SetMode(mode);
      doc.Fill();
      SCOPED_TRACE(static_cast<int>(mode));
      expectMarks();
    }
    writeSome();
    expectMarks();
  }
}

// The PO export's entries: one per text address, in the order of first rows, each naming all its
// rows; a text whose pointer was moved by hand to a copy keeps the original's address as its
// context, and names its own beside it, so that the two stay two entries.
TEST(Document, PoEntriesFollowTheListingAndKeepRepointedTextsApart) {
  using namespace layout;
  const int64_t copy = kScriptEnd + 16;
  SyntheticRom present = StandardRom();
  present.Put(copy, Concat(ScriptText("Shared words"), {0x02}));
  present.PointerRecord(3, FileOffsetToSnes(static_cast<int32_t>(copy)), 2, 0);
  const std::unique_ptr<TempFile> rom = present.Save();
  const std::unique_ptr<TempFile> original = StandardRom().Save();
  Document doc;
  ASSERT_TRUE(OpenWithOriginal(doc, *rom, *original));
  const std::optional<PoExport> po = doc.ExportPo();
  ASSERT_TRUE(po);
  auto address = [](int64_t offset) {
    char text[16];
    std::snprintf(text, sizeof text, "$%06X", static_cast<unsigned>(FileOffsetToSnes(static_cast<int32_t>(offset))));
    return std::string(text);
  };
  std::vector<std::string> contexts, lines;
  std::istringstream in(po->text);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("msgctxt \"")) contexts.push_back(line.substr(9, line.size() - 10));
    if (line.starts_with("#: ")) lines.push_back(line.substr(3, line.find(" record") - 3));
  }
  EXPECT_EQ(contexts, (std::vector<std::string>{address(kS0), address(kS3), address(kS1),
                                                address(kS3) + " at " + address(copy), address(kS2)}));
  EXPECT_EQ(lines, (std::vector<std::string>{"line:1", "line:2", "line:3 line:6", "line:4", "line:5"}));
  EXPECT_EQ(po->translated, 0);
}

}  // namespace
}  // namespace lettermoor::test

namespace lettermoor::test {
namespace {

// Keep the Checksum Right, table-driven over every kind of write the document makes on the
// sample: on, the header's pair is right after it; off, the pair is left as it was.
TEST(Document, KeepTheChecksumRightAfterEveryKindOfWrite) {
  struct Case {
    const char* name;
    bool expanded;  // on the expanded sample
    std::function<bool(Document&)> write;  // true when it wrote
  };
  const std::vector<Case> cases = {
      {"apply", false, [](Document& d) { return d.Apply(3, "Hi there.[02]", {}).result == ApplyResult::Written; }},
      {"move", true,
       [](Document& d) { return d.Move(3, "A much longer line than the old one ever was.[02]", false).Moved(); }},
      {"import", true,
       [](Document& d) {
         ParsedScript parsed = ParseScript(*d.Export());
         int changed = 0;
         for (ScriptBlock& b : parsed.blocks) {
           if (changed == 3 || !b.text.ends_with("[02]")) continue;
           b.text.insert(b.text.size() - 4, " Rewritten, and a good deal longer than it was before.");
           ++changed;
         }
         const ImportResult r = d.Import(parsed.blocks, ImportOptions{});
         return r.status == ImportStatus::Done && r.Count(BlockOutcome::Moved) > 0;
       }},
      {"expansion", false, [](Document& d) { return d.Expand().result == GrowResult::Grown; }},
      {"pointer edit", false,
       [](Document& d) {
         PointerEntryForm form = *d.PointerFormFor(5);
         form.spriteNumber += 1;
         WriteResult written;
         return d.EditPointer(5, form, &written) == PointerEditResult::Written && written;
       }},
      {"revert", false,
       [](Document& d) {
         return d.Apply(3, "Hi there.[02]", {}).result == ApplyResult::Written &&
                d.Revert().result == RevertResult::Reverted;
       }},
  };
  for (bool on : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (on ? ", on" : ", off"));
      TempDir dir;
      const std::string path = dir.File("sample.smc");
      ASSERT_TRUE(SaveSampleRom(path, c.expanded));
      Document doc;
      doc.SetKeepChecksumRight(on);
      doc.Adopt(Document::OpenFile(path, RomOpenMode::Update));
      doc.Fill();
      const HeaderChecksum before = doc.Checksum();
      ASSERT_EQ(before.state, ChecksumState::Wrong);
      ASSERT_TRUE(c.write(doc));
      // As another program opening the file finds it.
      Document again;
      again.Adopt(Document::OpenFile(path, RomOpenMode::View));
      const HeaderChecksum after = again.Checksum();
      EXPECT_EQ(after.state, on ? ChecksumState::Right : ChecksumState::Wrong);
      if (!on) {
        EXPECT_EQ(after.checksum, before.checksum);
        EXPECT_EQ(after.complement, before.complement);
      }
    }
  }
}

// Fix Checksum writes the pair once, through the journal, and leaves a right one alone.
TEST(Document, FixChecksumMakesThePairRight) {
  TempDir dir;
  const std::string path = dir.File("sample.smc");
  ASSERT_TRUE(SaveSampleRom(path, false));
  Document doc;
  doc.SetKeepBackup(false);
  doc.Adopt(Document::OpenFile(path, RomOpenMode::Update));
  const std::vector<uint8_t> before = ReadBytesOf(path);
  WriteResult written;
  EXPECT_EQ(doc.FixChecksum(written).state, ChecksumState::Wrong);
  ASSERT_TRUE(written);
  EXPECT_EQ(doc.Checksum().state, ChecksumState::Right);
  std::vector<uint8_t> after = ReadBytesOf(path);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    if (after[i] != before[i]) {
      EXPECT_TRUE(i >= kChecksumPairOffset && i < kChecksumPairOffset + 4) << i;
    }
  }
  EXPECT_EQ(doc.FixChecksum(written).state, ChecksumState::Right);
  EXPECT_EQ(ReadBytesOf(path), after);
}

}  // namespace
}  // namespace lettermoor::test
