// Searching the listed strings and dumping them to a text file.

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "editor/editor_fixture.h"

namespace lettermoor::test {
namespace {

using namespace layout;
namespace text = editor_text;

bool NotFoundShown(FakeEditorView& view) {
  auto shown = view.TakeMessages();
  return shown.size() == 1 && shown[0].text == "String not found." &&
         shown[0].caption == "String not found" && shown[0].icon == MessageIcon::None;
}

TEST_F(EditorTest, FindWalksForwardThroughSharedRowsWithoutWrapping) {
  OpenStandard();
  // The mark is on row 0 after the fill, so row 0 itself is not searched.
  EXPECT_FALSE(view.PressFind(window, "hello"));
  EXPECT_TRUE(NotFoundShown(view));
  EXPECT_EQ(view.selectionMark, 0);
  EXPECT_EQ(view.editText, kText0);

  EXPECT_TRUE(view.PressFind(window, "shared"));
  EXPECT_EQ(view.selectionMark, 1);
  EXPECT_EQ(view.selectedRow, 1);
  EXPECT_EQ(view.ensuredVisible, 1);
  EXPECT_EQ(view.editText, kText3);
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 2/6");

  EXPECT_TRUE(view.PressFind(window, "SHARED"));  // the same text at another record: a separate hit
  EXPECT_EQ(view.selectionMark, 3);
  EXPECT_EQ(view.editText, kText3);

  view.Type(window, "unapplied");
  EXPECT_FALSE(view.PressFind(window, "Shared"));
  EXPECT_TRUE(NotFoundShown(view));
  EXPECT_EQ(view.selectionMark, 3);
  EXPECT_EQ(view.selectedRow, 3);
  EXPECT_EQ(view.editText, "unapplied");
}

TEST_F(EditorTest, FindStartsAtRowZeroWithoutMarkAndStopsAtTheLastRow) {
  OpenStandard();
  view.selectionMark = -1;
  EXPECT_TRUE(view.PressFind(window, "HeLLo"));
  EXPECT_EQ(view.selectionMark, 0);

  view.selectionMark = kPointerRows - 1;
  EXPECT_FALSE(view.PressFind(window, ""));
  EXPECT_TRUE(NotFoundShown(view));
  EXPECT_EQ(view.selectionMark, kPointerRows - 1);

  // The empty query matches the row after the mark.
  view.ClickRow(window, 2);
  EXPECT_TRUE(view.PressFind(window, ""));
  EXPECT_EQ(view.selectionMark, 3);
}

TEST_F(EditorTest, FindMatchesBracketedCodesWhateverTheDisplay) {
  OpenStandard();
  window.OnCommand(CommandId::DisplayCodesOnly);
  // Lower-case hexadecimal is folded like the letters; the match may span text and codes.
  EXPECT_TRUE(view.PressFind(window, "morning[10 1e"));
  EXPECT_EQ(view.selectionMark, 2);
  EXPECT_TRUE(view.PressFind(window, "[10 1E 02]"));
  EXPECT_EQ(view.selectionMark, 5);
  EXPECT_FALSE(view.PressFind(window, "[10"));
  EXPECT_TRUE(NotFoundShown(view));

  // A dictionary word is found as it is spelled out; a query never spans two rows.
  view.selectionMark = -1;
  EXPECT_TRUE(view.PressFind(window, "FRIEND"));
  EXPECT_EQ(view.selectionMark, 4);
  view.selectionMark = -1;
  EXPECT_FALSE(view.PressFind(window, "[02]Shared"));
  EXPECT_TRUE(NotFoundShown(view));
}

TEST_F(EditorTest, SearchCommandRunsTheSearchWindowOverTheWindow) {
  OpenStandard();
  std::vector<std::optional<int>> results;
  view.onSearchWindow = [&] {
    results.push_back(view.PressFind(window, "good"));
    results.push_back(view.PressFind(window, "good"));
    results.push_back(view.PressFind(window, "good"));
  };
  window.OnCommand(CommandId::Search);
  EXPECT_EQ(view.searchRuns, 1);
  EXPECT_EQ(results, (std::vector<std::optional<int>>{2, 5, std::nullopt}));
  EXPECT_EQ(view.selectionMark, 5);
  EXPECT_TRUE(NotFoundShown(view));
}

TEST(FindNextRow, IsAPlainForwardScan) {
  const std::vector<std::string> texts = {"alpha[02]", "Beta[02]", "ALPHA beta[02]"};
  auto decode = [&](int row) { return texts[static_cast<size_t>(row)]; };
  EXPECT_EQ(FindNextRow("alpha", -1, 3, decode), std::optional<int>(0));
  EXPECT_EQ(FindNextRow("alpha", 0, 3, decode), std::optional<int>(2));
  EXPECT_EQ(FindNextRow("alpha", 2, 3, decode), std::nullopt);
  EXPECT_EQ(FindNextRow("", 0, 3, decode), std::optional<int>(1));
  EXPECT_EQ(FindNextRow("x", -1, 0, decode), std::nullopt);
  EXPECT_EQ(UpperCaseAscii("aZ[0f]\xE9"), "AZ[0F]\xE9");
}

// Dumps go to the folder the window names, whatever the working directory is.
class DumpTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    window.SetDumpFolder(folder_.Path());
  }
  TempDir folder_;
  TempDir elsewhere_;
  ScopedWorkingDirectory inElsewhere_{elsewhere_.Path()};
};

TEST_F(DumpTest, PointerListingGoesToPtrlistWithOneLinePerRow) {
  OpenStandard();
  view.ClickRow(window, 3);
  window.OnCommand(CommandId::DisplayCodesOnly);  // the dump ignores the display mode
  const FakeEditorView before = view;
  // An old file of that name is overwritten.
  std::ofstream(folder_.File("ptrlist.txt")) << "old content that is longer than the new dump will be"
                                          << std::string(500, '!');

  window.OnCommand(CommandId::DumpToTextFile);
  auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Text has been dumped to ptrlist.txt!\nHave a nice day!");
  EXPECT_EQ(shown[0].caption, "Text dumped");
  EXPECT_EQ(shown[0].icon, MessageIcon::None);
  EXPECT_EQ(ReadText(folder_.File("ptrlist.txt")),
            std::string(kText0) + "\n" + kText3 + "\n" + kText1 + "\n" + kText3 + "\n" + kText2 +
                "\n" + kText1 + "\n");
  EXPECT_EQ(view.rows, before.rows);
  EXPECT_EQ(view.selectionMark, 3);
  EXPECT_EQ(view.editText, before.editText);
}

TEST_F(DumpTest, RawAndExpandedListingsHaveTheirOwnFiles) {
  OpenStandard();
  window.OnCommand(CommandId::RawTextListing);
  window.OnCommand(CommandId::DumpToTextFile);
  auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find("rawlist.txt"), std::string::npos) << shown[0].text;
  std::string expected;
  for (int row = 0; row < window.Table().count(); ++row) expected += window.DecodeEntry(row) + "\n";
  const std::string raw = ReadText(folder_.File("rawlist.txt"));
  EXPECT_EQ(raw, expected);
  const std::string firstLines =
      std::string(kText0) + "\n" + kText1 + "\n" + kText2 + "\n" + kText3 + "\n";
  EXPECT_EQ(raw.substr(0, firstLines.size()), firstLines);
  EXPECT_FALSE(std::filesystem::exists(folder_.File("ptrlist.txt")));

  window.OnCommand(CommandId::ExpandRom);
  window.OnCommand(CommandId::ExpandedRomListing);
  view.TakeMessages();
  window.OnCommand(CommandId::DumpToTextFile);
  shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find("explist.txt"), std::string::npos) << shown[0].text;
  std::string block = "[";
  for (int i = 0; i < 255; ++i) block += "00 ";
  block += "02]\n";
  std::string blocks;
  for (int i = 0; i < 4095; ++i) blocks += block;
  EXPECT_TRUE(ReadText(folder_.File("explist.txt")) == blocks);
}

TEST_F(DumpTest, EmptyListingGivesAnEmptyFile) {
  Open(SyntheticRom());
  ASSERT_TRUE(window.IsRomOpen());
  window.OnCommand(CommandId::DumpToTextFile);
  auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find("ptrlist.txt"), std::string::npos) << shown[0].text;
  ASSERT_TRUE(std::filesystem::exists(folder_.File("ptrlist.txt")));
  EXPECT_EQ(std::filesystem::file_size(folder_.File("ptrlist.txt")), 0u);
}

TEST_F(DumpTest, DumpThatCannotBeCreatedIsReportedAsAFailure) {
  OpenStandard();
  std::filesystem::create_directory(folder_.File("ptrlist.txt"));
  const DumpResult result = window.DumpToTextFile();
  EXPECT_EQ(result.outcome, DumpResult::Outcome::Failed);
  EXPECT_EQ(result.fileName, "ptrlist.txt");
  auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].caption, text::kDumpedCaption);
  EXPECT_EQ(shown[0].text.find("has been dumped"), std::string::npos) << shown[0].text;
  EXPECT_TRUE(std::filesystem::is_directory(folder_.File("ptrlist.txt")));
  EXPECT_TRUE(window.IsRomOpen());
}

TEST_F(DumpTest, ResultTellsWhereTheDumpWentAndNothingLandsInTheWorkingDirectory) {
  const DumpResult none = window.DumpToTextFile();  // no ROM yet: silent
  EXPECT_EQ(none.outcome, DumpResult::Outcome::NoRom);
  EXPECT_TRUE(view.TakeMessages().empty());

  OpenStandard();
  window.OnCommand(CommandId::RawTextListing);
  const DumpResult done = window.DumpToTextFile();
  EXPECT_TRUE(done.Written());
  EXPECT_EQ(done.fileName, "rawlist.txt");
  EXPECT_EQ(done.path, folder_.File("rawlist.txt"));
  EXPECT_TRUE(std::filesystem::exists(folder_.File("rawlist.txt")));
  EXPECT_FALSE(std::filesystem::exists(elsewhere_.File("rawlist.txt")));

  // Without a folder the dump goes to the working directory, as the command-line tool wants.
  window.SetDumpFolder("");
  EXPECT_TRUE(window.DumpToTextFile().Written());
  EXPECT_TRUE(std::filesystem::exists(elsewhere_.File("rawlist.txt")));
}

TEST(DumpFileNames, FollowTheListing) {
  EXPECT_STREQ(DumpFileName(ListingMode::PointerTableListing), "ptrlist.txt");
  EXPECT_STREQ(DumpFileName(ListingMode::RawTextListing), "rawlist.txt");
  EXPECT_STREQ(DumpFileName(ListingMode::ExpandedRomListing), "explist.txt");
}

}  // namespace
}  // namespace lettermoor::test
