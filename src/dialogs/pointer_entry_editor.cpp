#include "dialogs/pointer_entry_editor.h"

#include <cstdio>
#include <limits>

#include "codec/hex_text.h"
#include "codec/text_encoder.h"
#include "entries/text_entry_table.h"

namespace lettermoor {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A decimal integer filling the whole field (blanks around it allowed); values past 32 bits are
// clamped, so they fail the range check rather than wrap into it.
std::optional<int32_t> ParseFieldInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t digitsStart = i;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value <= std::numeric_limits<int32_t>::max()) value = value * 10 + (text[i] - '0');
  }
  if (i == digitsStart) return std::nullopt;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::string Format(const char* format, int a, int b = 0) {
  char piece[128];
  std::snprintf(piece, sizeof piece, format, a, b);
  return piece;
}

std::optional<FieldError> CheckNumber(int fieldId, std::string_view text, int32_t max,
                                      int32_t& out) {
  const std::optional<int32_t> value = ParseFieldInteger(text);
  if (!value) return FieldError{fieldId, pointer_entry_text::kEnterInteger};
  if (*value < 0 || *value > max) {
    return FieldError{fieldId, Format(pointer_entry_text::kIntegerRange, 0, max)};
  }
  out = *value;
  return std::nullopt;
}

}  // namespace

PointerEntryForm MakePointerEntryForm(const TextEntry& entry) {
  PointerEntryForm form;
  char address[16];
  std::snprintf(address, sizeof address, "%X", static_cast<unsigned>(entry.textAddress));
  form.addressText = address;
  form.spriteNumber = entry.sprite;
  form.movementNumber = entry.movement;
  form.numbersEditable = !entry.IsPlainPointer();
  return form;
}

PointerEntryFields LoadPointerEntryFields(const PointerEntryForm& form) {
  return {form.addressText, std::to_string(form.spriteNumber), std::to_string(form.movementNumber)};
}

std::optional<FieldError> ExchangePointerEntryFields(const PointerEntryFields& fields,
                                                     PointerEntryForm& form) {
  if (fields.addressText.size() > static_cast<size_t>(kAddressTextLimit)) {
    return FieldError{kAddressFieldId,
                      Format(pointer_entry_text::kTooManyCharacters, kAddressTextLimit)};
  }
  int32_t sprite = form.spriteNumber;
  int32_t movement = form.movementNumber;
  if (form.numbersEditable) {
    if (auto error = CheckNumber(kSpriteFieldId, fields.spriteText, kSpriteMax, sprite))
      return error;
    if (auto error = CheckNumber(kMovementFieldId, fields.movementText, kMovementMax, movement)) {
      return error;
    }
  }
  form.addressText = fields.addressText;
  form.spriteNumber = sprite;
  form.movementNumber = movement;
  return std::nullopt;
}

SnesAddress ParseHexAddress(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (IsBlank(text[i]) || (text[i] >= '\n' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // A bare "0x" reads as 0 whether or not it counts as a prefix, so it may be skipped always.
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
  uint64_t value = 0;
  bool overflow = false;
  for (; i < text.size() && IsHexDigit(text[i]); ++i) {
    value = value * 16 + static_cast<uint64_t>(HexDigitValue(text[i]));
    if (value > std::numeric_limits<uint32_t>::max()) {
      overflow = true;
      value = 0;
    }
  }
  uint32_t result = overflow ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
  if (negative && !overflow) result = 0u - result;
  return static_cast<SnesAddress>(result);
}

std::optional<PointerEntryForm> PointerEntryFormFor(const TextEntryTable& table, int row) {
  if (!table.Contains(row)) return std::nullopt;
  const TextEntry& entry = table.entries[static_cast<size_t>(row)];
  const bool editable = entry.IsPlainPointer() ? IsPlainPointerLocation(entry.location)
                                               : IsPointerRecordLocation(entry.location);
  if (!editable) return std::nullopt;
  return MakePointerEntryForm(entry);
}

PointerEditResult ApplyPointerEdit(RomFile& rom, TextEntryTable& table, int row,
                                   const PointerEntryForm& form, WriteResult* written) {
  if (!table.Contains(row)) return PointerEditResult::Refused;
  const TextEntry entry = table.entries[static_cast<size_t>(row)];
  TextEntry updated = entry;
  updated.textAddress = ParseHexAddress(form.addressText);
  WriteResult result;
  if (entry.IsPlainPointer()) {
    // A plain pointer has no record around it: only its own four bytes may change.
    result = WritePlainPointer(rom, entry.location, updated.textAddress);
  } else {
    updated.sprite = form.spriteNumber;
    updated.movement = form.movementNumber;
    result = WriteTextPointerRecord(rom, entry.location, updated.textAddress, updated.sprite,
                                    updated.movement);
  }
  if (written) *written = result;
  if (!result.Ok()) return PointerEditResult::Refused;
  table.entries[static_cast<size_t>(row)] = updated;
  return updated.textAddress == entry.textAddress ? PointerEditResult::Written
                                                  : PointerEditResult::Moved;
}

}  // namespace lettermoor
