#pragma once

#include <cstdint>
#include <string>

namespace lettermoor {

class RomFile;
struct TextEntryTable;

// What the pointer entry editor dialog shows and gives back. The dialog validates the fields
// (address at most 6 characters; sprite 0-463, movement 0-255 when editable) before it reports
// an applied close.
struct PointerEntryForm {
  std::string addressText;
  int32_t spriteNumber = 0;
  int32_t movementNumber = 0;
  // False for entries of the plain pointer list: they have no sprite or movement, and only their
  // 4-byte pointer can be changed.
  bool numbersEditable = true;
};

// What the details window is handed when it opens.
struct DetailsRequest {
  const RomFile* rom = nullptr;
  std::string fileName;
  int32_t row = 0;
  int32_t size = 0;
  const TextEntryTable* table = nullptr;
  const std::string* interpreterText = nullptr;
};

}  // namespace lettermoor
