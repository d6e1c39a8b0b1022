// Options > Compress with Dictionary in the real window: the item, the live size label's word,
// the overwrite guard's decision and the bytes Apply writes.

#include "main_window_fixture.h"

namespace lettermoor::test {
namespace {

using namespace ui_rom;

TEST_F(MainWindowTest, CompressWithDictionaryDecidesTheLabelAndTheGuard) {
  QAction* item = window.Action(CommandId::CompressWithDictionary);
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(item->isChecked());  // its place in the menu: MenuBarHasEveryItemTextIdAndSeparatorInOrder
  SyntheticRom rom = Build();
  rom.Dictionary({"Good night"});
  const std::unique_ptr<TempFile> file = rom.Save();
  Open(file->Path());
  ClickRow(4);
  EXPECT_EQ(EditText(), "Good night[02]");  // 11 bytes in the ROM

  // 23 bytes written plainly, 7 with the word as a reference: it fits only compressed.
  Retype("Good night, Good night[02]");
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 23 (uncompressed)");
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  auto shown = modals.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text.toStdString(), editor_text::kTooLarge);

  Trigger(CommandId::CompressWithDictionary);
  EXPECT_TRUE(item->isChecked());
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 7 (compressed)");
  QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
  EXPECT_TRUE(modals.TakeMessages().empty());
  const std::vector<uint8_t> all = file->ReadAll();
  EXPECT_EQ(std::vector<uint8_t>(all.begin() + kS3, all.begin() + kS3 + 7),
            (std::vector<uint8_t>{0x15, 0x01, 0x5C, 0x50, 0x15, 0x01, 0x02}));
  EXPECT_EQ(Row(4), "Good night, Good night");
  EXPECT_EQ(EditText(), "Good night, Good night[02]");

  // A bracket error: the label's hint says where.
  Retype("Good [02");
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: Unknown");
  EXPECT_EQ(window.Label(LabelId::CurrentSize)->toolTip(), "Column 6: this \"[\" is never closed.");
  Retype("Good[02]");
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 5 (compressed)");
  EXPECT_TRUE(window.Label(LabelId::CurrentSize)->toolTip().isEmpty());

  Trigger(CommandId::CompressWithDictionary);
  EXPECT_FALSE(item->isChecked());
  EXPECT_EQ(Label(LabelId::CurrentSize), "Current Size: 5 (uncompressed)");
}

}  // namespace
}  // namespace lettermoor::test
