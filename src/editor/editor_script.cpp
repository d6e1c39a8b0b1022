// The main window's File > Export Script and Import Script: the script file of the current
// listing out, and a script file's changed texts back in.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "editor/editor_window.h"
#include "rom/safe_file.h"
#include "script/po_file.h"
#include "script/script_file.h"

namespace lettermoor {

namespace {

// "sample.smc" -> "sample-pointer.txt".
std::string SuggestedScriptName(const std::string& romName, ListingMode mode) {
  return FileStem(romName) + "-" + ScriptListingName(mode) + ".txt";
}

std::string ErrorText(int error) { return std::strerror(error ? error : EIO); }

// A file picked with the ".po" ending is a gettext PO file; any other name a script file.
bool IsPoFile(const std::string& path) { return path.ends_with(".po") || path.ends_with(".pot"); }

}  // namespace

bool EditorWindow::ExportScriptFile() {
  if (!IsRomOpen()) return false;
  const std::string name = SuggestedScriptName(Rom().fileName, Listing());
  const std::string path = view_.ChooseScriptFile(true, dumpFolder_.empty() ? name : dumpFolder_ + "/" + name);
  if (path.empty()) return false;
  if (doc_.IsTheRom(path) || IsTheBackup(path)) {
    view_.ShowMessage(FormatText(doc_.IsTheRom(path) ? editor_text::kScriptIsRom : editor_text::kScriptIsBackup,
                             BareFileName(path)),
                      editor_text::kExportCaption, MessageIcon::Warning);
    return false;
  }
  SyncedRom();
  const auto progress = [&](int done, int total) { return view_.ShowProgress(editor_text::kWritingScript, done, total); };
  std::optional<std::string> script;
  int texts = 0;
  if (IsPoFile(path)) {
    // Against the original ROM when one is chosen: its texts are the msgids.
    if (std::optional<PoExport> po = doc_.ExportPo(progress)) {
      texts = po->translated + po->untranslated;
      script = std::move(po->text);
    }
  } else {
    script = doc_.Export(progress);
    // The blocks are the distinct addresses: count them as the file does.
    for (size_t at = script ? script->find("\n@ $") : std::string::npos; at != std::string::npos;
         at = script->find("\n@ $", at + 1)) {
      ++texts;
    }
  }
  view_.ShowProgress(editor_text::kWritingScript, 1, 1);  // closes the progress, however it ended
  if (!script) return false;  // cancelled
  const SafeWriteResult written = WriteFileSafely(path, [&](std::FILE* out) {
    return std::fwrite(script->data(), 1, script->size(), out) == script->size();
  });
  if (!written.ok) {
    view_.ShowMessage(FormatText(editor_text::kExportFailed, BareFileName(path), ErrorText(written.error)),
                      editor_text::kExportCaption, MessageIcon::Warning);
    return false;
  }
  char buf[512];
  std::snprintf(buf, sizeof buf, editor_text::kExported, texts, ScriptListingName(Listing()),
                BareFileName(path).c_str());
  view_.ShowMessage(buf, editor_text::kExportCaption, MessageIcon::None);
  return true;
}

std::optional<ImportResult> EditorWindow::ImportScriptFile() {
  if (!IsRomOpen()) return std::nullopt;
  // The list is filled again afterwards: typed work is asked about first.
  if (!SettleUnappliedEdit()) return std::nullopt;
  if (IsReadOnly()) {
    view_.ShowMessage(editor_text::kReadOnlyRom, editor_text::kImportCaption, MessageIcon::Warning);
    return std::nullopt;
  }
  const std::string name = SuggestedScriptName(Rom().fileName, Listing());
  const std::string path = view_.ChooseScriptFile(false, dumpFolder_.empty() ? name : dumpFolder_ + "/" + name);
  if (path.empty()) return std::nullopt;
  // Bounded, and never from a FIFO or a device: a picked name must not hang the window or fill
  // its memory. "-" is a file of that name here, not standard input.
  const ScriptFileRead read = ReadScriptFile(path == "-" ? "./-" : path);
  if (read.fault != ScriptFileRead::Fault::None) {
    const std::string why = read.fault == ScriptFileRead::Fault::CannotRead
                                ? FormatText(editor_text::kImportUnreadable, BareFileName(path), ErrorText(read.error))
                                : DescribeScriptReadFault(BareFileName(path), read) + "\n" + editor_text::kImportRefused;
    view_.ShowMessage(why, editor_text::kImportCaption, MessageIcon::Warning);
    return std::nullopt;
  }
  ParsedScript parsed;
  std::string head;
  if (IsPoFile(path)) {
    const ParsedPo po = ParsePo(read.content, doc_.Characters());
    parsed.error = po.error;
    if (!po.error) {
      PoImportPlan plan = PlanPoImport(po, false, [&](SnesAddress a) { return doc_.OriginalScriptText(a); });
      head = DescribePoImport(plan);
      parsed.blocks = std::move(plan.blocks);
    }
  } else {
    parsed = ParseScript(read.content, doc_.Characters());
    // Exported with another table: its letters would read as faults, or as other bytes. Asked.
    const std::string inUse = doc_.Characters() ? doc_.Characters()->Name() : std::string();
    if (OtherTable(parsed, inUse) &&
        !view_.AskYesNo(DescribeOtherTable(BareFileName(path), parsed.table, inUse) + "\n\nImport it all the same?",
                        editor_text::kImportCaption)) {
      return std::nullopt;
    }
  }
  if (parsed.error) {
    view_.ShowMessage(DescribeScriptError(BareFileName(path), *parsed.error) + "\n" + editor_text::kImportRefused,
                      editor_text::kImportCaption, MessageIcon::Warning);
    return std::nullopt;
  }
  const int mark = view_.SelectionMark();
  ImportOptions options;
  options.compressor = &Compressor();
  auto run = [&] {
    ImportResult r = doc_.Import(
        parsed.blocks, options,
        [&](int done, int total) { return view_.ShowProgress(editor_text::kReadingScript, done, total); });
    view_.ShowProgress(editor_text::kReadingScript, 1, 1);  // closes the progress, however it ended
    return r;
  };
  ImportResult result = run();
  // Texts changed in the ROM since the export are left unless the user says to write them: the
  // rest of the import is in already, so a second pass writes only those.
  std::string changedSince;
  for (const BlockReport& r : result.changed) {
    if (r.outcome == BlockOutcome::Stale && r.stale == StaleReason::Changed) {
      changedSince += "\nline " + std::to_string(r.line);
    }
  }
  if (result.status == ImportStatus::Done && !changedSince.empty() &&
      view_.AskYesNo(editor_text::kImportOverwriteQuestion + changedSince, editor_text::kImportCaption)) {
    options.overwriteChanged = true;
    ImportResult second = run();
    if (second.status == ImportStatus::Done) {
      // One report: the first pass's blocks, with the ones written now in their place.
      for (BlockReport& r : result.changed) {
        const auto again = std::find_if(second.changed.begin(), second.changed.end(),
                                        [&](const BlockReport& s) { return s.address == r.address; });
        if (again != second.changed.end()) r = *again;
      }
      result.changes.insert(result.changes.end(), second.changes.begin(), second.changes.end());
    } else {
      result = std::move(second);
    }
  }
  AfterImport(result, mark, FormatText(editor_text::kImportReportTitle, BareFileName(path)),
              editor_text::kImportCaption, head);
  return result;
}

// What the import did: a refusal's message, or the list filled again and the report.
void EditorWindow::AfterImport(const ImportResult& result, int mark, const std::string& title, const char* caption,
                               const std::string& head) {
  if (result.status == ImportStatus::Stopped) return;
  if (result.status != ImportStatus::Done && result.status != ImportStatus::Incomplete) {
    if (result.status == ImportStatus::WriteFailed &&
        (result.writeStatus == WriteStatus::FileReplaced || result.writeStatus == WriteStatus::BackupFailed ||
         result.writeStatus == WriteStatus::JournalFailed)) {
      ReportWriteFailure(result.writeStatus, result.error);
    } else {
      view_.ShowMessage(DescribeImportFailure(result), caption, MessageIcon::Warning);
    }
    return;
  }
  if (!result.changes.empty()) {
    // The texts (and, after moves, the addresses) of the list are the file's now; the marked row
    // stays marked.
    FillEntryList();
    if (mark > 0 && Table().Contains(mark)) SelectRow(mark);
    RefreshReferencesWindow();
    EnableRevertItem();
  }
  // The list's line of each text beside its line in the script file: the user looks for both.
  std::unordered_map<SnesAddress, int> lines;
  for (int i = Table().count() - 1; i >= 0; --i) lines[Table().entries[static_cast<size_t>(i)].textAddress] = i + 1;
  view_.ShowReport(title, head + DescribeImport(result, false, [&](SnesAddress a) {
                     const auto at = lines.find(a);
                     return at == lines.end() ? 0 : at->second;
                   }));
}

bool EditorWindow::CheckConsistency() {
  if (!IsRomOpen()) return false;
  if (!doc_.HasOriginal()) {
    view_.ShowMessage(editor_text::kConsistencyNeedsOriginal, editor_text::kConsistencyCaption, MessageIcon::Warning);
    return false;
  }
  SyncedRom();
  view_.ShowConsistency(ConsistencyPage(doc_.Consistency()));
  return true;
}

}  // namespace lettermoor
