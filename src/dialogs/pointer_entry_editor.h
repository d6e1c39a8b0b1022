#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "entries/text_entry.h"
#include "rom/rom_file.h"

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

// What an edit of a text pointer entry did.
enum class PointerEditResult {
  NothingToEdit,  // no ROM, no such row, or an entry no pointer leads to
  Cancelled,      // the user closed the dialog without applying
  Refused,        // the write was refused: the file and the list are as they were
  Written,        // the fields are in the file; the entry still points at the same text
  Moved,          // written, and the entry points at another text now
};

// Texts of the text pointer table entry editor.
namespace pointer_entry_text {
inline constexpr const char* kCaption = "Text Pointer Table Entry Editor";
inline constexpr const char* kNote =
    "Note: Using this feature without the proper knowledge can seriously screw up your game.  "
    "Please read the help file first.";
inline constexpr const char* kGroup = "Current Text Pointer Entry:";
inline constexpr const char* kAddressLabel = "SNES address pointed to:     $";
inline constexpr const char* kSpriteLabel = "Sprite number:";
inline constexpr const char* kMovementLabel = "Movement number:";
inline constexpr const char* kApply = "&Apply Changes";
inline constexpr const char* kCancel = "Cancel";
// The messages a refused field gets, worded as the platform's standard field checks word them.
inline constexpr const char* kEnterInteger = "Please enter an integer.";
inline constexpr const char* kIntegerRange = "Please enter an integer between %d and %d.";
inline constexpr const char* kTooManyCharacters = "Please enter no more than %d characters.";
}  // namespace pointer_entry_text

// Control ids of the editor's three fields, in exchange (and tab) order.
inline constexpr int kAddressFieldId = 1052;
inline constexpr int kSpriteFieldId = 1053;
inline constexpr int kMovementFieldId = 1054;

inline constexpr int kAddressTextLimit = 6;
inline constexpr int32_t kSpriteMax = 463;
inline constexpr int32_t kMovementMax = 255;

// The three fields as the dialog's edit controls hold them.
struct PointerEntryFields {
  std::string addressText;
  std::string spriteText;
  std::string movementText;
};

// A field refused by the exchange: which control, and the message to show for it.
struct FieldError {
  int fieldId = 0;
  std::string message;
};

// The form for an entry: the address as "%X", the numbers as stored. Plain pointers (sprite and
// movement both -1) have no numbers to edit.
PointerEntryForm MakePointerEntryForm(const TextEntry& entry);

// Loading the controls: the address text as is, the numbers in decimal (negative with a minus).
PointerEntryFields LoadPointerEntryFields(const PointerEntryForm& form);

// Saving the controls: checks the address length, then the sprite, then the movement, and stops
// at the first failure, leaving `form` untouched. On success stores the fields into `form`.
// Numbers that are not editable are neither checked nor stored.
[[nodiscard]] std::optional<FieldError> ExchangePointerEntryFields(const PointerEntryFields& fields,
                                                                   PointerEntryForm& form);

// The address text as an unsigned hexadecimal number: leading blanks skipped, an optional sign
// and 0x/0X prefix, digits up to the first other character; no digits give 0, a minus negates
// modulo 2^32, and a value past 32 bits gives 0xFFFFFFFF.
SnesAddress ParseHexAddress(std::string_view text);

// The form for a listed row, when there is a pointer behind it to edit: a record of the text
// pointer table or a plain pointer, at a place where one can lie. Rows of the raw and expanded
// listings point from nowhere.
std::optional<PointerEntryForm> PointerEntryFormFor(const TextEntryTable& table, int row);

// Writes an applied form back: a record's address, sprite and movement, or a plain pointer's own
// four bytes, then the table's entry. Gives Refused, changing nothing, when the row is gone or
// the write fails, so that the list keeps telling what the file holds; `written`, when given,
// receives what the file made of the write.
PointerEditResult ApplyPointerEdit(RomFile& rom, TextEntryTable& table, int row,
                                   const PointerEntryForm& form, WriteResult* written = nullptr);

}  // namespace lettermoor
