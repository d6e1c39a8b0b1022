#include "codec/control_code_table.h"

#include <iterator>

#include "codec/byte_class.h"
#include "codec/hex_text.h"

namespace lettermoor {

namespace {

constexpr ControlCodeEntry kTable[] = {
    {0x00, kNoSubCode, 0, "NEWLINE", {}, 0, CodeGroup::Waiting},
    {0x01, kNoSubCode, 0, "CLEAR WINDOW", {}, 0, CodeGroup::Waiting},
    {0x02, kNoSubCode, 0, "END OF STRING", {}, 0, CodeGroup::Flow},
    {0x03, kNoSubCode, 0, "WAIT FOR USER - PROMPT", {}, 0, CodeGroup::Waiting},
    {0x04, kNoSubCode, 2, "SET FLAG %.2X%.2X", {2, 1}, 2, CodeGroup::Flow},
    {0x05, kNoSubCode, 2, "CLEAR FLAG %.2X%.2X", {2, 1}, 2, CodeGroup::Flow},
    {0x06, kNoSubCode, 6, "IF FLAG %.2X%.2X IS SET GOTO %.2X%.2X%.2X%.2X", {2, 1, 6, 5, 4, 3}, 6, CodeGroup::Flow},
    {0x08, kNoSubCode, 4, "BRANCH TO %.2X%.2X%.2X%.2X", {4, 3, 2, 1}, 4, CodeGroup::Flow},
    {0x0A, kNoSubCode, 4, "GOTO %.2X%.2X%.2X%.2X", {4, 3, 2, 1}, 4, CodeGroup::Flow},
    {0x0B, kNoSubCode, 1, "IF CHAR %.2X", {1}, 1, CodeGroup::Flow},
    {0x0D, kNoSubCode, 1, "SET VARIABLE TO %.2X", {1}, 1, CodeGroup::Flow},
    {0x10, kNoSubCode, 1, "PAUSE FOR %.2X", {1}, 1, CodeGroup::Waiting},
    {0x13, kNoSubCode, 0, "WAIT FOR USER - NO PROMPT", {}, 0, CodeGroup::Waiting},
    {0x14, kNoSubCode, 0, "WAIT FOR USER - BATTLE TEXT PROMPT", {}, 0, CodeGroup::Waiting},
    {0x18, 0x00, 1, "CLOSE WINDOW IN BATTLE", {}, 0, CodeGroup::Waiting},
    {0x18, 0x01, 2, "OPEN WINDOW %.2X", {2}, 1, CodeGroup::Waiting},
    {0x18, 0x04, 1, "CLOSE WINDOW OUT OF BATTLE", {}, 0, CodeGroup::Waiting},
    {0x18, 0x0A, 1, "OPEN MONEY WINDOW", {}, 0, CodeGroup::Waiting},
    {0x18, 0x0B, 1, "CLOSE MONEY WINDOW", {}, 0, CodeGroup::Waiting},
    {0x18, 0x0D, 1, "OPEN STATUS WINDOW", {}, 0, CodeGroup::Waiting},
    {0x19, 0x10, 2, "CHOOSE CHAR #%.2X IN CURRENT PARTY", {2}, 1, CodeGroup::Names},
    {0x19, kAnySubCode, 0, "MENU", {}, 0, CodeGroup::Flow},
    {0x1A, 0x0A, 1, "PHONE MENU", {}, 0, CodeGroup::Flow},
    {0x1B, 0x03, 5, "IF TRUE GOTO %.2X%.2X%.2X%.2X", {5, 4, 3, 2}, 4, CodeGroup::Flow},
    {0x1B, 0x04, 1, "PREPARE VARIABLE", {}, 0, CodeGroup::Flow},
    {0x1C, 0x01, 2, "PLAYER STAT %.2X", {2}, 1, CodeGroup::Names},
    {0x1C, 0x02, 2, "PLAYER NAME %.2X", {2}, 1, CodeGroup::Names},
    {0x1C, 0x03, 2, "DISPLAY CHARACTER %.2X", {2}, 1, CodeGroup::Names},
    {0x1C, 0x04, 1, "DISPLAY HP/PP BOXES", {}, 0, CodeGroup::Waiting},
    {0x1C, 0x05, 2, "ITEM NAME %.2X", {2}, 1, CodeGroup::Names},
    {0x1C, 0x06, 2, "TELEPORT NAME %.2X", {2}, 1, CodeGroup::Names},
    {0x1C, 0x08, 2, "TEXT IMG %.2X", {2}, 1, CodeGroup::Sound},
    {0x1C, 0x0A, 5, "NUMBER AMOUNT %.2X%.2X%.2X%.2X", {5, 4, 3, 2}, 4, CodeGroup::Names},
    {0x1C, 0x0D, 1, "SOURCE NAME", {}, 0, CodeGroup::Names},
    {0x1C, 0x0E, 1, "TARGET NAME", {}, 0, CodeGroup::Names},
    {0x1C, 0x0F, 1, "NUMERICAL AMOUNT", {}, 0, CodeGroup::Names},
    {0x1D, 0x01, 3, "TAKE ITEM %.2X FROM %.2X", {3, 2}, 2, CodeGroup::Other},
    {0x1D, 0x05, 3, "CHECK IF CHAR %.2X HAS ITEM %.2X", {2, 3}, 2, CodeGroup::Flow},
    {0x1D, 0x08, 3, "ADD $%.2X%.2X", {3, 2}, 2, CodeGroup::Names},
    {0x1D, 0x09, 3, "SUBTRACT $%.2X%.2X", {3, 2}, 2, CodeGroup::Names},
    {0x1D, 0x0E, 3, "GIVE ITEM %.2X TO %.2X", {3, 2}, 2, CodeGroup::Other},
    {0x1D, 0x14, 5, "CHECK IF PARTY HAS < $%.2X%.2X%.2X%.2X", {5, 4, 3, 2}, 4, CodeGroup::Flow},
    {0x1D, 0x15, 3, "MULTIPLY PARTY SIZE AND %.2X%.2X", {3, 2}, 2, CodeGroup::Flow},
    {0x1E, 0x07, 3, "DECREASE %.2X'S CURRENT PP BY %.2X", {2, 3}, 2, CodeGroup::Other},
    {0x1E, 0x08, 3, "CHANGE %.2X'S LEVEL TO %.2X", {2, 3}, 2, CodeGroup::Other},
    {0x1E, 0x09, 6, "INCREASE %.2X'S EXP BY %.2X%.2X%.2X%.2X", {2, 6, 5, 4, 3}, 5, CodeGroup::Other},
    {0x1E, 0x0A, 3, "INCREASE %.2X'S IQ BY %.2X", {2, 3}, 2, CodeGroup::Other},
    {0x1E, 0x0B, 3, "INCREASE %.2X'S GUTS BY %.2X", {2, 3}, 2, CodeGroup::Other},
    {0x1E, 0x0C, 3, "INCREASE %.2X'S SPEED BY %.2X", {2, 3}, 2, CodeGroup::Other},
    {0x1E, 0x0D, 3, "INCREASE %.2X'S VITALITY BY %.2X", {2, 3}, 2, CodeGroup::Other},
    {0x1E, 0x0E, 3, "INCREASE %.2X'S LUCK BY %.2X", {2, 3}, 2, CodeGroup::Other},
    {0x1F, 0x00, 3, "PLAY MUSIC %.2X", {3}, 1, CodeGroup::Sound},
    {0x1F, 0x02, 2, "PLAY SOUND %.2X", {2}, 1, CodeGroup::Sound},
    {0x1F, 0x03, 1, "RELOAD MUSIC", {}, 0, CodeGroup::Sound},
    {0x1F, 0x07, 1, "FADE OUT MUSIC", {}, 0, CodeGroup::Sound},
    {0x1F, 0x11, 2, "ADD %.2X TO PARTY", {2}, 1, CodeGroup::Other},
    {0x1F, 0x12, 2, "REMOVE %.2X FROM PARTY", {2}, 1, CodeGroup::Other},
    {0x1F, 0x1A, 4, "MANIP CHAR %.2X%.2X WITH SPRITE %.2X", {3, 2, 4}, 3, CodeGroup::Sound},
    {0x1F, 0x1B, 3, "RESET CHAR %.2X%.2X", {3, 2}, 2, CodeGroup::Sound},
    {0x1F, 0x1C, 3, "DISPLAY SPRITE %.2X ABOVE CHAR %.2X", {3, 2}, 2, CodeGroup::Sound},
    {0x1F, 0x1D, 2, "RESET CHAR SPRITE %.2X", {2}, 1, CodeGroup::Sound},
    {0x1F, 0x1E, 4, "REMOVE SPRITE %.2X%.2X METHOD %.2X", {3, 2, 4}, 3, CodeGroup::Sound},
    {0x1F, 0x21, 2, "TELEPORT TO %.2X", {2}, 1, CodeGroup::Other},
    {0x1F, 0x23, 3, "FIGHT ENEMY %.2X%.2X", {3, 2}, 2, CodeGroup::Other},
    {0x1F, 0x30, 1, "REGULAR FONT", {}, 0, CodeGroup::Sound},
    {0x1F, 0x31, 1, "MR. SATURN FONT", {}, 0, CodeGroup::Sound},
    {0x1F, 0x41, 2, "SPECIAL EVENT %.2X", {2}, 1, CodeGroup::Other},
    {0x1F, 0x52, 2, "NUMBER CHOOSER SIZE %.2X", {2}, 1, CodeGroup::Names},
    {0x1F, 0x71, 3, "GIVE PSI %.2X TO %.2X", {3, 2}, 2, CodeGroup::Other},
    {0x1F, 0xE1, 4, "CHANGE TO PALETTE %.2X%.2X", {3, 2}, 2, CodeGroup::Sound},
    {0x1F, 0xEB, 2, "MAKE CHAR %.2X INVISIBLE", {2}, 1, CodeGroup::Sound},
    {0x1F, 0xF0, 1, "RIDE BICYCLE", {}, 0, CodeGroup::Other},
};

// The roles of all bytes and sub-codes, from the rows of kTable and the byte classes.
constexpr CodeRoles MakeRoles() {
  CodeRoles roles;
  // Every role set by hand: GCC's evaluation at build time leaves some of a large array's
  // default member values unset.
  for (auto& row : roles.subCoded) {
    for (CodeRole& role : row) role = CodeRole{};
  }
  for (int value = 0; value < 256; ++value) {
    const auto b = static_cast<uint8_t>(value);
    roles.of[value].code = CodeRole{};
    ByteRole::Kind& kind = roles.of[value].kind;
    switch (ClassifyByte(b)) {
      case ByteClass::Printable: kind = ByteRole::Character; break;
      case ByteClass::DictionaryReference: kind = ByteRole::DictionaryWord; break;
      case ByteClass::ControlCode: kind = HasSubCode(b) ? ByteRole::SubCodedCode : ByteRole::Code; break;
    }
  }
  static_assert(std::size(kTable) < CodeRole::kNoEntry);
  auto describe = [&](CodeRole& role, size_t row) {
    role = CodeRole{kTable[row].argumentCount, true, 0, static_cast<uint8_t>(row)};
  };
  for (size_t row = 0; row < std::size(kTable); ++row) {
    const ControlCodeEntry& e = kTable[row];
    if (e.subCode == kNoSubCode) describe(roles.of[e.code].code, row);
    if (e.subCode >= 0) describe(roles.subCoded[e.code - 0x18][e.subCode], row);
  }
  // A row for any sub-code covers the sub-codes no row of their own describes.
  for (size_t row = 0; row < std::size(kTable); ++row) {
    if (kTable[row].subCode != kAnySubCode) continue;
    for (CodeRole& role : roles.subCoded[kTable[row].code - 0x18]) {
      if (!role.described) describe(role, row);
    }
  }
  // Only a described code with room for the whole address among its arguments is a jump.
  for (size_t i = 0; i < std::size(kJumpCodes); ++i) {
    const JumpCodeKind& k = kJumpCodes[i];
    CodeRole& role = k.subCode < 0 ? roles.of[k.code].code : roles.subCoded[k.code - 0x18][k.subCode];
    if (role.described && role.argumentCount >= k.addressArgument + 3) role.jump = static_cast<uint8_t>(i + 1);
  }
  return roles;
}

}  // namespace

std::span<const ControlCodeEntry> ControlCodeTable() { return kTable; }

constinit const CodeRoles kCodeRoles = MakeRoles();

const ControlCodeEntry* LookupControlCode(uint8_t code, uint8_t subCode) {
  const uint8_t row = kCodeRoles.CodeOf(code, subCode).entry;
  return row == CodeRole::kNoEntry ? nullptr : &kTable[row];
}

CodeInsertion InsertionFor(const ControlCodeEntry& entry, std::optional<uint32_t> jumpAddress) {
  std::array<uint8_t, 8> bytes{};
  bytes[0] = entry.code;
  int fixed = 1;  // the code byte and its sub-code: not the user's to fill in
  if (entry.subCode >= 0) bytes[fixed++] = static_cast<uint8_t>(entry.subCode);
  const int count = 1 + entry.argumentCount;
  if (jumpAddress) {
    for (const JumpCodeKind& k : kJumpCodes) {
      if (k.code != entry.code || k.subCode != (entry.subCode >= 0 ? entry.subCode : -1)) continue;
      for (int b = 0; b < 4; ++b) bytes[static_cast<size_t>(k.addressArgument + b)] = static_cast<uint8_t>(*jumpAddress >> (8 * b));
    }
  }
  CodeInsertion out;
  out.text = "[";
  for (int k = 0; k < count; ++k) {
    if (k) out.text += ' ';
    if (k == fixed) out.argumentsStart = static_cast<int>(out.text.size());
    AppendHexByte(out.text, bytes[static_cast<size_t>(k)]);
  }
  if (count > fixed) out.argumentsLength = static_cast<int>(out.text.size()) - out.argumentsStart;
  out.text += ']';
  return out;
}

}  // namespace lettermoor
