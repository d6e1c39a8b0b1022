#include "document/document_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "codec/bracket_check.h"
#include "codec/hex_text.h"
#include "codec/text_encoder.h"
#include "codec/text_sinks.h"
#include "rom/rom_image.h"
#include "rom/safe_file.h"

namespace lettermoor {

std::string LineNames(const std::vector<int>& rows) {
  std::string out = rows.size() == 1 ? "line " : "lines ";
  for (size_t i = 0; i < rows.size(); ++i) out += (i ? ", " : "") + std::to_string(rows[i] + 1);
  return out;
}

std::string BracketFaultHint(std::string_view text) {
  const int column = BracketFaultColumn(text);
  if (column == 0) return "";
  const bool stray = text[static_cast<size_t>(column - 1)] == ']';
  return FormatText(stray ? editor_text::kStrayCloseBracket : editor_text::kUnclosedOpenBracket, column);
}

namespace {

std::string HexBytes(const TextSpan& span) {
  std::string hex;
  for (int k = 0; k < span.byteCount; ++k) {
    if (k) hex += ' ';
    AppendHexByte(hex, span.bytes[static_cast<size_t>(k)]);
  }
  return hex;
}

}  // namespace

std::string CountOf(int count, const char* singular, const char* plural) {
  return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

std::string DescribeTextStatus(int characters, const TextPreview* preview) {
  const std::string chars = CountOf(characters, "character", "characters");
  if (!preview) return FormatText(editor_text::kTextStatusNoFont, chars);
  const std::string lines = CountOf(static_cast<int>(preview->layout.lines.size()), "line", "lines");
  if (preview->notFitting == 0) return FormatText(editor_text::kTextStatusFits, chars, lines);
  const std::string over = preview->notFitting == 1 ? "1 line does" : std::to_string(preview->notFitting) + " lines do";
  return FormatText(editor_text::kTextStatusRunsOver, chars, lines, over);
}

std::string DescribeTextSpan(const TextSpan& span) {
  switch (span.kind) {
    case TextSpanKind::Bracket: return "";
    case TextSpanKind::UnclosedGroup: return FormatText(editor_text::kUnclosedOpenBracket, span.start + 1);
    case TextSpanKind::StrayClose: return FormatText(editor_text::kStrayCloseBracket, span.start + 1);
    case TextSpanKind::NonGameCharacter:
      return FormatText(editor_text::kNotAGameCharacter, span.start + 1,
                        CharacterName(span.character, span.malformed,
                                      std::string_view(reinterpret_cast<const char*>(span.bytes.data()), span.byteCount)));
    case TextSpanKind::Code: break;
  }
  const uint8_t b = span.bytes[0];
  const ByteRole::Kind kind = kCodeRoles.of[b].kind;
  if (kind == ByteRole::Character) return FormatText(editor_text::kCharacterByte, kGameCharacters.CharacterOf(b));
  if (kind == ByteRole::DictionaryWord) return FormatText(editor_text::kDictionaryWordBytes, HexBytes(span));
  // Missing argument bytes read as 0 (the span's bytes past its count are 0).
  const bool described = LookupControlCode(b, span.bytes[1]) != nullptr;
  if (!described) return FormatText(editor_text::kUndescribedCode, HexBytes(span));
  std::string out;
  AppendCodeDescription(out, CodeItem{span.bytes.data(), span.byteCount, true, 0});
  return out;
}

std::string TextHintAt(const std::vector<TextSpan>& spans, int32_t position) {
  std::string hint;
  for (const TextSpan& s : spans) {
    if (position < s.start || position >= s.End()) continue;
    const std::string line = DescribeTextSpan(s);
    if (!line.empty()) hint += (hint.empty() ? "" : "\n") + line;
  }
  return hint;
}

std::string EditFaultHint(std::string_view text, const CharacterTable* characters) {
  std::vector<TextSpan> spans;
  FindTextSpans(text, spans, characters);
  const TextSpan* fault = RefusedFault(spans);
  return fault ? DescribeTextSpan(*fault) : std::string();
}

std::string DescribeBackupFailure(const std::string& backupPath, int error) {
  const std::string name = BareFileName(backupPath);
  if (error == kNotARegularFile) return FormatText(editor_text::kBackupNotAFile, name);
  return FormatText(editor_text::kBackupFailed, name, SafeWriteErrorText(error ? error : EIO));
}

std::string DescribeWriteFailure(WriteStatus status, int error, const std::string& backupPath,
                                 const std::string& journalPath) {
  const std::string reason = std::strerror(error ? error : EIO);
  switch (status) {
    case WriteStatus::Written:
    case WriteStatus::FileReplaced:
      return "";
    case WriteStatus::OutsideFile: return editor_text::kPastEndOfFile;
    case WriteStatus::ReadOnly: return editor_text::kReadOnlyRom;
    case WriteStatus::FailedRestored: return FormatText(editor_text::kWriteFailedRestored, reason);
    case WriteStatus::FailedDamaged: return FormatText(editor_text::kWriteFailedDamaged, reason);
    case WriteStatus::BackupFailed: return DescribeBackupFailure(backupPath, error);
    case WriteStatus::JournalFailed:
      return FormatText(editor_text::kJournalFailed, BareFileName(journalPath), reason);
  }
  return "";
}

const char* WriteFailureCaption(WriteStatus status) {
  switch (status) {
    case WriteStatus::OutsideFile: return editor_text::kPreWriteCaption;
    case WriteStatus::BackupFailed: return editor_text::kBackupFailedCaption;
    case WriteStatus::FileReplaced: return editor_text::kFileReplacedCaption;
    default: return editor_text::kWriteFailedCaption;
  }
}

const char* ChangeKindName(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::Change: break;
    case ChangeKind::Apply: return "apply";
    case ChangeKind::PointerEdit: return "pointer edit";
    case ChangeKind::Move: return "move";
    case ChangeKind::Import: return "import";
    case ChangeKind::Replace: return "replace";
    case ChangeKind::Expansion: return "expansion";
    case ChangeKind::Revert: return "revert";
    case ChangeKind::Undo: return "undo";
    case ChangeKind::Checksum: return "checksum";
    case ChangeKind::Font: return "font";
  }
  return "change";
}

std::string HistoryTime(int64_t time) {
  const auto t = static_cast<std::time_t>(time);
  std::tm local {};
  char text[32] = "";
  if (::localtime_r(&t, &local)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string HistoryLines(const HistoryEntry& entry) {
  std::string out;
  for (int32_t row : entry.lines) out += (out.empty() ? "" : ", ") + std::to_string(row + 1);
  return out;
}

std::string HistoryPreview(const HistoryEntry& entry) {
  constexpr size_t kShown = 40;
  const auto cut = [&](const std::string& text) {
    return "\"" + (text.size() > kShown ? text.substr(0, kShown) + "..." : text) + "\"";
  };
  const auto hex = [](const std::vector<uint8_t>& bytes) {
    std::string out;
    for (uint8_t b : bytes) out += FormatText(out.empty() ? "%02X" : " %02X", b);
    return out.empty() ? std::string("-") : out;
  };
  std::string out = entry.before.empty() && entry.after.empty() ? hex(entry.oldBytes) + " -> " + hex(entry.newBytes)
                                                                 : cut(entry.before) + " -> " + cut(entry.after);
  if (entry.kind == ChangeKind::Undo) out = FormatText("change %llu: ", static_cast<unsigned long long>(entry.undoes)) + out;
  return entry.undone ? out + " (undone)" : out;
}

std::string DescribeHistoryEntry(const HistoryEntry& entry) {
  const std::string lines = HistoryLines(entry);
  return FormatText("%llu\t%s\t%s\t%s\t%s", static_cast<unsigned long long>(entry.id), HistoryTime(entry.time),
                    ChangeKindName(entry.kind), lines.empty() ? std::string("-") : lines, HistoryPreview(entry));
}

std::string DescribeUndo(const UndoOutcome& outcome, const std::string& backupPath, const std::string& journalPath) {
  const auto entry = static_cast<unsigned long long>(outcome.entry);
  switch (outcome.result) {
    case UndoResult::Undone: return FormatText(editor_text::kUndone, entry);
    case UndoResult::NoEntry: return FormatText(editor_text::kUndoNoEntry, entry);
    case UndoResult::NothingToUndo: return editor_text::kNothingToUndo;
    case UndoResult::ChangedLater:
      return FormatText(editor_text::kUndoChangedLater, entry, static_cast<unsigned long long>(outcome.by));
    case UndoResult::ChangedOutside: return FormatText(editor_text::kUndoChangedOutside, entry);
    case UndoResult::WriteFailed: break;
  }
  return DescribeWriteFailure(outcome.status, outcome.error, backupPath, journalPath);
}

std::string DescribeApplyRefusal(const ApplyOutcome& outcome, const std::string& backupPath,
                                 const std::string& journalPath) {
  switch (outcome.result) {
    case ApplyResult::Written:
    case ApplyResult::NoEntry: return "";
    case ApplyResult::BracketError: return editor_text::kBracketError;
    case ApplyResult::TooLarge: return editor_text::kTooLarge;
    case ApplyResult::PastEndOfFile: return editor_text::kPastEndOfFile;
    case ApplyResult::NonGameCharacter: return DescribeNonGameCharacter(outcome.character);
    default: return DescribeWriteFailure(outcome.status, outcome.error, backupPath, journalPath);
  }
}

std::string DescribeMoveRefusal(const TextMoveOutcome& moved, const std::string& backupPath,
                                const std::string& journalPath) {
  if (const WriteStatus refused = moved.RefusedWrite(); refused != WriteStatus::Written) {
    const int error = !moved.backup ? moved.backup.error : moved.move.error;
    return DescribeWriteFailure(refused, error, backupPath, journalPath);
  }
  switch (moved.refusal) {
    case MoveRefusal::None: break;
    case MoveRefusal::NoEntry: return "";
    case MoveRefusal::NonGameCharacter: return DescribeNonGameCharacter(moved.character);
    case MoveRefusal::BracketError: return editor_text::kBracketError;
    case MoveRefusal::NoEndCode: return editor_text::kMoveNoEndCode;
    case MoveRefusal::NotExpanded: return editor_text::kMoveNotExpanded;
  }
  switch (moved.move.outcome) {
    case MoveOutcome::Moved: return "";
    case MoveOutcome::NoEndCode: return editor_text::kMoveNoEndCode;
    case MoveOutcome::NotExpanded: return editor_text::kMoveNotExpanded;
    case MoveOutcome::NoReferences: return editor_text::kMoveNoReferences;
    case MoveOutcome::NoFreeSpace: return FormatText(editor_text::kMoveNoFreeSpace, moved.bytes);
    case MoveOutcome::LockFailed: return editor_text::kMoveLockFailed;
    case MoveOutcome::WriteFailed: break;
  }
  return moved.move.restored ? editor_text::kMoveFailed : editor_text::kMoveFailedUnrestored;
}

std::string DescribeExpand(const ExpandOutcome& outcome, const std::string& backupPath,
                           const std::string& journalPath) {
  if (const WriteStatus refused = outcome.RefusedWrite(); refused != WriteStatus::Written) {
    return DescribeWriteFailure(refused, outcome.error, backupPath, journalPath);
  }
  switch (outcome.result) {
    case GrowResult::Grown:
    case GrowResult::AlreadyLarge: return editor_text::kExpanded;
    case GrowResult::FailedDamaged: return editor_text::kExpandFailedDamaged;
    case GrowResult::Failed: return editor_text::kExpandFailed;
    default: return "";
  }
}

std::string DescribeRecovery(const Recovery& found) {
  const std::string journal = BareFileName(found.journalPath);
  switch (found.status) {
    case RecoveryStatus::None: return "";
    case RecoveryStatus::RolledBack: return FormatText(editor_text::kRecovered, found.ranges);
    case RecoveryStatus::Unwritable:
      return FormatText(editor_text::kRecoveryUnwritable, std::string(std::strerror(found.error ? found.error : EACCES)),
                        journal);
    case RecoveryStatus::Foreign: return FormatText(editor_text::kRecoveryForeign, journal);
  }
  return "";
}

std::string DescribeProgress(const Document::Progress& progress) {
  const int percent = progress.lines > 0 ? static_cast<int>(int64_t{progress.translated} * 100 / progress.lines) : 0;
  return FormatText(editor_text::kTranslatedProgress, progress.translated, progress.lines, percent);
}

std::string DescribeOriginalRefusal(const OriginalOutcome& outcome, const std::string& name) {
  switch (outcome.result) {
    case OriginalResult::Accepted:
    case OriginalResult::NoRom: return "";
    case OriginalResult::Unreadable:
      return FormatText(editor_text::kOriginalUnreadable, name, std::string(std::strerror(outcome.error ? outcome.error : EIO)));
    case OriginalResult::NotARom: return FormatText(editor_text::kOriginalNotARom, name);
    case OriginalResult::IsTheRom: return FormatText(editor_text::kOriginalIsTheRom, name);
    case OriginalResult::IsTheBackup: return FormatText(editor_text::kOriginalIsTheBackup, name);
    case OriginalResult::TitleDiffers: return FormatText(editor_text::kOriginalTitleDiffers, name);
    case OriginalResult::SizeDiffers:
      return FormatText(editor_text::kOriginalSizeDiffers, name, static_cast<long long>(outcome.size),
                        static_cast<long long>(outcome.expected));
  }
  return "";
}

std::string DescribeConsistencyHeading(const ConsistencyFinding& finding) {
  if (finding.kind == ConsistencyFinding::Kind::LeftAsOriginal) return "Left as the original: " + finding.original;
  return "Translated " + std::to_string(finding.texts.size()) + " ways: " + finding.original;
}

std::string DescribeConsistencyCount(const std::vector<ConsistencyFinding>& findings) {
  const auto left = std::count_if(findings.begin(), findings.end(), [](const ConsistencyFinding& f) {
    return f.kind == ConsistencyFinding::Kind::LeftAsOriginal;
  });
  const auto twoWays = static_cast<long long>(findings.size()) - left;
  return FormatText("%lld original text%s translated more than one way, %lld text%s left as the original.", twoWays,
                    twoWays == 1 ? "" : "s", static_cast<long long>(left), left == 1 ? "" : "s");
}

ReferencesPage ConsistencyPage(const std::vector<ConsistencyFinding>& findings) {
  ReferencesPage page;
  page.heading = findings.empty() ? editor_text::kConsistencyClean : DescribeConsistencyCount(findings);
  for (const ConsistencyFinding& f : findings) {
    const bool twoWays = f.kind == ConsistencyFinding::Kind::TranslatedTwoWays;
    if (twoWays) page.rows.push_back({"Original", f.original, 0});
    for (size_t n = 0; n < f.texts.size(); ++n) {
      const std::string kind =
          twoWays ? "Translation " + std::to_string(n + 1) + " of " + std::to_string(f.texts.size()) : "Left as the original";
      for (const int row : f.texts[n].rows) page.rows.push_back({kind, f.texts[n].text, row + 1});
    }
  }
  return page;
}

std::string DescribeSheetRefusal(const FontSheetReading& reading) {
  switch (reading.refusal) {
    case SheetRefusal::None:
      return {};
    case SheetRefusal::NotPng:
      return FormatText("The picture cannot be read as a PNG file: %s.", reading.pngError);
    case SheetRefusal::WrongSize:
      return FormatText("The picture is %dx%d pixels; this font's picture is %dx%d (export it again with the same --font).",
                        reading.width, reading.height, reading.expectedWidth, reading.expectedHeight);
    case SheetRefusal::ForeignColour: {
      std::string colours;
      for (uint32_t c : kSheetColours) colours += FormatText("%s#%.6X", colours.empty() ? "" : ", ", c);
      return FormatText("The pixel at %d,%d is #%.6X (or not opaque), which is none of the font picture's colours: %s.",
                        reading.x, reading.y, reading.colour, colours);
    }
    case SheetRefusal::BrokenWidthBar:
      return FormatText("The width bar under the glyph of byte %.2X has a gap: it must run from the glyph's left edge "
                        "without one.",
                        reading.characterByte);
  }
  return {};
}

std::string DescribeFontWrite(const FontWriteOutcome& outcome, const std::string& backupPath,
                              const std::string& journalPath) {
  if (outcome.unreadable) return "The ROM's font table does not lead to a readable font; nothing was written.";
  if (!outcome.written) return DescribeWriteFailure(outcome.written.status, outcome.written.error, backupPath, journalPath);
  if (outcome.changedBytes == 0) return "Nothing differs from the ROM's font; nothing was written.";
  return CountOf(outcome.changedBytes, "byte", "bytes") + " of the font written.";
}

std::string DescribeTableLoad(const std::string& path, const TableLoad& load) {
  const size_t slash = path.find_last_of('/');
  std::string out = "The character table " + (slash == std::string::npos ? path : path.substr(slash + 1));
  if (load.fault == TableFault::CannotRead) {
    return out + " cannot be read: " + std::strerror(load.error) + ". No table was loaded.";
  }
  char byte[8], other[8];
  std::snprintf(byte, sizeof byte, "%02X", load.byte);
  std::snprintf(other, sizeof other, "%02X", load.otherByte);
  out += " is refused: line " + std::to_string(load.line) + " ";
  switch (load.fault) {
    case TableFault::Malformed:
      out += "is not of the form HH=text (two hexadecimal digits, \"=\", the text in UTF-8)";
      break;
    case TableFault::ByteOutOfRange:
      out += "names the byte " + std::string(byte) + ", outside the characters 50 to AA";
      break;
    case TableFault::BracketByte:
      out += "names the byte " + std::string(byte) + ", which stays a bracket";
      break;
    case TableFault::BracketText:
      out += "gives the byte " + std::string(byte) + " the text \"" + load.text + "\", which marks codes";
      break;
    case TableFault::NotOneCodePoint:
      out += "gives the byte " + std::string(byte) + " the text \"" + load.text + "\", not one character";
      break;
    case TableFault::DuplicateText:
      out += "gives the byte " + std::string(byte) + " the text \"" + load.text + "\", which the byte " + other +
             " stands for already";
      break;
    case TableFault::None:
    case TableFault::CannotRead:
      break;
  }
  return out + ". No table was loaded.";
}

}  // namespace lettermoor
