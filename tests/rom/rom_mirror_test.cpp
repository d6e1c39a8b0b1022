// Reads come from an in-memory mirror of the ROM file. Whatever writes it (this program's
// applies, record writes and expansion, or another program), the mirror and the file on disk
// must never disagree once the next command has looked at the file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/text_encoder.h"
#include "editor/editor_window.h"
#include "entries/text_entry_table.h"
#include "rom/rom_image.h"
#include "rom/snes_address.h"
#include "support/fake_editor_view.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

// The bytes a reader of `rom` gets for offsets 0 to the file's size + 64: the file on disk,
// then 0xFF past its end.
void ExpectMirrorIsFile(const RomFile& rom, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<uint8_t> disk(std::filesystem::file_size(path));
  ASSERT_EQ(std::fread(disk.data(), 1, disk.size(), f), disk.size());
  std::fclose(f);
  ASSERT_EQ(rom.Size(), static_cast<int64_t>(disk.size()));
  std::vector<uint8_t> seen(disk.size() + 64);
  rom.Read(0, seen);
  disk.resize(seen.size(), 0xFF);
  ASSERT_TRUE(seen == disk) << "the mirror and the file disagree";
}

// Changes the file as another program would, behind the open handle.
void WriteBehind(const std::string& path, int64_t offset, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  std::fseek(f, static_cast<long>(offset), SEEK_SET);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

TEST(RomMirror, AgreesWithTheFileAfterEveryWriteOfOurs) {
  test::SyntheticRom image;
  image.PutText(0x60000, "Old text").Put(0x60008, {0x02});
  image.PointerRecord(0, FileOffsetToSnes(0x60000), 3, 4);
  const auto file = image.Save();
  RomImage rom{OpenRomFile(file->Path()), file->Name(), file->Path()};
  ASSERT_TRUE(rom.IsLoaded());

  ASSERT_TRUE(WriteText(*rom.handle, 0x60000, "New[03 02]").written);
  ExpectMirrorIsFile(*rom.handle, file->Path());
  ASSERT_TRUE(WriteTextPointerRecord(*rom.handle, kPointerTableStart, FileOffsetToSnes(0x60001), 0x1C8, 7));
  ExpectMirrorIsFile(*rom.handle, file->Path());
  ASSERT_TRUE(WritePlainPointer(*rom.handle, kPlainPointerStart, FileOffsetToSnes(0x60002)));
  ExpectMirrorIsFile(*rom.handle, file->Path());
  // Refused writes change neither.
  EXPECT_FALSE(WriteText(*rom.handle, rom.handle->Size() - 2, "abc").written);
  ExpectMirrorIsFile(*rom.handle, file->Path());

  ASSERT_EQ(GrowRom(rom, kExpandedRomSize), GrowResult::Grown);
  ExpectMirrorIsFile(*rom.handle, file->Path());
  ASSERT_TRUE(WriteText(*rom.handle, rom.handle->Size() - 4, "End").written);
  ExpectMirrorIsFile(*rom.handle, file->Path());
}

TEST(RomMirror, FollowsOtherProgramsAtTheNextRefresh) {
  test::SyntheticRom image;
  const auto file = image.Save();
  const auto rom = test::OpenForTest(file->Path());

  WriteBehind(file->Path(), 0x1234, {1, 2, 3, 4});
  rom->Refresh();
  ExpectMirrorIsFile(*rom, file->Path());

  ASSERT_EQ(::truncate(file->Path().c_str(), 0x200123), 0);
  rom->Refresh();
  ExpectMirrorIsFile(*rom, file->Path());
  EXPECT_EQ(rom->ReadByte(0x200123), 0xFF);

  // Writes check the file as it is now: past the new end nothing is written.
  EXPECT_FALSE(rom->Write(0x200120, std::vector<uint8_t>{9, 9, 9, 9, 9}));
  ASSERT_TRUE(rom->Write(0x200100, std::vector<uint8_t>{7, 7}));
  ExpectMirrorIsFile(*rom, file->Path());

  ASSERT_EQ(::truncate(file->Path().c_str(), 0x300200), 0);  // grown again, zeros at the end
  WriteBehind(file->Path(), 0x2FFFFF, {0x42});
  rom->Refresh();
  ExpectMirrorIsFile(*rom, file->Path());
}

TEST(RomMirror, TheEditorsCommandsKeepItInStep) {
  test::SyntheticRom image;
  image.ClearPointers();
  for (int r = 0; r < 3; ++r) image.PointerRecord(r, FileOffsetToSnes(0x60000), 2, 2);
  image.PutText(0x60000, "Shared").Put(0x60006, {0x03, 0x02});
  const auto file = image.Save();
  test::FakeEditorView view;
  EditorWindow window(view);
  window.Initialise();
  window.OpenRomPath(file->Path());
  ASSERT_TRUE(window.IsRomOpen());

  view.selectionMark = 0;
  view.editText = "Sheared[02]";
  view.PressApply(window);
  ASSERT_TRUE(view.messages.empty());
  ExpectMirrorIsFile(*window.Rom().handle, file->Path());
  EXPECT_EQ(view.rows, std::vector<std::string>(3, "Sheared"));

  // Another program changes the string; the next command shows and rewrites the file as it is.
  WriteBehind(file->Path(), 0x60000, {'C' + 0x30});
  window.OnListClick(view.selectionMark);
  EXPECT_EQ(view.editText, "Cheared[02]");
  view.editText = "X[02]";
  view.PressApply(window);
  ExpectMirrorIsFile(*window.Rom().handle, file->Path());

  window.ExpandRom();
  ExpectMirrorIsFile(*window.Rom().handle, file->Path());
}

}  // namespace
}  // namespace lettermoor
