// Start-up, opening, refusing and closing a ROM, the menu states of the two window states, and
// the commands that only hand over to the platform.

#include <sys/stat.h>

#include "editor/editor_fixture.h"

namespace lettermoor::test {
namespace {

using namespace layout;
namespace text = editor_text;

void ExpectNoRomView(const FakeEditorView& view) {
  EXPECT_EQ(view.title, text::kTitleNoRom);
  EXPECT_FALSE(view.listEnabled);
  EXPECT_FALSE(view.editEnabled);
  EXPECT_TRUE(view.rows.empty());
  EXPECT_EQ(view.editText, "");
  EXPECT_EQ(view.Label(LabelId::Line), "");
  EXPECT_EQ(view.Label(LabelId::Size), "");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "");
}

TEST_F(EditorTest, StartsWithoutRom) {
  EXPECT_TRUE(view.iconSet);
  EXPECT_EQ(view.columnWidths, std::vector<int>{439});
  EXPECT_EQ(view.editLimit, 4000);
  ExpectNoRomView(view);
  ExpectMenus(view, NoRomEnabled(), DefaultChecks());
  EXPECT_FALSE(window.IsRomOpen());
  EXPECT_EQ(window.Listing(), ListingMode::PointerTableListing);
  EXPECT_EQ(window.Display(), 1);
  EXPECT_TRUE(window.PreventOverwrites());
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(EditorTest, OpenFillsTheListAndShowsRowZeroWithoutHighlighting) {
  TempFile& file = OpenStandard();
  ASSERT_TRUE(window.IsRomOpen());
  EXPECT_EQ(view.chooseRomCalls, 1);
  EXPECT_EQ(window.Rom().path, file.Path());
  EXPECT_EQ(window.Rom().fileName, file.Name());
  EXPECT_EQ(view.title, text::kTitleRomOpen);
  EXPECT_TRUE(view.listEnabled);
  EXPECT_TRUE(view.editEnabled);
  EXPECT_EQ(view.rows, (std::vector<std::string>{"Hello there", "Shared words", "Good morning",
                                                 "Shared words", "My friend", "Good morning"}));
  EXPECT_EQ(view.selectionMark, 0);
  EXPECT_EQ(view.selectedRow, -1);
  EXPECT_EQ(view.editText, kText0);
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 1/6");
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 14");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 14 (uncompressed)");
  // Row 0 has a sprite and a movement, so "Edit TPT entry" is on.
  std::set<CommandId> enabled = RomOpenEnabled();
  enabled.insert({CommandId::ExpandRom, CommandId::EditTptEntry});
  ExpectMenus(view, enabled, DefaultChecks());
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(EditorTest, RowPreviewIsCutAt149Characters) {
  SyntheticRom rom = StandardRom();
  const std::string longText(200, 'x');
  rom.Put(0x60000, Concat(ScriptText(longText), {0x02}));
  rom.PointerRecord(5, FileOffsetToSnes(0x60000), 1, 1);
  Open(rom);
  const int row = RowOf(0x60000);
  ASSERT_GE(row, 0);
  EXPECT_EQ(view.rows[static_cast<size_t>(row)], std::string(149, 'x'));
  EXPECT_EQ(window.RowPreview(row), std::string(149, 'x'));
}

TEST_F(EditorTest, OpenThatFailsChangesNothingAndSaysNothing) {
  auto check = [&](const char* what) {
    SCOPED_TRACE(what);
    ExpectNoRomView(view);
    ExpectMenus(view, NoRomEnabled(), DefaultChecks());
    EXPECT_FALSE(window.IsRomOpen());
    EXPECT_TRUE(view.messages.empty());
  };
  window.OnCommand(CommandId::Open);  // cancelled: the dialog gives an empty path
  EXPECT_EQ(view.chooseRomCalls, 1);
  check("cancel");

  TempDir dir;
  view.PickRom(dir.File("missing.smc"));
  window.OnCommand(CommandId::Open);
  check("missing file");

  view.PickRom(dir.Path());
  window.OnCommand(CommandId::Open);
  check("a directory");

  if (::geteuid() != 0) {  // root opens read-only files for writing all the same
    auto readOnly = StandardRom().Save();
    ::chmod(readOnly->Path().c_str(), 0444);
    view.PickRom(readOnly->Path());
    window.OnCommand(CommandId::Open);
    check("read-only file");
  }
}

TEST_F(EditorTest, FailedOpenWhileRomOpenKeepsEverything) {
  TempFile& file = OpenStandard();
  view.ClickRow(window, 2);
  view.Type(window, "Unapplied");
  const FakeEditorView before = view;

  window.OnCommand(CommandId::Open);  // cancelled
  TempDir dir;
  view.PickRom(dir.File("missing.smc"));
  window.OnCommand(CommandId::Open);

  EXPECT_TRUE(view.messages.empty());
  EXPECT_TRUE(window.IsRomOpen());
  EXPECT_EQ(window.Rom().path, file.Path());
  EXPECT_EQ(view.rows, before.rows);
  EXPECT_EQ(view.editText, "Unapplied");
  EXPECT_EQ(view.labels, before.labels);
  EXPECT_EQ(view.selectionMark, 2);
  EXPECT_EQ(view.menuEnabled, before.menuEnabled);
}

TEST_F(EditorTest, RefusedRomsWhileRomOpenChangeNothing) {
  TempFile& file = OpenStandard();
  view.ClickRow(window, 2);
  view.Type(window, "Unapplied");
  view.TakeMessages();
  const FakeEditorView before = view;

  struct Case {
    const char* title;
    const char* text;
    const char* caption;
  };
  for (const Case& c : {Case{"SOME OTHER GAME", text::kBadRom, text::kBadRomCaption},
                        Case{"MOTHER-2", text::kMother2, text::kMother2Caption}}) {
    SCOPED_TRACE(c.caption);
    auto refused = StandardRom().Title(c.title).Save();
    OpenFile(*refused);
    auto shown = view.TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, c.text);
    EXPECT_EQ(shown[0].caption, c.caption);
    EXPECT_EQ(shown[0].icon, MessageIcon::None);

    EXPECT_TRUE(window.IsRomOpen());
    EXPECT_EQ(window.Rom().path, file.Path());
    EXPECT_EQ(window.Rom().fileName, file.Name());
    EXPECT_EQ(view.title, text::kTitleRomOpen);
    EXPECT_EQ(view.rows, before.rows);
    EXPECT_EQ(view.editText, "Unapplied");
    EXPECT_EQ(view.labels, before.labels);
    EXPECT_EQ(view.selectionMark, 2);
    EXPECT_EQ(view.menuEnabled, before.menuEnabled);
    EXPECT_EQ(view.menuChecked, before.menuChecked);
  }

  // The ROM that stayed open still takes edits.
  view.Type(window, "Good evening[10 1E 02]");
  view.PressApply(window);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(Slice(file.ReadAll(), kS1, 12), ScriptText("Good evening"));
}

TEST_F(EditorTest, RefusedRomWithoutRomOpenStaysInNoRom) {
  auto refused = StandardRom().Title("SOME OTHER GAME").Save();
  OpenFile(*refused);
  auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, text::kBadRomCaption);
  ExpectNoRomView(view);
  ExpectMenus(view, NoRomEnabled(), DefaultChecks());

  // Too short to hold a title at all.
  auto tiny = SyntheticRom(0x1000, "").Save();
  OpenFile(*tiny);
  shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, text::kBadRom);
  ExpectNoRomView(view);
}

TEST_F(EditorTest, DamagedTitleOpensLikeTheGoodOne) {
  Open(StandardRom().Title("EARTH BOUND"));
  EXPECT_TRUE(window.IsRomOpen());
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.rows.size(), static_cast<size_t>(kPointerRows));
}

TEST_F(EditorTest, CloseReturnsToNoRomAndGraysEverything) {
  OpenStandard();
  window.OnEditFocus(true);
  view.ClickRow(window, 4);
  window.OnCommand(CommandId::Close);
  EXPECT_FALSE(window.IsRomOpen());
  ExpectNoRomView(view);
  ExpectMenus(view, NoRomEnabled(), DefaultChecks());
  EXPECT_TRUE(view.messages.empty());

  // Apply and the entry commands now do nothing.
  view.editText = "Anything";
  view.PressApply(window);
  window.OnCommand(CommandId::ViewDetails);
  window.OnCommand(CommandId::EditTptEntry);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_TRUE(view.detailsCalls.empty());
  EXPECT_TRUE(view.pointerEditorForms.empty());
}

TEST_F(EditorTest, OpenResetsTheListingButKeepsDisplayAndGuard) {
  TempFile& first = OpenStandard();
  window.OnCommand(CommandId::RawTextListing);
  window.OnCommand(CommandId::DisplayCodesOnly);
  window.OnCommand(CommandId::PreventOverwrites);
  ASSERT_EQ(window.Listing(), ListingMode::RawTextListing);

  // Reopening the ROM that is open works and starts over in the pointer table listing.
  OpenFile(first);
  EXPECT_TRUE(window.IsRomOpen());
  EXPECT_EQ(window.Listing(), ListingMode::PointerTableListing);
  EXPECT_EQ(window.Display(), 0);
  EXPECT_FALSE(window.PreventOverwrites());
  EXPECT_EQ(view.rows.size(), static_cast<size_t>(kPointerRows));
  EXPECT_EQ(view.editText, HexView(Slice(first.ReadAll(), kS0, 14)));
  std::set<CommandId> enabled = RomOpenEnabled();
  enabled.insert({CommandId::ExpandRom, CommandId::EditTptEntry});
  ExpectMenus(view, enabled, {CommandId::PointerTableListing, CommandId::DisplayCodesOnly, CommandId::KeepBackup});

  // Close keeps them as well.
  window.OnCommand(CommandId::Close);
  ExpectMenus(view, NoRomEnabled(), {CommandId::PointerTableListing, CommandId::DisplayCodesOnly, CommandId::KeepBackup});
  EXPECT_EQ(window.Display(), 0);
  EXPECT_FALSE(window.PreventOverwrites());
}

TEST_F(EditorTest, ExpandedSizeDecidesBetweenExpandAndExpandedListing) {
  std::set<CommandId> open = RomOpenEnabled();
  open.insert(CommandId::EditTptEntry);

  Open(StandardRom(0x4001FF));  // exactly the size from which a ROM counts as expanded
  std::set<CommandId> expanded = open;
  expanded.insert(CommandId::ExpandedRomListing);
  ExpectMenus(view, expanded, DefaultChecks());

  Open(StandardRom(0x4001FE));  // one byte short
  std::set<CommandId> shortRom = open;
  shortRom.insert(CommandId::ExpandRom);
  ExpectMenus(view, shortRom, DefaultChecks());

  // Close grays both again.
  window.OnCommand(CommandId::Close);
  ExpectMenus(view, NoRomEnabled(), DefaultChecks());
}

TEST_F(EditorTest, ClipboardItemsFollowTheEditBoxFocus) {
  const std::vector<CommandId> clip = {CommandId::Undo, CommandId::Cut, CommandId::Copy,
                                       CommandId::Paste};
  OpenStandard();
  for (CommandId id : clip) EXPECT_FALSE(view.IsEnabled(id));
  window.OnEditFocus(true);
  for (CommandId id : clip) EXPECT_TRUE(view.IsEnabled(id));

  window.OnCommand(CommandId::Undo);
  window.OnCommand(CommandId::Cut);
  window.OnCommand(CommandId::Copy);
  window.OnCommand(CommandId::Paste);
  window.OnCommand(CommandId::Paste);
  EXPECT_EQ(view.undoCalls, 1);
  EXPECT_EQ(view.cutCalls, 1);
  EXPECT_EQ(view.copyCalls, 1);
  EXPECT_EQ(view.pasteCalls, 2);

  window.OnEditFocus(false);
  for (CommandId id : clip) EXPECT_FALSE(view.IsEnabled(id));

  // Close grays them even while the edit box has the focus.
  window.OnEditFocus(true);
  window.OnCommand(CommandId::Close);
  for (CommandId id : clip) EXPECT_FALSE(view.IsEnabled(id));
}

TEST_F(EditorTest, HelpAboutAndExtrasOnlyRunTheirWindows) {
  OpenStandard();
  const FakeEditorView before = view;
  window.OnCommand(CommandId::Help);
  window.OnCommand(CommandId::About);
  window.OnCommand(CommandId::UseCompression);
  EXPECT_EQ(view.helpOpens, 1);
  EXPECT_EQ(view.aboutRuns, 1);
  EXPECT_EQ(view.gizmoRuns, 1);
  EXPECT_FALSE(view.IsChecked(CommandId::UseCompression));
  EXPECT_EQ(view.rows, before.rows);
  EXPECT_EQ(view.editText, before.editText);
  EXPECT_EQ(view.menuEnabled, before.menuEnabled);
  EXPECT_EQ(view.menuChecked, before.menuChecked);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(EditorTest, ExitClosesTheRomThenTheWindow) {
  TempFile& file = OpenStandard();
  const auto bytes = file.ReadAll();
  window.OnCommand(CommandId::Exit);
  EXPECT_FALSE(window.IsRomOpen());
  EXPECT_EQ(view.title, text::kTitleNoRom);
  EXPECT_EQ(view.closeWindowCalls, 1);
  EXPECT_EQ(file.ReadAll(), bytes);
}

TEST(EmbeddingSwitch, OnlyTheEmbeddingAndAutomationSwitchesCount) {
  for (const char* sw : {"-Embedding", "/Embedding", "-Automation", "/Automation"}) {
    EXPECT_TRUE(HasEmbeddingSwitch({"lettermoor", sw})) << sw;
    EXPECT_TRUE(HasEmbeddingSwitch({"lettermoor", "game.smc", sw})) << sw;
  }
  EXPECT_FALSE(HasEmbeddingSwitch({"lettermoor"}));
  EXPECT_FALSE(HasEmbeddingSwitch({}));
  for (const char* other : {"game.smc", "Embedding", "Automation", "-Embeddings", "/Auto",
                            "-Register", "/dde", "-"}) {
    EXPECT_FALSE(HasEmbeddingSwitch({"lettermoor", other})) << other;
  }
}

}  // namespace
}  // namespace lettermoor::test
