// The main window's File > Create Patch and Apply Patch to a Copy, and Options > Original ROM:
// sharing the work as a patch against the unmodified ROM, and trying a patch on a copy.

#include "document/patch_text.h"
#include "editor/editor_window.h"
#include "rom/patch_file.h"
#include "rom/safe_file.h"

namespace lettermoor {

namespace {

// "game.smc" -> ".smc": what FileStem leaves out.
std::string Extension(const std::string& name) { return name.substr(FileStem(name).size()); }

}  // namespace

bool EditorWindow::MakePatch() {
  if (!IsRomOpen()) return false;
  // The patch is made from the file on disk: typed work goes in first, or stays out knowingly.
  if (!SettleUnappliedEdit()) return false;
  // The original the translation work uses too (loaded, checked, when the ROM was opened); asked
  // for when there is none.
  if (!doc_.HasOriginal()) ChooseOriginal();
  if (!doc_.HasOriginal()) return false;
  const std::string original = doc_.OriginalPath();
  std::string patch = view_.ChoosePatchFile(PatchFileQuestion::PatchToWrite,
                                            FolderOf(Rom().path) + "/" + FileStem(Rom().fileName) + ".bps");
  if (patch.empty()) return false;
  if (!PatchFormatOfName(patch)) patch += ".bps";
  if (IsTheBackup(patch)) {
    ShowWarning(FormatText(patch_text::kOutputIsBackup, BareFileName(patch)), patch_text::kCreateCaption);
    return false;
  }
  SyncedRom();
  const PatchFileOutcome made = CreatePatchFile(original, Rom().path, patch);
  if (!made.Done()) {
    ShowWarning(DescribePatchFileFailure(made), patch_text::kCreateCaption);
    return false;
  }
  view_.ShowMessage(FormatText(patch_text::kCreated, PatchFormatName(made.format), BareFileName(patch), made.written,
                               BareFileName(original), Rom().fileName),
                    patch_text::kCreateCaption, MessageIcon::None);
  return true;
}

bool EditorWindow::ApplyPatchToCopy() {
  if (!IsRomOpen()) return false;
  // The copy is made from the file on disk, and opening it closes this ROM.
  if (!SettleUnappliedEdit()) return false;
  const std::string folder = FolderOf(Rom().path);
  const std::string patch = view_.ChoosePatchFile(PatchFileQuestion::PatchToRead, folder + "/");
  if (patch.empty()) return false;
  const std::string out = view_.ChoosePatchFile(
      PatchFileQuestion::PatchedCopy, folder + "/" + FileStem(Rom().fileName) + "-patched" + Extension(Rom().fileName));
  if (out.empty()) return false;
  if (IsTheBackup(out)) {
    ShowWarning(FormatText(patch_text::kOutputIsBackup, BareFileName(out)), patch_text::kApplyCaption);
    return false;
  }
  SyncedRom();
  const PatchFileOutcome applied = ApplyPatchFile(Rom().path, patch, out);
  if (!applied.Done()) {
    ShowWarning(DescribePatchFileFailure(applied), patch_text::kApplyCaption);
    return false;
  }
  std::string text = FormatText(patch_text::kApplied, BareFileName(out), applied.written);
  if (const std::string layout = DescribeLayoutMatch(applied.applied.layout); !layout.empty()) text += "\n" + layout;
  if (view_.AskYesNo(text + "\n" + FormatText(patch_text::kOpenCopyQuestion, BareFileName(out)),
                     patch_text::kApplyCaption)) {
    OpenRomPath(out);
  }
  return true;
}

}  // namespace lettermoor
