#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/editor_window.h"
#include "support/fake_editor_view.h"
#include "support/synthetic_rom.h"

namespace lettermoor::test {

// A small ROM opened in an editor driven through the recording view. Three strings; four records
// and five plain pointers lead to them, so that several rows share each address:
//   row 0: record 0 -> Alpha, sprite 5, movement 3    row 4: plain 0 -> Charlie
//   row 1: record 1 -> Alpha, sprite 7, movement 1    row 5: plain 1 -> Alpha
//   row 2: record 2 -> Bravo, sprite 500, movement 2  row 6: plain 2 -> Bravo
//   row 3: record 3 -> Bravo, sprite 0, movement 4    row 7: plain 3 -> Charlie
//                                                     row 8: plain 4 -> Alpha
class OpenedRom : public ::testing::Test {
 protected:
  static constexpr int64_t kAlpha = 0x60000;
  static constexpr int64_t kBravo = 0x60010;
  static constexpr int64_t kCharlie = 0x60020;
  static constexpr int kRows = 9;

  static SnesAddress Snes(int64_t offset) { return FileOffsetToSnes(static_cast<int32_t>(offset)); }

  static SyntheticRom MakeImage() {
    SyntheticRom image;
    image.ClearPointers();
    image.PutText(kAlpha, "Alpha").Put(kAlpha + 5, {0x02});
    image.PutText(kBravo, "Bravo").Put(kBravo + 5, {0x02});
    image.PutText(kCharlie, "Charlie").Put(kCharlie + 7, {0x02});
    // Record bytes the editor has no business with carry a pattern, so that a stray write shows.
    for (int r = 0; r < 5; ++r) {
      std::vector<uint8_t> pattern(17);
      for (int i = 0; i < 17; ++i) pattern[static_cast<size_t>(i)] = static_cast<uint8_t>(0xA0 + i);
      image.Put(SyntheticRom::RecordOffset(r), pattern);
    }
    image.PointerRecord(0, Snes(kAlpha), 5, 3);
    image.PointerRecord(1, Snes(kAlpha), 7, 1);
    image.PointerRecord(2, Snes(kBravo), 500, 2);
    image.PointerRecord(3, Snes(kBravo), 0, 4);
    image.Put(SyntheticRom::RecordOffset(4) + 13, {0, 0, 0, 0});  // listed nowhere
    image.PlainPointer(0, Snes(kCharlie));
    image.PlainPointer(1, Snes(kAlpha));
    image.PlainPointer(2, Snes(kBravo));
    image.PlainPointer(3, Snes(kCharlie));
    image.PlainPointer(4, Snes(kAlpha));
    return image;
  }

  void SetUp() override {
    file_ = MakeImage().Save();
    window_.Initialise();
    window_.OpenRomPath(file_->Path());
    ASSERT_TRUE(window_.IsRomOpen());
    ASSERT_EQ(window_.Table().count(), kRows);
    view_.TakeMessages();
  }

  // Clicks a row, then runs the pointer entry editor on it (as the menu item or a double-click).
  void EditRow(int row) {
    view_.ClickRow(window_, row);
    window_.EditTextPointerEntry(view_.selectionMark);
  }

  std::vector<uint8_t> Disk() const { return file_->ReadAll(); }

  FakeEditorView view_;
  EditorWindow window_{view_};
  std::unique_ptr<TempFile> file_;
};

}  // namespace lettermoor::test
