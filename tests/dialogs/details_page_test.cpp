#include "dialogs/details_page.h"

#include <gtest/gtest.h>

#include "dialogs/opened_rom.h"
#include "entries/text_entry.h"
#include "rom/header_checksum.h"
#include "rom/rom_image.h"

namespace lettermoor {
namespace {

using test::OpenedRom;
using test::SyntheticRom;

std::vector<int> VisibleChildren(const DetailsPage& page) {
  std::vector<int> out;
  for (int i = 0; i < kDetailsChildCount; ++i) {
    if (page.visible[static_cast<size_t>(i)]) out.push_back(i);
  }
  return out;
}

std::string Text(const DetailsPage& page, DetailsChild child) {
  const auto& text = page.texts[static_cast<size_t>(child)];
  return text ? *text : "<unset>";
}

// A table of `rows` entries and a request for one of them, with no ROM behind it.
struct TableOnly {
  TextEntryTable table;
  DetailsRequest request;

  TableOnly(int rows, int row, TextEntry entry, int32_t size) {
    table.entries.assign(static_cast<size_t>(rows), TextEntry{});
    table.entries[static_cast<size_t>(row)] = entry;
    request.table = &table;
    request.row = row;
    request.size = size;
  }
};

TEST(DetailsMiscInfo, RecordEntryShowsAddressesSizeAndRecord) {
  TableOnly t(57, 0, TextEntry{0xF8B92, 0xC00200, 5, 3}, 12);
  const DetailsPage page = ShowDetailsPage(t.request, 0);

  EXPECT_EQ(Text(page, kAttributesText),
            "Text Attributes:\n\n"
            "Line:                  1/57\n"
            "Hex Address:     $400\n"
            "SNES Address:  $C00200\n"
            "Size:                   12\n");
  EXPECT_NE(Text(page, kAttributesText).find("\nLine:" + std::string(18, ' ') + "1/57\n"),
            std::string::npos);
  EXPECT_EQ(Text(page, kPointerTableText),
            "Text Pointer Table Attributes:\n\n"
            "Location:        $F8B92\n"
            "Sprite #:          5\n"
            "Movement #:  3\n");
  EXPECT_EQ(VisibleChildren(page), (std::vector<int>{3, 4, 5, 6, 7}));
  EXPECT_FALSE(page.texts[kPageEditBox]);
  EXPECT_FALSE(page.texts[kRomInfoText]);
}

TEST(DetailsMiscInfo, PlainPointerAndRawListingEntries) {
  TableOnly plain(10, 9, TextEntry{0x157D70, 0xC5FE00, -1, -1}, 6);
  DetailsPage page = ShowDetailsPage(plain.request, 0);
  EXPECT_EQ(Text(page, kPointerTableText),
            "Text Pointer Table Attributes:\n\n"
            "Location:        $157D70\n"
            "Sprite #:          -1\n"
            "Movement #:  -1\n");
  EXPECT_NE(Text(page, kAttributesText).find("Line:                  10/10\n"), std::string::npos);

  TableOnly raw(3, 1, TextEntry{0, 0xC51B12, 0, 0}, 0);
  page = ShowDetailsPage(raw.request, 0);
  EXPECT_EQ(Text(page, kPointerTableText), "Text Pointer Table Attributes:\n\nIndeterminate");
  EXPECT_EQ(Text(page, kAttributesText),
            "Text Attributes:\n\nLine:                  2/3\nHex Address:     $51D12\n"
            "SNES Address:  $C51B12\nSize:                   0\n");

  // Values are read when the page is shown, not when the window opened.
  raw.table.entries[1].location = 0xF8BA3;
  page = ShowDetailsPage(raw.request, 0);
  EXPECT_NE(Text(page, kPointerTableText).find("Location:        $F8BA3\n"), std::string::npos);
}

TEST(DetailsMiscInfo, RowThatNoLongerExistsShowsNothing) {
  TableOnly t(2, 0, TextEntry{}, 1);
  t.request.row = 2;
  EXPECT_TRUE(VisibleChildren(ShowDetailsPage(t.request, 0)).empty());
  EXPECT_TRUE(VisibleChildren(ShowDetailsPage(t.request, 2)).empty());
  t.request.row = -1;
  EXPECT_TRUE(VisibleChildren(ShowDetailsPage(t.request, 0)).empty());
}

TEST(DetailsPages, InterpreterAndOtherIndices) {
  const std::string listing = "Alpha\r\nEND OF STRING";
  TableOnly t(1, 0, TextEntry{}, 1);
  t.request.interpreterText = &listing;
  DetailsPage page = ShowDetailsPage(t.request, 1);
  EXPECT_EQ(Text(page, kPageEditBox), listing);
  EXPECT_EQ(VisibleChildren(page), std::vector<int>{1});

  for (int index : {-1, 4, 99}) {
    page = ShowDetailsPage(t.request, index);
    EXPECT_TRUE(VisibleChildren(page).empty()) << index;
    for (const auto& text : page.texts) EXPECT_FALSE(text) << index;
  }
}

class DetailsOfRom : public ::testing::Test {
 protected:
  void Open(SyntheticRom image, std::string_view suffix = ".smc") {
    file_ = image.Save(suffix);
    rom_ = test::OpenForTest(file_->Path());
    request_.rom = rom_.get();
    request_.fileName = file_->Name();
    request_.table = &table_;
  }

  TextEntryTable table_;
  DetailsRequest request_;
  std::unique_ptr<test::TempFile> file_;
  std::unique_ptr<RomFile> rom_;
};

TEST_F(DetailsOfRom, RawDataShowsSizeBytesInUpperCaseHex) {
  Open(SyntheticRom(0x1000, "").Put(0x300, {0x50, 0x02, 0xFF, 0xAB}));
  table_.entries = {TextEntry{0, FileOffsetToSnes(0x300), 0, 0}};
  request_.size = 3;
  DetailsPage page = ShowDetailsPage(request_, 2);
  EXPECT_EQ(Text(page, kPageEditBox), "50 02 FF ");
  EXPECT_EQ(VisibleChildren(page), std::vector<int>{1});

  request_.size = 0;
  page = ShowDetailsPage(request_, 2);
  EXPECT_EQ(Text(page, kPageEditBox), "");
  EXPECT_EQ(VisibleChildren(page), std::vector<int>{1});
  request_.size = -5;
  EXPECT_EQ(Text(ShowDetailsPage(request_, 2), kPageEditBox), "");

  // Past the end of the file the bytes read as FF; a long entry is shown whole.
  table_.entries[0].textAddress = FileOffsetToSnes(0xFFE);
  request_.size = 3000;
  const std::string text = Text(ShowDetailsPage(request_, 2), kPageEditBox);
  ASSERT_EQ(text.size(), 9000u);
  EXPECT_EQ(text.substr(0, 9), "00 00 FF ");
  EXPECT_EQ(text.substr(8991), "FF FF FF ");
}

TEST_F(DetailsOfRom, RomInfoForEachAcceptedTitle) {
  const struct {
    const char* title;
    const char* name;
  } cases[] = {{"EARTH BOUND (J)", "EarthBound ROM"}, {"EARTH BOUND    ", "EarthBound ROM (bad)"}};
  for (const auto& c : cases) {
    Open(SyntheticRom(0x20000, c.title));
    const DetailsPage page = ShowDetailsPage(request_, 3);
    EXPECT_EQ(Text(page, kRomInfoText), "ROM Info:\n\nFile Name:    " + file_->Name() +
                                            "\nROM Type:  " + c.name +
                                            "\nFile size:       131072 bytes"
                                            "\nChecksum:   not computed");
    EXPECT_EQ(VisibleChildren(page), (std::vector<int>{0, 2}));
  }
  // No length limit: a long file name is shown whole.
  request_.fileName = std::string(300, 'n') + ".smc";
  EXPECT_NE(Text(ShowDetailsPage(request_, 3), kRomInfoText)
                .find("File Name:    " + request_.fileName + "\nROM Type:"),
            std::string::npos);
}

// The header's pair in words: each half right, or wrong with what it should be.
TEST(DescribeHeaderChecksum, SaysWhichHalfIsWrong) {
  struct Case {
    HeaderChecksum sum;
    std::string words;
  };
  const Case cases[] = {
      {{ChecksumState::NotComputed, 0, 0, 0}, "not computed for a ROM of this size"},
      {{ChecksumState::Right, 0x1234, 0x1234, 0xEDCB}, "$1234 (right), complement $EDCB (right)"},
      {{ChecksumState::Wrong, 0x1234, 0x0000, 0xEDCB}, "$0000 (wrong, should be $1234), complement $EDCB (right)"},
      {{ChecksumState::Wrong, 0x1234, 0x1234, 0xFFFF}, "$1234 (right), complement $FFFF (wrong, should be $EDCB)"},
  };
  for (const Case& c : cases) EXPECT_EQ(DescribeHeaderChecksum(c.sum), c.words);
}

// A ROM of a size that is summed shows its pair on the ROM Info page.
TEST_F(DetailsOfRom, RomInfoShowsTheHeaderChecksum) {
  SyntheticRom image(0x10000 + RomFile::kCopierHeaderSize);  // 64 KiB: the title and the pair's 0x1FE
  uint32_t title = 0;
  for (int64_t i = kTitleOffset; i < kTitleOffset + kTitleLength; ++i) title += image.Bytes()[static_cast<size_t>(i)];
  const auto sum = static_cast<uint16_t>(title + 0x1FE);
  image.Put(kChecksumPairOffset, {static_cast<uint8_t>(~sum), static_cast<uint8_t>(~sum >> 8),
                                  static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)});
  Open(image);
  const std::string text = Text(ShowDetailsPage(request_, 3), kRomInfoText);
  char expected[64];
  std::snprintf(expected, sizeof expected, "\nChecksum:   $%04X, right", sum);
  EXPECT_TRUE(text.ends_with(expected)) << text;
  // Wrong: what it should be.
  image.Put(kChecksumPairOffset, {0, 0, 0, 0});
  Open(image);
  std::snprintf(expected, sizeof expected, "\nChecksum:   wrong, should be $%04X", sum);
  EXPECT_TRUE(Text(ShowDetailsPage(request_, 3), kRomInfoText).ends_with(expected));
}

using OpenDetails = OpenedRom;

TEST_F(OpenDetails, HandsTheWindowTheEntryItsSizeAndListing) {
  view_.RightClickRow(window_, 6);  // plain pointer 2 -> Bravo
  ASSERT_EQ(view_.detailsCalls.size(), 1u);
  const auto& call = view_.detailsCalls[0];
  EXPECT_EQ(call.rom, window_.Rom().handle.get());
  EXPECT_EQ(call.fileName, file_->Name());
  EXPECT_EQ(call.row, 6);
  EXPECT_EQ(call.size, 6);
  EXPECT_EQ(call.table, &window_.Table());
  EXPECT_TRUE(call.hadInterpreterText);
  EXPECT_EQ(call.interpreterText, "Bravo\r\nEND OF STRING");

  // The page as the window would show it on opening.
  DetailsRequest request{call.rom,  call.fileName, call.row,
                         call.size, call.table,    &window_.State().interpreterText};
  const DetailsPage page = ShowDetailsPage(request, 0);
  EXPECT_EQ(Text(page, kPointerTableText),
            "Text Pointer Table Attributes:\n\nLocation:        $157D74\n"
            "Sprite #:          -1\nMovement #:  -1\n");
  EXPECT_EQ(Text(ShowDetailsPage(request, 2), kPageEditBox), "72 A2 91 A6 9F 02 ");
}

TEST_F(OpenDetails, RequestIsMadeOnlyForAListedRow) {
  const std::string listing = "listing";
  const RomFile& rom = *window_.Rom().handle;
  const std::optional<DetailsRequest> request =
      MakeDetailsRequest(rom, "name.smc", window_.Table(), 3, 6, listing);
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ(request->rom, &rom);
  EXPECT_EQ(request->fileName, "name.smc");
  EXPECT_EQ(request->row, 3);
  EXPECT_EQ(request->size, 6);
  EXPECT_EQ(request->table, &window_.Table());
  EXPECT_EQ(request->interpreterText, &listing);
  for (int row : {-1, kRows}) {
    EXPECT_FALSE(MakeDetailsRequest(rom, "name.smc", window_.Table(), row, 0, listing)) << row;
  }
}

TEST_F(OpenDetails, NoWindowWithoutARow) {
  EXPECT_FALSE(window_.OpenDetails(-1));
  EXPECT_FALSE(window_.OpenDetails(kRows));
  EXPECT_TRUE(view_.detailsCalls.empty());
  EXPECT_TRUE(window_.OpenDetails(0));
  view_.detailsCalls.clear();

  window_.CloseRom();
  view_.selectionMark = 0;
  window_.OpenDetails(view_.selectionMark);
  window_.OnCommand(CommandId::ViewDetails);
  EXPECT_TRUE(view_.detailsCalls.empty());
}

}  // namespace
}  // namespace lettermoor
