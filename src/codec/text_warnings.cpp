#include "codec/text_warnings.h"

#include <algorithm>

#include "codec/byte_class.h"
#include "codec/decode_items.h"
#include "codec/hex_text.h"
#include "codec/script_scan.h"
#include "codec/text_encoder.h"

namespace lettermoor {

namespace {

// Calls `onCode(kind, at)` for every control code of the bytes, read item by item as the
// decoder reads them, on past every end code. A sub-code past the end reads as 0xFF.
template <typename OnCode>
void ForEachCode(std::span<const uint8_t> bytes, OnCode&& onCode) {
  for (size_t at = 0; at < bytes.size();) {
    const uint8_t b = bytes[at];
    const uint8_t next = at + 1 < bytes.size() ? bytes[at + 1] : uint8_t{0xFF};
    if (ClassifyByte(b) == ByteClass::ControlCode) {
      const ControlCodeEntry* entry = LookupControlCode(b, next);
      onCode(CodeKind{b, entry ? entry->subCode : kNoSubCode}, at);
    }
    at += static_cast<size_t>(ItemLength(b, next));
  }
}

// Codes a translation may add, drop or move as it rewraps its lines and pages: line breaks,
// waits for a button, pauses (and blank space, which is codes 00).
bool ShapesPrintingOnly(uint8_t code) {
  return code == 0x00 || code == 0x01 || code == 0x03 || code == 0x10 || code == 0x13 || code == 0x14;
}

std::vector<CodeKind> ComparedCodes(std::span<const uint8_t> bytes) {
  std::vector<CodeKind> codes;
  ForEachCode(bytes, [&](CodeKind kind, size_t) {
    if (kind.code != kEndCode && !ShapesPrintingOnly(kind.code)) codes.push_back(kind);
  });
  return codes;
}

std::string Bracketed(CodeKind kind) {
  std::string s = "[";
  AppendHexByte(s, kind.code);
  if (kind.subCode >= 0) {
    s += ' ';
    AppendHexByte(s, static_cast<uint8_t>(kind.subCode));
  }
  return s + "]";
}

}  // namespace

std::vector<TextWarning> EndCodeWarnings(std::span<const uint8_t> bytes) {
  // The first end code, stepping item by item as ForEachCode does (it runs on every keystroke:
  // no look-up of what the other codes are).
  size_t at = 0;
  while (at < bytes.size()) {  // a code's arguments may reach past the last byte
    at += script_scan::RunInRange(bytes.data() + at, bytes.size() - at, kGameCharacters.FirstByte(),
                                  kGameCharacters.LastByte() - kGameCharacters.FirstByte());  // characters: one-byte items
    if (at >= bytes.size() || bytes[at] == kEndCode) break;
    at += static_cast<size_t>(ItemLength(bytes[at], at + 1 < bytes.size() ? bytes[at + 1] : uint8_t{0xFF}));
  }
  if (at >= bytes.size()) return {TextWarning{TextWarningKind::EndCodeMissing}};
  if (at + 1 < bytes.size()) return {TextWarning{TextWarningKind::EndCodeNotLast}};
  return {};
}

std::vector<TextWarning> TextWarnings(std::span<const uint8_t> bytes, std::span<const uint8_t> original) {
  std::vector<TextWarning> warnings = EndCodeWarnings(bytes);
  const std::vector<CodeKind> found = ComparedCodes(bytes);
  const std::vector<CodeKind> expected = ComparedCodes(original);
  for (size_t i = 0; i < std::max(found.size(), expected.size()); ++i) {
    const bool inFound = i < found.size(), inExpected = i < expected.size();
    if (inFound && inExpected && found[i] == expected[i]) continue;
    TextWarning w{TextWarningKind::CodesDiffer, static_cast<int>(i + 1)};
    if (inFound) w.found = found[i];
    if (inExpected) w.expected = expected[i];
    warnings.push_back(w);
    break;
  }
  return warnings;
}

std::vector<TextWarning> TextWarnings(std::string_view text, std::string_view original) {
  return TextWarnings(TextEncoder(text), TextEncoder(original));
}

std::string DescribeTextWarning(const TextWarning& w) {
  switch (w.kind) {
    case TextWarningKind::EndCodeMissing:
      return "The text has no end code [02]: the game would print on into whatever follows it.";
    case TextWarningKind::EndCodeNotLast:
      return "The end code [02] is not at the text's end: the game never prints what follows it.";
    case TextWarningKind::CodesDiffer:
      break;
  }
  const std::string n = std::to_string(w.index);
  if (w.found && w.expected) {
    return "Control code " + n + " is " + Bracketed(*w.found) + " where the original has " +
           Bracketed(*w.expected) + ".";
  }
  if (w.found) return "Control code " + n + ", " + Bracketed(*w.found) + ", is not in the original.";
  if (!w.expected) return "The control codes differ from the original's.";
  return "The original's control code " + n + ", " + Bracketed(*w.expected) + ", is missing.";
}

}  // namespace lettermoor
