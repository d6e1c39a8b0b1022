// Listing and display modes, the overwrite guard toggle, and growing the ROM.

#include <filesystem>

#include "editor/editor_fixture.h"

namespace lettermoor::test {
namespace {

using namespace layout;

std::string BlankBlockText() {
  std::string s = "[";
  for (int i = 0; i < 255; ++i) s += "00 ";
  return s + "02]";
}

TEST_F(EditorTest, ListingModesRebuildOnlyWhenTheModeChanges) {
  OpenStandard();

  window.OnCommand(CommandId::RawTextListing);
  EXPECT_EQ(window.Listing(), ListingMode::RawTextListing);
  ASSERT_GE(view.rows.size(), 4u);
  EXPECT_EQ(view.rows.size(), static_cast<size_t>(window.Table().count()));
  EXPECT_EQ(std::vector<std::string>(view.rows.begin(), view.rows.begin() + 4),
            (std::vector<std::string>{"Hello there", "Good morning", "My friend", "Shared words"}));
  EXPECT_EQ(view.selectionMark, 0);
  EXPECT_EQ(view.selectedRow, -1);
  EXPECT_EQ(view.editText, kText0);
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 1/" + std::to_string(view.rows.size()));
  std::set<CommandId> enabled = RomOpenEnabled();
  enabled.insert(CommandId::ExpandRom);  // and no "Edit TPT entry" outside the pointer listing
  enabled.erase(CommandId::MoveToFreeSpace);  // nor "Move to Free Space"
  ExpectMenus(view, enabled,
              {CommandId::RawTextListing, CommandId::DisplayTextAndCodes,
               CommandId::PreventOverwrites, CommandId::KeepBackup});

  // Choosing the listing in force again neither rebuilds nor moves the mark.
  view.ClickRow(window, 2);
  const int rebuilds = ListRebuilds();
  const size_t replacements = view.replacedRows.size();
  const int shows = view.setEditTextCalls;
  window.OnCommand(CommandId::RawTextListing);
  EXPECT_EQ(ListRebuilds(), rebuilds);
  EXPECT_EQ(view.replacedRows.size(), replacements);
  EXPECT_EQ(view.setEditTextCalls, shows);
  EXPECT_EQ(view.selectionMark, 2);
  EXPECT_EQ(view.editText, kText2);
  EXPECT_TRUE(view.IsChecked(CommandId::RawTextListing));

  window.OnCommand(CommandId::PointerTableListing);
  EXPECT_EQ(window.Listing(), ListingMode::PointerTableListing);
  EXPECT_EQ(view.rows.size(), static_cast<size_t>(kPointerRows));
  EXPECT_EQ(view.selectionMark, 0);
  EXPECT_EQ(view.editText, kText0);
  enabled.insert(CommandId::EditTptEntry);
  enabled.insert(CommandId::MoveToFreeSpace);
  ExpectMenus(view, enabled, DefaultChecks());

  view.ClickRow(window, 3);
  const int again = ListRebuilds();
  window.OnCommand(CommandId::PointerTableListing);
  EXPECT_EQ(ListRebuilds(), again);
  EXPECT_EQ(view.selectionMark, 3);
  EXPECT_EQ(view.editText, kText3);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(EditorTest, DisplayModesShowTheMarkedRowAndIgnoreTheModeInForce) {
  TempFile& file = OpenStandard();
  view.ClickRow(window, 2);
  view.Type(window, "unapplied");

  window.OnCommand(CommandId::DisplayCodesOnly);
  EXPECT_EQ(window.Display(), 0);
  EXPECT_TRUE(view.IsChecked(CommandId::DisplayCodesOnly));
  EXPECT_FALSE(view.IsChecked(CommandId::DisplayTextAndCodes));
  EXPECT_EQ(view.selectionMark, 2);
  EXPECT_EQ(view.editText, HexView(Slice(file.ReadAll(), kS1, 15)));
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 3/6");
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 15");
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 15 (uncompressed)");

  view.Type(window, "unapplied again");
  const int shows = view.setEditTextCalls;
  window.OnCommand(CommandId::DisplayCodesOnly);
  EXPECT_EQ(view.setEditTextCalls, shows);
  EXPECT_EQ(view.editText, "unapplied again");

  window.OnCommand(CommandId::DisplayTextAndCodes);
  EXPECT_EQ(window.Display(), 1);
  EXPECT_TRUE(view.IsChecked(CommandId::DisplayTextAndCodes));
  EXPECT_FALSE(view.IsChecked(CommandId::DisplayCodesOnly));
  EXPECT_EQ(view.editText, kText1);
  EXPECT_EQ(view.Label(LabelId::CurrentSize), "Current Size: 15 (uncompressed)");

  const int shows2 = view.setEditTextCalls;
  window.OnCommand(CommandId::DisplayTextAndCodes);
  EXPECT_EQ(view.setEditTextCalls, shows2);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(EditorTest, PreventOverwritesToggleOnlyMovesItsCheckMark) {
  OpenStandard();
  view.ClickRow(window, 4);
  view.Type(window, "typed but not applied");
  const FakeEditorView before = view;

  window.OnCommand(CommandId::PreventOverwrites);
  EXPECT_FALSE(window.PreventOverwrites());
  EXPECT_FALSE(view.IsChecked(CommandId::PreventOverwrites));
  EXPECT_EQ(view.editText, "typed but not applied");
  EXPECT_EQ(view.setEditTextCalls, before.setEditTextCalls);
  EXPECT_EQ(view.labels, before.labels);
  EXPECT_EQ(view.rows, before.rows);
  EXPECT_EQ(view.selectionMark, 4);
  EXPECT_EQ(view.menuEnabled, before.menuEnabled);
  auto checks = view.menuChecked;
  checks.erase(CommandId::PreventOverwrites);
  auto beforeChecks = before.menuChecked;
  beforeChecks.erase(CommandId::PreventOverwrites);
  EXPECT_EQ(checks, beforeChecks);

  window.OnCommand(CommandId::PreventOverwrites);
  EXPECT_TRUE(window.PreventOverwrites());
  EXPECT_TRUE(view.IsChecked(CommandId::PreventOverwrites));

  // ShowEntry with no row refreshes that check mark and nothing else.
  view.CheckMenuItem(CommandId::PreventOverwrites, false);
  window.ShowEntry(-1);
  EXPECT_TRUE(view.IsChecked(CommandId::PreventOverwrites));
  EXPECT_EQ(view.editText, "typed but not applied");
  EXPECT_EQ(view.labels, before.labels);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(EditorTest, ExpandRomGrowsTheFileWithoutRebuildingTheList) {
  TempFile& file = OpenStandard();
  const auto original = file.ReadAll();
  view.ClickRow(window, 2);
  const FakeEditorView before = view;
  const int rebuilds = ListRebuilds();

  window.OnCommand(CommandId::ExpandRom);
  auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "ROM expanded to 0x4001FF bytes.\nHave a nice day!");
  EXPECT_EQ(shown[0].caption, "ROM Expanded");
  EXPECT_EQ(shown[0].icon, MessageIcon::None);

  const auto grown = file.ReadAll();
  ASSERT_EQ(grown.size(), 0x400200u);
  EXPECT_TRUE(std::equal(original.begin(), original.end(), grown.begin()));
  EXPECT_EQ(grown[0x300200 + 255], 0x02);
  EXPECT_EQ(grown[0x400200 - 1], 0x02);
  EXPECT_EQ(grown[0x400200 - 2], 0x00);

  EXPECT_TRUE(window.IsRomOpen());
  EXPECT_EQ(window.Listing(), ListingMode::PointerTableListing);
  EXPECT_EQ(ListRebuilds(), rebuilds);
  EXPECT_EQ(view.rows, before.rows);
  EXPECT_EQ(view.selectionMark, 2);
  EXPECT_EQ(view.editText, before.editText);
  EXPECT_FALSE(view.IsEnabled(CommandId::ExpandRom));
  EXPECT_TRUE(view.IsEnabled(CommandId::ExpandedRomListing));
  EXPECT_FALSE(view.IsChecked(CommandId::ExpandedRomListing));

  // The expansion area is listed once asked for, one entry per blank block, from the reopened
  // file that edits still reach.
  window.OnCommand(CommandId::ExpandedRomListing);
  EXPECT_EQ(window.Listing(), ListingMode::ExpandedRomListing);
  EXPECT_EQ(view.rows.size(), 4095u);
  EXPECT_EQ(view.editText, BlankBlockText());
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 1/4095");
  EXPECT_EQ(view.Label(LabelId::Size), "Size: 256");
  EXPECT_FALSE(view.IsEnabled(CommandId::EditTptEntry));
  ExpectMenus(view,
              [] {
                auto s = RomOpenEnabled();
                s.insert(CommandId::ExpandedRomListing);
                s.insert(CommandId::RevertToBackup);  // the copy kept before the expansion
                s.erase(CommandId::MoveToFreeSpace);
                return s;
              }(),
              {CommandId::ExpandedRomListing, CommandId::DisplayTextAndCodes,
               CommandId::PreventOverwrites, CommandId::KeepBackup});

  view.ClickRow(window, 1);
  view.Type(window, "New text[02]");
  view.PressApply(window);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(Slice(file.ReadAll(), 0x300300, 9), Concat(ScriptText("New text"), {0x02}));
  EXPECT_EQ(view.rows[1], "New text");

  // A later Open of the grown file counts it as expanded.
  OpenFile(file);
  EXPECT_FALSE(view.IsEnabled(CommandId::ExpandRom));
  EXPECT_TRUE(view.IsEnabled(CommandId::ExpandedRomListing));
}

TEST_F(EditorTest, ExpandRomOnALargeFileChangesNothingOnDisk) {
  EXPECT_EQ(window.ExpandRom(), GrowResult::NotOpen);  // no ROM: nothing to say
  EXPECT_TRUE(view.TakeMessages().empty());
  TempFile& file = Open(StandardRom(0x400200));
  const auto bytes = file.ReadAll();
  EXPECT_EQ(window.ExpandRom(), GrowResult::AlreadyLarge);
  EXPECT_EQ(view.TakeMessages().size(), 1u);
  EXPECT_EQ(file.ReadAll(), bytes);
  EXPECT_TRUE(window.IsRomOpen());
  EXPECT_FALSE(view.IsEnabled(CommandId::ExpandRom));
  EXPECT_TRUE(view.IsEnabled(CommandId::ExpandedRomListing));
}

// Expansion used to reopen the ROM by its path; with the file deleted the window ended with no
// ROM. Now nothing is written, the user is told the file is gone, and the ROM stays open.
TEST_F(EditorTest, ExpandRomOfADeletedFileWritesNothingAndSaysSo) {
  TempFile& file = OpenStandard();
  std::filesystem::remove(file.Path());

  EXPECT_EQ(window.ExpandRom(), GrowResult::FileReplaced);
  EXPECT_EQ(view.TakeMessages().size(), 1u);
  ASSERT_EQ(view.questions.size(), 1u);  // the offer to open the file again; answered No
  EXPECT_TRUE(window.IsRomOpen());
  EXPECT_EQ(window.Rom().handle->Size(), static_cast<int64_t>(SyntheticRom::kStandardSize));
  EXPECT_FALSE(std::filesystem::exists(file.Path()));

  view.editText = "Hello[02]";
  EXPECT_EQ(view.PressApply(window), ApplyResult::FileReplaced);
  EXPECT_EQ(view.TakeMessages().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(file.Path()));
}

TEST_F(EditorTest, RawListingCutAt8000EntriesSaysSoOnce) {
  SyntheticRom rom;  // no pointers: the pointer table listing is empty
  // Every byte of the first raw range is an end code, so each is a string of its own.
  rom.Put(0x51D12, std::vector<uint8_t>(0x581C1 - 0x51D12, 0x02));
  Open(rom);
  EXPECT_TRUE(view.TakeMessages().empty());
  EXPECT_TRUE(view.rows.empty());

  window.OnCommand(CommandId::RawTextListing);
  auto shown = view.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find("8000"), std::string::npos) << shown[0].text;
  EXPECT_EQ(view.rows.size(), 8000u);
  EXPECT_EQ(window.Table().count(), 8000);
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 1/8000");
  EXPECT_EQ(view.editText, "[02]");

  // The last listed string is the 8000th end code.
  view.ClickRow(window, 7999);
  EXPECT_EQ(view.Label(LabelId::Line), "Line: 8000/8000");
  EXPECT_EQ(RowOf(0x51D12 + 7999), 7999);
}

}  // namespace
}  // namespace lettermoor::test
