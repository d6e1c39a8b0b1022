#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace lettermoor {

class RomFile;
struct HeaderChecksum;
struct TextEntryTable;

// What the details window is handed when it opens. It points into the editor's state, which
// holds still while the window runs.
struct DetailsRequest {
  const RomFile* rom = nullptr;
  std::string fileName;
  int32_t row = 0;
  int32_t size = 0;
  const TextEntryTable* table = nullptr;
  const std::string* interpreterText = nullptr;
};

// Texts of the details window. The blanks inside the labels line their values up.
namespace details_text {
inline constexpr const char* kCaption = "Details";
inline constexpr std::array<const char*, 4> kTabLabels = {"Misc. Info", "Interpreter", "Raw Data",
                                                          "ROM Info"};
inline constexpr const char* kLine = "Text Attributes:\n\nLine:                  %d/%d\n";
inline constexpr const char* kHexAddress = "Hex Address:     $%X\n";
inline constexpr const char* kSnesAddress = "SNES Address:  $%X\n";
inline constexpr const char* kSize = "Size:                   %d\n";
inline constexpr const char* kPointerTableHeading = "Text Pointer Table Attributes:\n\n";
inline constexpr const char* kLocation = "Location:        $%X\n";
inline constexpr const char* kSprite = "Sprite #:          %d\n";
inline constexpr const char* kMovement = "Movement #:  %d\n";
inline constexpr const char* kIndeterminate = "Indeterminate";
inline constexpr const char* kRawByte = "%.2X ";
inline constexpr const char* kRomInfoHeading = "ROM Info:\n\n";
inline constexpr const char* kFileName = "File Name:    %s\n";
inline constexpr const char* kRomType = "ROM Type:  %s\n";
inline constexpr const char* kFileSize = "File size:       %ld bytes";
inline constexpr const char* kHeaderless = "\nHeaderless (no copier header)";
inline constexpr const char* kChecksumRight = "\nChecksum:   $%04X, right";
inline constexpr const char* kChecksumWrong = "\nChecksum:   wrong, should be $%04X";
inline constexpr const char* kChecksumNotComputed = "\nChecksum:   not computed";
}  // namespace details_text

// The eight children of the details window's tab control, by id.
enum DetailsChild : int {
  kFigurePicture = 0,  // bitmap 145, "ROM Info"
  kPageEditBox = 1,    // "Interpreter" and "Raw Data"
  kRomInfoText = 2,
  kToolBoxPicture = 3,  // bitmap 148, "Misc. Info"
  kAttributesText = 4,
  kRulePicture = 5,    // bitmap 150
  kScreenPicture = 6,  // bitmap 149
  kPointerTableText = 7,
};
inline constexpr int kDetailsChildCount = 8;
inline constexpr int kDetailsTabCount = 4;

// What showing one tab does to the children: the texts it sets (children it does not set keep
// theirs) and which children are visible afterwards.
struct DetailsPage {
  std::array<std::optional<std::string>, kDetailsChildCount> texts;
  std::array<bool, kDetailsChildCount> visible{};
};

// Composes the page for a tab from the table, the ROM file and the interpreter listing as they
// are now. Any other index shows nothing. Texts have no length limit.
DetailsPage ShowDetailsPage(const DetailsRequest& request, int tabIndex);

// The SNES header's checksum pair in words, for the command-line tool:
// "$1234 (right), complement $EDCB (right)", each wrong one with what it should be, or that it
// is not computed for the ROM's size.
std::string DescribeHeaderChecksum(const HeaderChecksum& sum);

// The request for a listed row whose string decoded to `size` bytes and left `interpreterText`
// (the control-code listing) behind; nothing when there is no such row.
std::optional<DetailsRequest> MakeDetailsRequest(const RomFile& rom, const std::string& fileName,
                                                 const TextEntryTable& table, int row,
                                                 int32_t size, const std::string& interpreterText);

}  // namespace lettermoor
