#include "commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "cli_output.h"
#include "codec/font_sheet.h"
#include "codec/hex_text.h"
#include "codec/text_window_picture.h"
#include "codec/window_png.h"
#include "dialogs/details_page.h"
#include "document/document.h"
#include "document/document_text.h"
#include "document/patch_text.h"
#include "document/references_page.h"
#include "rom/patch_file.h"
#include "rom/safe_file.h"
#include "sample/sample_font.h"
#include "sample/sample_rom.h"
#include "script/po_file.h"

namespace lettermoor::cli {
namespace {

const std::map<std::string, ListingMode> kListings = {
    {"pointer", ListingMode::PointerTableListing},
    {"raw", ListingMode::RawTextListing},
    {"expanded", ListingMode::ExpandedRomListing},
};

constexpr const char* kNoBackupHint = "On the command line: --no-backup writes without keeping a copy.";

// Why a ROM could not be opened, in words that say what to do about it.
std::string OpenFailure(const std::string& path, int error, RomOpenMode mode) {
  const std::string head = "Cannot open " + path + ": ";
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return head + "there is no such file.";
    case EACCES:
    case EPERM:
      return head + (mode == RomOpenMode::View ? "there is no permission to read it."
                                               : "there is no permission to read and write it.");
    case EROFS:
      return head + "it lies on a read-only file system, and this command writes to it.";
    case EISDIR:
    case EINVAL:
      return head + "it is not a regular file.";
    default:
      return head + std::strerror(error) + ".";
  }
}

struct TableChoice {
  std::string path;
  bool none = false;
};
TableChoice tableChoice;

// The command's character table for the ROM at `romPath`: --table, else the file beside the ROM
// when there is one. A table that does not load ends the command before the ROM is touched.
std::optional<CharacterTable> TableFor(const std::string& romPath) {
  if (tableChoice.none) return std::nullopt;
  const std::string path = tableChoice.path.empty() ? Document::DefaultTablePath(romPath) : tableChoice.path;
  struct stat st {};
  if (tableChoice.path.empty() && ::stat(path.c_str(), &st) != 0) return std::nullopt;
  TableLoad load;
  std::optional<CharacterTable> table = CharacterTable::Load(path, load);
  if (!table) Fail(kExitUsage, DescribeTableLoad(path, load));
  return table;
}

// One open ROM and its listing, as a user would open it in the desktop program.
class Session {
 public:
  // A writing command keeps a copy of the ROM beside it before its first write (x.smc.bak),
  // as the window does, unless --no-backup.
  explicit Session(bool keepBackup = true, bool keepChecksum = false) {
    doc_.SetKeepBackup(keepBackup);
    doc_.SetKeepChecksumRight(keepChecksum);
  }
  ~Session() {
    if (doc_.TakeHistoryTrimmed()) Tell(editor_text::kHistoryTrimmed);
  }

  // Opens `path` and fills `listing`; a ROM that cannot be opened or is refused ends the command.
  void Open(const std::string& path, const std::string& listing, RomOpenMode openMode = RomOpenMode::View) {
    OpenedRom opened = Document::OpenFile(path, openMode);
    if (!opened.file) Fail(kExitUsage, OpenFailure(path, opened.error, openMode));
    TellRecovery(opened.recovery);
    if (opened.type == RomType::Unrecognized) Fail(kExitUsage, editor_text::kBadRom);
    if (opened.type == RomType::Mother2) Fail(kExitUsage, editor_text::kMother2);
    std::optional<CharacterTable> table = TableFor(path);
    doc_.Adopt(std::move(opened));
    doc_.SetCharacterTable(std::move(table));
    const ListingMode mode = kListings.at(listing);
    if (mode == ListingMode::ExpandedRomListing && !doc_.IsExpanded()) {
      // The desktop program grays "Expanded ROM listing" for such a file.
      Fail(kExitUsage, "This ROM has not been expanded, so it has no expanded ROM listing (run expand first).");
    }
    doc_.SetMode(mode);
    listing_ = doc_.Fill();
    if (listing_.truncated) Tell(editor_text::kListingCut);
  }

  // Takes `path` as the open ROM's original; a refused one ends the command.
  void OpenOriginal(const std::string& path) {
    const OriginalOutcome outcome = doc_.SetOriginal(path);
    if (!outcome.Accepted()) Fail(kExitUsage, DescribeOriginalRefusal(outcome, path));
  }

  // Ends the command when line `line` (counted from 1) is not in the listing.
  void CheckLine(int line) const {
    const int count = doc_.RowCount();
    if (line < 1 || line > count) {
      Fail(kExitUsage, "Line " + std::to_string(line) + " does not exist: the listing has " + std::to_string(count) +
                           " lines.");
    }
  }

  // What the last taking of the file's lock found of an interrupted change, on standard error.
  void TellRecovery(const Recovery& found) {
    if (found.status != RecoveryStatus::None) Tell(DescribeRecovery(found));
  }
  void TellRecovery() { TellRecovery(doc_.TakeRecovery()); }

  std::string JournalPath() const { return doc_.Rom().handle->JournalPath(); }
  // The open ROM and the backup copy kept beside it.
  std::vector<Guarded> RomAndBackup() const {
    const RomFile& rom = *doc_.Rom().handle;
    return {{"the ROM file itself", rom.OpenedPath(), rom.Descriptor()}, {"the ROM's backup copy", doc_.BackupPath()}};
  }

  Document& Doc() { return doc_; }
  const RomFile& File() const { return *doc_.Rom().handle; }
  const RowList& Rows() const { return listing_.rows; }

 private:
  Document doc_;
  FilledListing listing_;
};

void CheckTextLength(const std::string& text) {
  if (text.size() > static_cast<size_t>(kEditTextLimit)) {
    Fail(kExitUsage, "The text is longer than the " + std::to_string(kEditTextLimit) +
                         " characters the edit box takes.");
  }
}

}  // namespace

void SetTableChoice(const std::string& table, bool noTable) { tableChoice = {table, noTable}; }

int RunInfo(const Options& o) {
  Session s;
  s.Open(o.rom, "pointer");
  const RomImage& image = s.Doc().Rom();
  Print("File name: %s\n", image.fileName.c_str());
  Print("ROM type: %s\n", RomTypeName(DetectRomType(*image.handle)));
  Print("Size: %lld bytes\n", static_cast<long long>(RomFileSize(*image.handle)));
  Print("Expanded: %s\n", s.Doc().IsExpanded() ? "yes" : "no");
  // Sizes and offsets are the headed layout's either way; this says how the file lies on disk.
  Print("Copier header: %s\n", image.handle->IsHeaderless() ? "no (headerless file)" : "yes");
  Print("Header checksum: %s\n", DescribeHeaderChecksum(s.Doc().Checksum()).c_str());
  Print("%s\n", DescribeFreeSpace(FreeSpaceLeft(*image.handle, s.Doc().References())).c_str());
  return kExitOk;
}

int RunList(const Options& o) {
  Session s;
  s.Open(o.rom, o.listing);
  if (o.untranslated && o.original.empty()) Fail(kExitUsage, "--untranslated needs --original: the ROM to compare with.");
  std::vector<RowTranslation> translations;
  if (!o.original.empty()) {
    s.OpenOriginal(o.original);
    translations = s.Doc().Translations();
    Tell(DescribeProgress(Document::CountProgress(translations)));
  }
  const TextEntryTable& table = s.Doc().Table();
  for (int i = 0; i < table.count() && !OutputFailed(); ++i) {
    if (o.untranslated && translations[static_cast<size_t>(i)] != RowTranslation::Untranslated) continue;
    const TextEntry& e = table.entries[static_cast<size_t>(i)];
    int32_t size = 0;
    s.Doc().EntryText(i, &size);
    const size_t row = static_cast<size_t>(i);
    Print("%d\t%s\t%s\t%d\t%d\t%d\t", i + 1, Hex(e.location).c_str(), Hex(e.textAddress).c_str(), e.sprite,
          e.movement, size);
    WriteOut(row < s.Rows().size() ? OneCell(std::string(s.Rows()[row])) : "");
    WriteOut("\n");
  }
  return kExitOk;
}

int RunDump(const Options& o) {
  Session s;
  s.Open(o.rom, o.listing);
  RefuseOutputOver(o.output.empty() ? DumpFileName(s.Doc().Mode()) : o.output, s.RomAndBackup(), "Nothing was dumped.");
  if (o.output.empty()) {
    // Tools > "Dump to text file": the listing's own file name in the working directory.
    const DumpResult dumped = s.Doc().Dump(".");
    Tell(FormatText(dumped.Written() ? editor_text::kDumped : editor_text::kDumpFailed, dumped.fileName));
    return dumped.Written() ? kExitOk : kExitFailed;
  }
  if (o.output == "-") {
    errno = 0;
    if (!s.Doc().WriteDump(stdout)) NoteOutputFailure();
    return kExitOk;  // a failed write is told when the command ends
  }
  const SafeWriteResult written = WriteFileSafely(o.output, [&](std::FILE* out) { return s.Doc().WriteDump(out); });
  if (!written.ok) {
    Fail(kExitFailed, "Cannot write " + o.output + ": " + std::strerror(written.error ? written.error : EIO) + ".");
  }
  return kExitOk;
}

int RunShow(const Options& o) {
  Session s;
  s.Open(o.rom, o.listing);
  s.CheckLine(o.line);
  int32_t size = 0;
  const std::string text = s.Doc().EntryText(o.line - 1, &size);
  WriteOut(o.codesOnly ? s.Doc().EntryCodes(o.line - 1, size) : text);
  WriteOut("\n");
  return kExitOk;
}

int RunSearch(const Options& o) {
  Session s;
  s.Open(o.rom, o.listing);
  int mark = -1;  // no row marked: the first row is examined too
  if (o.hasAfter) {
    s.CheckLine(o.after);
    mark = o.after - 1;
  }
  int hits = 0;
  while (!OutputFailed()) {
    const std::optional<int> hit = s.Doc().Find(o.query, mark);
    if (!hit) break;
    ++hits;
    mark = *hit;
    Print("%d\t", mark + 1);
    WriteOut(s.Doc().EntryText(mark));
    WriteOut("\n");
  }
  if (hits == 0) Fail(kExitFailed, editor_text::kNotFound);
  return kExitOk;
}

namespace {

// What the window's refusals mean on the command line: where a bracket goes wrong, and which of
// this tool's options lets a larger text through.
void ExplainRefusal(ApplyResult result, const std::string& text, bool compress) {
  if (result == ApplyResult::BackupFailed) {
    Tell(kNoBackupHint);
  } else if (result == ApplyResult::BracketError) {
    Tell(BracketFaultHint(text));
  } else if (result == ApplyResult::TooLarge) {
    Tell(compress ? "On the command line: --allow-larger writes it anyway, over whatever follows the old text."
                  : "On the command line: --compress writes dictionary words back as references, which may "
                    "make it fit; --allow-larger writes it anyway, over whatever follows the old text.");
  }
}

// Too long for its place: Move to Free Space instead, which says what it did.
int Relocate(Session& s, int row, const std::string& text, bool compress) {
  if (!s.Doc().IsExpanded()) {
    Fail(kExitFailed, "The text does not fit in place, and this ROM has not been expanded, so it has no free "
                      "space (run expand first). Nothing was written.");
  }
  const TextMoveOutcome moved = s.Doc().Move(row, text, compress);
  s.TellRecovery();
  if (moved.Moved()) {
    Print(editor_text::kMoved, row + 1, static_cast<unsigned>(moved.move.to), moved.move.repointed,
          moved.move.repointed == 1 ? "" : "s");
    Print("\n");
    return kExitOk;
  }
  const bool replaced = moved.RefusedWrite() == WriteStatus::FileReplaced;
  Tell(replaced ? editor_text::kFileReplaced : DescribeMoveRefusal(moved, s.Doc().BackupPath(), s.JournalPath()));
  if (moved.backup.status == WriteStatus::BackupFailed) Tell(kNoBackupHint);
  return kExitFailed;
}

}  // namespace

int RunApply(const Options& o) {
  CheckTextLength(o.text);
  if (o.relocate && o.listing != "pointer") {
    Fail(kExitUsage, "--relocate moves a text that pointers lead to: it works in the pointer listing only.");
  }
  Session s(!o.noBackup, o.keepChecksum);
  s.Open(o.rom, o.listing, RomOpenMode::Update);
  s.CheckLine(o.line);
  const int row = o.line - 1;
  const int32_t newSize = s.Doc().Measure(o.text, o.compress);
  int32_t oldSize = 0;
  s.Doc().EntryText(row, &oldSize);
  if (o.relocate && newSize > oldSize) return Relocate(s, row, o.text, o.compress);
  // With the guard off a longer text runs on over whatever follows it: say which lines.
  const std::vector<int> overwritten =
      o.allowLarger && newSize > oldSize ? s.Doc().RowsOverwrittenBy(row, newSize) : std::vector<int>();
  const ApplyOutcome outcome = s.Doc().Apply(row, o.text, WriteOptions{!o.allowLarger, o.compress});
  s.TellRecovery();
  if (outcome.result != ApplyResult::Written) {
    if (outcome.result == ApplyResult::FileReplaced) Tell(editor_text::kFileReplaced);
    const std::string why = DescribeApplyRefusal(outcome, s.Doc().BackupPath(), s.JournalPath());
    if (!why.empty()) Tell(why);
    ExplainRefusal(outcome.result, o.text, o.compress);
    return kExitFailed;
  }
  for (int overwrote : overwritten) Print("Overwrote line %d.\n", overwrote + 1);
  // Any write, not only a longer one, changes the lines that read some of its bytes.
  for (int changed : outcome.changedRows) {
    if (std::find(overwritten.begin(), overwritten.end(), changed) == overwritten.end()) {
      Print("Changed line %d too.\n", changed + 1);
    }
  }
  return kExitOk;
}

// Every reference the index finds to the text of a line: kind, then file offset.
int RunRefs(const Options& o) {
  Session s;
  s.Open(o.rom, o.listing);
  s.CheckLine(o.line);
  const ReferenceIndex& index = s.Doc().References();
  const TextEntry& entry = s.Doc().Table().entries[static_cast<size_t>(o.line - 1)];
  const std::span<const Reference> refs = index.To(entry.textAddress);
  if (refs.empty()) Fail(kExitFailed, std::string(references_text::kNone) + "\n" + references_text::kBlindSpots);
  for (const Reference& r : refs) {
    std::string kind = ReferenceKindName(r);
    if (r.kind != ReferenceKind::JumpCode) kind += " " + std::to_string(r.number);
    Print("%s\t%s\n", kind.c_str(), Hex(static_cast<int32_t>(r.offset)).c_str());
  }
  return kExitOk;
}

// The size TEXT encodes to (the window's live size), and with --bytes the bytes themselves.
int RunMeasure(const Options& o) {
  CheckTextLength(o.text);
  Session s;
  s.Open(o.rom, "pointer");  // for the ROM's dictionary
  const int32_t size = s.Doc().Measure(o.text, o.compress);
  if (size < 0) Fail(kExitFailed, std::string(editor_text::kBracketError) + "\n" + BracketFaultHint(o.text));
  Print("%d\n", size);
  if (o.showBytes) {
    std::string hex;
    for (uint8_t b : s.Doc().Encode(o.text, o.compress)) {
      if (!hex.empty()) hex.push_back(' ');
      AppendHexByte(hex, b);
    }
    Print("%s\n", hex.c_str());
  }
  return kExitOk;
}

int RunExpand(const Options& o) {
  Session s(!o.noBackup, o.keepChecksum);
  s.Open(o.rom, "pointer", RomOpenMode::Update);
  if (s.Doc().IsExpanded()) {
    // The desktop program grays "Expand ROM" for such a file.
    Print("The ROM is already expanded; nothing was changed.\n");
    return kExitOk;
  }
  const ExpandOutcome outcome = s.Doc().Expand();
  s.TellRecovery();
  const bool done = outcome.result == GrowResult::Grown || outcome.result == GrowResult::AlreadyLarge;
  // The message goes to standard output when the ROM was expanded, to standard error otherwise.
  if (done) {
    Print("%s\n", editor_text::kExpanded);
    return kExitOk;
  }
  const bool replaced = outcome.RefusedWrite() == WriteStatus::FileReplaced;
  Tell(replaced ? editor_text::kFileReplaced : DescribeExpand(outcome, s.Doc().BackupPath(), s.JournalPath()));
  if (outcome.result == GrowResult::BackupFailed) Tell(kNoBackupHint);
  return kExitFailed;
}

int RunHistory(const Options& o) {
  Session s(!o.noBackup);
  if (o.undo == 0) {
    s.Open(o.rom, "pointer");
    const std::vector<HistoryEntry> entries = s.Doc().History();
    if (entries.empty()) Print("%s\n", editor_text::kHistoryEmpty);
    for (const HistoryEntry& e : entries) WriteOut(DescribeHistoryEntry(e) + "\n");
    return kExitOk;
  }
  s.Open(o.rom, "pointer", RomOpenMode::Update);
  const UndoOutcome outcome = s.Doc().Undo(static_cast<uint64_t>(o.undo));
  s.TellRecovery();
  const bool replaced = outcome.status == WriteStatus::FileReplaced;
  const std::string said = DescribeUndo(outcome, s.Doc().BackupPath(), s.JournalPath());
  if (outcome.result == UndoResult::Undone) {
    Print("%s\n", said.c_str());
    return kExitOk;
  }
  Tell(replaced ? editor_text::kFileReplaced : said);
  return outcome.result == UndoResult::NoEntry ? kExitUsage : kExitFailed;
}

int RunMakeSample(const Options& o) {
  // A file named X.bak beside a file X is the copy a writing command keeps of the ROM X.
  const std::string resolved = ResolvedPath(o.out);
  constexpr std::string_view kBak = ".bak";
  struct stat st {};
  if (resolved.ends_with(kBak) && ::stat(resolved.substr(0, resolved.size() - kBak.size()).c_str(), &st) == 0 &&
      S_ISREG(st.st_mode)) {
    RefuseOutputOver(o.out, {{"the backup copy kept of a ROM beside it", resolved}}, "Nothing was written.");
  }
  if (!SaveSampleRom(o.out, o.expanded, o.headerless)) Fail(kExitFailed, "Cannot write " + o.out + ".");
  if (o.exampleTable) WriteOutputFile(Document::DefaultTablePath(o.out), std::string(kSampleCharacterTable));
  return kExitOk;
}

int RunDetails(const Options& o) {
  static const std::map<std::string, int> kTabs = {{"misc", 0}, {"interpreter", 1}, {"raw", 2}, {"rom", 3}};
  // The page's texts from top to bottom, each on its own.
  static const std::map<int, std::vector<int>> kTextsOfTab = {
      {0, {kAttributesText, kPointerTableText}}, {1, {kPageEditBox}}, {2, {kPageEditBox}}, {3, {kRomInfoText}}};
  Session s;
  s.Open(o.rom, o.listing);
  s.CheckLine(o.line);
  const std::optional<DetailsRequest> request = s.Doc().Details(o.line - 1);
  if (!request) Fail(kExitFailed, "The details window did not open for line " + std::to_string(o.line) + ".");
  const int tab = kTabs.at(o.page);
  const DetailsPage shown = ShowDetailsPage(*request, tab);
  for (int child : kTextsOfTab.at(tab)) {
    const std::optional<std::string>& text = shown.texts[static_cast<size_t>(child)];
    if (!shown.visible[static_cast<size_t>(child)] || !text) continue;
    WriteOut(*text);
    WriteOut("\n");
  }
  return kExitOk;
}

namespace {

// The command ends when the font a window prints with cannot be read: such a ROM is refused
// (exit 2), which `check` keeps apart from strings that run over (exit 1).
void RefuseUnreadableFont(PreviewRefusal refusal) {
  if (refusal == PreviewRefusal::FontUnreadable) {
    Fail(kExitUsage, "The ROM's font table does not lead to a readable font, so its text cannot be laid out.");
  }
}

// Every frame, one under the other, with a strip of the outside colour between them.
TextWindowPicture AllFrames(const TextLayoutResult& layout, const RomFonts& fonts) {
  constexpr int kGap = 4;
  TextWindowPicture all, frame;
  for (int f = 0; f < static_cast<int>(layout.frames.size()); ++f) {
    DrawTextWindowFrame(layout, f, fonts, frame);
    all.width = frame.width;
    all.lineWidth = frame.lineWidth;
    if (f > 0) all.pixels.insert(all.pixels.end(), static_cast<size_t>(kGap * frame.width), WindowPixel::Outside);
    all.pixels.insert(all.pixels.end(), frame.pixels.begin(), frame.pixels.end());
    all.height = static_cast<int>(all.pixels.size() / static_cast<size_t>(frame.width));
  }
  return all;
}

TextWindowKind KindOf(const Options& o) { return o.battle ? TextWindowKind::Battle : TextWindowKind::Dialogue; }

}  // namespace

int RunPreview(const Options& o) {
  Session s;
  s.Open(o.rom, o.listing);
  s.CheckLine(o.line);
  RefuseOutputOver(o.output, s.RomAndBackup(), "Nothing was drawn.");
  const TextPreviewer previewer(s.File());
  TextPreview preview;
  RefuseUnreadableFont(s.Doc().Preview(previewer, o.line - 1, KindOf(o), preview));
  WriteOut(DescribeLayout(preview.layout, s.Doc().Characters()));
  if (o.output.empty()) return kExitOk;
  const TextWindowPicture all = AllFrames(preview.layout, previewer.Fonts());
  if (all.pixels.empty()) Fail(kExitFailed, "Cannot write " + o.output + ": the text shows no window.");
  WriteOutputFile(o.output, WindowPng(all, 2));
  return kExitOk;
}

namespace {

// check --consistency: each finding's heading, then a tab-separated line per text with its lines.
int RunConsistency(const Options& o) {
  if (o.original.empty()) Fail(kExitUsage, "--consistency needs --original: the ROM the translation is made from.");
  Session s;
  s.Open(o.rom, o.listing);
  s.OpenOriginal(o.original);
  const std::vector<ConsistencyFinding> findings = s.Doc().Consistency();
  for (const ConsistencyFinding& f : findings) {
    WriteOut(OneCell(DescribeConsistencyHeading(f)) + "\n");
    for (const TextRows& t : f.texts) WriteOut("\t" + LineNames(t.rows) + "\t" + OneCell(t.text) + "\n");
  }
  if (findings.empty()) return kExitOk;
  Tell(DescribeConsistencyCount(findings));
  return kExitFailed;
}

// Whether a script command works with a PO file: --format po, or a file name ending in .po.
bool IsPo(const Options& o, const std::string& file) {
  if (!o.format.empty()) return o.format == "po";
  return file.ends_with(".po") || file.ends_with(".pot");
}

}  // namespace

int RunCheck(const Options& o) {
  if (o.consistency) return RunConsistency(o);
  Session s;
  s.Open(o.rom, o.listing);
  std::vector<LayoutCheckHit> hits;
  RefuseUnreadableFont(s.Doc().Check(TextPreviewer(s.File()), KindOf(o), o.estimates, hits));
  for (const LayoutCheckHit& hit : hits) {
    Print("%d\t%s\t", hit.row + 1, DescribeLayoutCheckFault(hit).c_str());
    if (static_cast<size_t>(hit.row) < s.Rows().size()) WriteOut(OneCell(std::string(s.Rows()[static_cast<size_t>(hit.row)])));
    WriteOut("\n");
  }
  if (hits.empty()) return kExitOk;
  // A row with two faults has two lines, in a row.
  size_t faults = 0;
  for (size_t i = 0; i < hits.size(); ++i) faults += i == 0 || hits[i].row != hits[i - 1].row;
  std::fprintf(stderr, "%zu of %d strings do not fit the %s window or have no end code.\n", faults,
               s.Doc().RowCount(), o.battle ? "battle" : "dialogue");
  return kExitFailed;
}

// The whole script of a listing into FILE (standard output for "-" or none).
int RunExport(const Options& o) {
  Session s;
  s.Open(o.rom, o.listing);
  RefuseOutputOver(o.output, s.RomAndBackup(), "Nothing was exported.");
  const bool po = IsPo(o, o.output);
  if (!o.original.empty() && !po) Fail(kExitUsage, "--original goes with --format po: a script file has no original.");
  std::optional<std::string> script;
  if (po) {
    if (!o.original.empty()) s.OpenOriginal(o.original);
    std::optional<PoExport> exported = s.Doc().ExportPo();
    Tell(DescribePoCounts(exported->translated, 0, exported->untranslated) + ".");
    script = std::move(exported->text);
  } else {
    script = s.Doc().Export();
  }
  if (o.output.empty() || o.output == "-") {
    WriteOut(*script);
  } else {
    WriteOutputFile(o.output, *script);
  }
  return kExitOk;
}

namespace {

// The whole script file, read and checked before the ROM is looked at: a bad file changes nothing.
// A script exported with another character table is refused first, naming both, unless
// `otherTable`: its letters would otherwise read as faults, or as other bytes.
ParsedScript ReadScript(const std::string& path, const CharacterTable* table, bool otherTable) {
  const ScriptFileRead read = ReadScriptFile(path);
  if (read.fault != ScriptFileRead::Fault::None) {
    std::string message = DescribeScriptReadFault(path, read);
    if (read.fault == ScriptFileRead::Fault::NotARegularFile) {
      message += " A script is read from a file, or with - from standard input.";
    }
    Fail(kExitUsage, message);
  }
  ParsedScript parsed = ParseScript(read.content, table);
  const std::string inUse = table ? table->Name() : std::string();
  if (OtherTable(parsed, inUse) && !otherTable) {
    Fail(kExitUsage, DescribeOtherTable(path, parsed.table, inUse) +
                         " Nothing was written.\nOn the command line: --other-table imports it all the same.");
  }
  if (parsed.error) {
    Fail(kExitUsage, DescribeScriptError(path, *parsed.error) + "\nThe script was not imported; nothing was written.");
  }
  return parsed;
}

// The whole PO file, read and checked before the ROM is looked at.
ParsedPo ReadPo(const std::string& path, const CharacterTable* table) {
  const ScriptFileRead read = ReadScriptFile(path);
  if (read.fault != ScriptFileRead::Fault::None) Fail(kExitUsage, DescribeScriptReadFault(path, read));
  ParsedPo parsed = ParsePo(read.content, table);
  if (parsed.error) {
    Fail(kExitUsage, DescribeScriptError(path, *parsed.error) + "\nThe PO file was not imported; nothing was written.");
  }
  return parsed;
}

// How an import or a replace writes: compressed and moved unless told otherwise, into a copy
// (-o) or nowhere (--dry-run) without touching the ROM.
ImportOptions ImportOptionsOf(Session& s, const Options& o) {
  ImportOptions options;
  options.compressor = o.noCompress ? nullptr : &s.Doc().Compressor();
  options.relocate = !o.noRelocate;
  options.dryRun = o.dryRun || !o.out.empty();
  return options;
}

// With -o, the planned changes into a new file beside the untouched ROM.
void WriteCopy(Session& s, const Options& o, const ImportResult& result) {
  if (result.status != ImportStatus::Done || o.out.empty() || o.dryRun) return;
  ChangeSet changes{result.changes, -1};
  if (o.keepChecksum) {
    if (std::optional<ByteChange> fix = ChecksumFixAfter(s.File(), changes)) changes.ranges.push_back(*fix);
  }
  const SafeWriteResult written =
      WriteFileSafely(o.out, [&](std::FILE* out) { return WriteChangedCopy(s.File(), changes.ranges, out); });
  if (!written.ok) {
    Fail(kExitUsage, "Cannot write " + o.out + ": " + std::strerror(written.error ? written.error : EIO) +
                         ". Nothing was written.");
  }
}

// The exit of an import that ran: its refusals, or its report.
int FinishImport(Session& s, const ImportResult& result, bool dryRun) {
  if (result.status == ImportStatus::WriteFailed && result.writeStatus == WriteStatus::BackupFailed) {
    Fail(kExitUsage, DescribeBackupFailure(s.Doc().BackupPath(), result.error) + "\n" + kNoBackupHint);
  }
  // A text that shares its bytes and cannot move refuses the import as any unwritten block would.
  if (result.status == ImportStatus::SharedBytes) Fail(kExitFailed, DescribeImportFailure(result));
  if (result.status == ImportStatus::Warned || result.status == ImportStatus::Incomplete) {
    std::string report = DescribeImport(result, dryRun);
    report.pop_back();  // Fail ends the line
    Fail(kExitFailed, report);
  }
  if (result.status != ImportStatus::Done) Fail(kExitUsage, DescribeImportFailure(result));
  WriteOut(DescribeImport(result, dryRun));
  return result.AllWritten() ? kExitOk : kExitFailed;
}

}  // namespace

// Reads a script file and writes its changed texts into the ROM, or into a copy of it.
int RunImport(const Options& o) {
  const bool po = IsPo(o, o.scriptFile);
  ParsedScript parsed;
  ParsedPo parsedPo;
  const std::optional<CharacterTable> table = TableFor(o.rom);
  const CharacterTable* characters = table ? &*table : nullptr;
  if (po) {
    parsedPo = ReadPo(o.scriptFile, characters);
  } else {
    parsed = ReadScript(o.scriptFile, characters, o.otherTable);
  }
  const bool copy = !o.out.empty();
  Session s(!o.noBackup, o.keepChecksum);
  // Into a copy, or only looking: the input ROM is opened read-only and never written.
  s.Open(o.rom, "pointer", copy || o.dryRun ? RomOpenMode::View : RomOpenMode::Update);
  std::vector<Guarded> guarded = s.RomAndBackup();
  guarded.push_back(o.scriptFile == "-" ? Guarded{"the script being read", "", STDIN_FILENO}
                                        : Guarded{"the script file", o.scriptFile});
  RefuseOutputOver(o.out, guarded, "Nothing was written.");
  ImportOptions options = ImportOptionsOf(s, o);
  options.overwriteChanged = o.overwriteChanged;
  options.strict = o.strict;
  if (po) {
    if (!o.original.empty()) s.OpenOriginal(o.original);
    PoImportPlan plan = PlanPoImport(parsedPo, o.includeFuzzy, [&](SnesAddress a) { return s.Doc().OriginalScriptText(a); });
    WriteOut(DescribePoImport(plan));
    parsed.blocks = std::move(plan.blocks);
  } else if (!o.original.empty()) {
    Fail(kExitUsage, "--original goes with a PO file: a script file carries its originals.");
  }
  const ImportResult result = s.Doc().Import(parsed.blocks, options);
  s.TellRecovery();
  WriteCopy(s, o, result);
  return FinishImport(s, result, o.dryRun);
}

// Replaces FIND by REPLACE in every text of the listing that holds it, as one import of them all.
int RunReplace(const Options& o) {
  const bool copy = !o.out.empty();
  Session s(!o.noBackup);
  s.Open(o.rom, o.listing, copy || o.dryRun ? RomOpenMode::View : RomOpenMode::Update);
  RefuseOutputOver(o.out, s.RomAndBackup(), "Nothing was written.");
  const ReplaceSearch search = s.Doc().FindReplacements({o.query, o.replacement, o.matchCase, o.matchCodes});
  if (search.fault) {
    Fail(kExitUsage, FormatText(editor_text::kReplaceFault, search.fault->line, search.fault->column,
                                search.fault->expected));
  }
  if (search.found.empty()) Fail(kExitFailed, "No text of the listing holds \"" + o.query + "\". Nothing was written.");
  const ImportResult result = s.Doc().Replace(search.found, ImportOptionsOf(s, o));
  s.TellRecovery();
  WriteCopy(s, o, result);
  return FinishImport(s, result, o.dryRun);
}

namespace {

// A patch command that did nothing: bad files and outputs over inputs are usage faults (2), a
// refusal or a failed write ends with 1.
[[noreturn]] void FailPatch(const PatchFileOutcome& outcome) {
  using Status = PatchFileOutcome::Status;
  const bool refused = outcome.status == Status::CannotWrite ||
                       (outcome.status == Status::Refused &&
                        (outcome.applied.fault == PatchFault::WrongSource ||
                         outcome.applied.fault == PatchFault::AlreadyPatched ||
                         outcome.created.fault == PatchFault::IpsPastLimit));
  Fail(refused ? kExitFailed : kExitUsage, DescribePatchFileFailure(outcome));
}

// The copy a writing command keeps of a ROM is no place for a patch or a patched copy.
void RefuseOverBackup(const std::string& out, const std::string& rom) {
  RefuseOutputOver(out, {{"the ROM's backup copy", rom + ".bak"}}, "Nothing was written.");
}

}  // namespace

int RunPatchCreate(const Options& o) {
  RefuseOverBackup(o.out, o.modified);
  if (SameFilePath(o.rom, o.modified + ".bak")) {
    Tell("Note: " + o.rom + " is the copy kept before the first write of a session, not necessarily the "
         "unmodified ROM players have; a patch made from it may not apply for them.");
  }
  const PatchFileOutcome outcome = CreatePatchFile(o.rom, o.modified, o.out);
  if (!outcome.Done()) FailPatch(outcome);
  Print("%s\n", FormatText(patch_text::kCreated, PatchFormatName(outcome.format), o.out, outcome.written, o.rom,
                           o.modified).c_str());
  return kExitOk;
}

int RunPatchApply(const Options& o) {
  RefuseOverBackup(o.out, o.rom);
  const PatchFileOutcome outcome = ApplyPatchFile(o.rom, o.patchFile, o.out);
  if (!outcome.Done()) FailPatch(outcome);
  if (outcome.applied.layout != RomLayoutMatch::AsIs) Tell(DescribeLayoutMatch(outcome.applied.layout));
  Print("%s\n", FormatText(patch_text::kApplied, o.out, outcome.written).c_str());
  return kExitOk;
}

int RunPatchInfo(const Options& o) {
  const WholeFile patch = ReadWholeFile(o.patchFile);
  PatchFileOutcome unread;
  unread.status = PatchFileOutcome::Status::CannotRead;
  unread.read = patch.fault;
  unread.error = patch.error;
  unread.role = PatchFileRole::Patch;
  unread.path = o.patchFile;
  if (patch.fault != WholeFile::Fault::None) FailPatch(unread);
  const PatchInfo info = ReadPatchInfo(patch.bytes);
  PatchOutcome fault;
  fault.fault = info.fault;
  if (info.fault == PatchFault::NotAPatch) Fail(kExitUsage, DescribePatchFault(fault));
  for (const std::string& line : DescribePatchInfo(info)) Print("%s\n", line.c_str());
  if (!o.rom.empty()) {
    const WholeFile rom = ReadWholeFile(o.rom);
    unread.read = rom.fault;
    unread.error = rom.error;
    unread.role = PatchFileRole::Rom;
    unread.path = o.rom;
    if (rom.fault != WholeFile::Fault::None) FailPatch(unread);
    Print("%s\n", DescribeRomForPatch(rom.bytes, info).c_str());
  }
  if (info.fault != PatchFault::None) Fail(kExitFailed, DescribePatchFault(fault));
  return kExitOk;
}

// Reports the header's checksum pair, or with --fix writes the one the bytes call for.
int RunChecksum(const Options& o) {
  Session s(!o.noBackup);
  s.Open(o.rom, "pointer", o.fix ? RomOpenMode::Update : RomOpenMode::View);
  if (!o.fix) {
    const HeaderChecksum sum = s.Doc().Checksum();
    Print("Header checksum: %s\n", DescribeHeaderChecksum(sum).c_str());
    return sum.state == ChecksumState::Right ? kExitOk : kExitFailed;
  }
  WriteResult written;
  const HeaderChecksum before = s.Doc().FixChecksum(written);
  s.TellRecovery();
  if (!written) {
    if (written.status == WriteStatus::FileReplaced) Fail(kExitFailed, editor_text::kFileReplaced);
    Tell(DescribeWriteFailure(written.status, written.error, s.Doc().BackupPath(), s.JournalPath()));
    if (written.status == WriteStatus::BackupFailed) Tell(kNoBackupHint);
    return kExitFailed;
  }
  if (before.state == ChecksumState::NotComputed) {
    Fail(kExitFailed, "The header checksum is not computed for a ROM of this size; nothing was changed.");
  }
  if (before.state == ChecksumState::Right) {
    Print("The header checksum is right already; nothing was changed.\n");
    return kExitOk;
  }
  Print("Header checksum: %s\n", DescribeHeaderChecksum(s.Doc().Checksum()).c_str());
  return kExitOk;
}

namespace {

text_window::FontId FontIdOf(const Options& o) {
  const auto at = std::find_if(kFontKeys.begin(), kFontKeys.end(), [&](const char* key) { return o.font == key; });
  return static_cast<text_window::FontId>(at - kFontKeys.begin());
}

// The font --font names, as the open ROM holds it; one the font table does not lead to ends the command.
RomFont ReadableFont(Session& s, const Options& o) {
  RomFont font = s.Doc().Fonts().Of(FontIdOf(o));
  if (!font.readable) Fail(kExitUsage, "The ROM's font table does not lead to a readable " + o.font + " font.");
  return font;
}

}  // namespace

int RunFontExport(const Options& o) {
  Session s;
  s.Open(o.rom, "pointer");
  RefuseOutputOver(o.output, s.RomAndBackup(), "Nothing was exported.");
  const RomFont font = ReadableFont(s, o);
  const PalettePicture sheet = DrawFontSheet(font, o.font.c_str(), FontLettersOf(s.Doc().Characters()));
  WriteOutputFile(o.output, EncodePng(sheet));
  Print("%s font: %d glyphs of %dx%d pixels, in a picture of %dx%d.\n", o.font.c_str(), text_window::kFontCharacterSlots,
        font.GlyphWidth(), font.height, sheet.width, sheet.height);
  return kExitOk;
}

int RunFontImport(const Options& o) {
  const WholeFile picture = ReadWholeFile(o.picture);
  switch (picture.fault) {
    case WholeFile::Fault::None:
      break;
    case WholeFile::Fault::CannotRead:
      Fail(kExitUsage, "Cannot read " + o.picture + ": " + std::strerror(picture.error) + ".");
    case WholeFile::Fault::NotARegularFile:
      Fail(kExitUsage, "Cannot read " + o.picture + ": it is not a regular file.");
    case WholeFile::Fault::TooLarge:
      Fail(kExitUsage, "Cannot read " + o.picture + ": it is far larger than any font picture.");
  }
  Session s(!o.noBackup, o.keepChecksum);
  s.Open(o.rom, "pointer", RomOpenMode::Update);
  const RomFont font = ReadableFont(s, o);
  const FontSheetReading reading = ReadFontSheet(picture.bytes, font);
  if (reading.refusal != SheetRefusal::None) Fail(kExitFailed, DescribeSheetRefusal(reading) + " Nothing was written.");
  const FontWriteOutcome written = s.Doc().WriteFont(FontIdOf(o), reading.font);
  s.TellRecovery();
  const std::string said = DescribeFontWrite(written, s.Doc().BackupPath(), s.JournalPath());
  if (written.unreadable || !written.written) {
    if (written.written.status == WriteStatus::FileReplaced) Fail(kExitFailed, editor_text::kFileReplaced);
    Tell(said);
    if (written.written.status == WriteStatus::BackupFailed) Tell(kNoBackupHint);
    return kExitFailed;
  }
  Print("%s\n", said.c_str());
  return kExitOk;
}

}  // namespace lettermoor::cli
