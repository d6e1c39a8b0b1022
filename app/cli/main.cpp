// lettermoor-cli: the editor's commands from a shell. Every command drives the same EditorWindow
// logic as the desktop program (open, list fill, click a line, apply, search, dump, expand,
// details), so what it prints is what the window would show.

#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "codec/hex_text.h"
#include "codec/text_encoder.h"
#include "codec/text_layout.h"
#include "codec/text_preview.h"
#include "codec/text_window_picture.h"
#include "dialogs/details_page.h"
#include "editor/editor_window.h"
#include "editor/references_page.h"
#include "entries/layout_check.h"
#include "entries/reference_index.h"
#include "entries/text_entry_table.h"
#include "headless_view.h"
#include "codec/window_png.h"
#include "rom/rom_image.h"
#include "rom/safe_file.h"
#include "sample/sample_rom.h"
#include "script/script_file.h"
#include "script/script_import.h"


namespace lettermoor::cli {
namespace {

// Exit codes: 0 done; 1 the command ran but was refused or found nothing; 2 bad usage, a ROM
// that cannot be opened or is refused, a line that does not exist, a script that cannot be read,
// or an output that is one of the command's inputs or the ROM's backup.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const std::map<std::string, ListingMode> kListings = {
    {"pointer", ListingMode::PointerTableListing},
    {"raw", ListingMode::RawTextListing},
    {"expanded", ListingMode::ExpandedRomListing},
};

const std::map<std::string, int> kDetailsTabs = {{"misc", 0}, {"interpreter", 1}, {"raw", 2}, {"rom", 3}};

// Raised to end a command with an exit code once its message has been printed.
struct CommandEnd {
  int code;
};

[[noreturn]] void Fail(int code, const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  throw CommandEnd{code};
}

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

// One editor session over a ROM file, as a user would run it in the desktop program.
class Session {
 public:
  // A writing command keeps a copy of the ROM beside it before its first write (x.smc.bak),
  // as the window does, unless `keepBackup` is false (--no-backup).
  explicit Session(bool keepBackup = true) {
    window_.Initialise();
    window_.SetKeepBackup(keepBackup);
  }

  // File > Open on `path`, then the chosen listing. The window's own messages for refused ROMs
  // go to standard error.
  void Open(const std::string& path, const std::string& listing, RomOpenMode openMode = RomOpenMode::View) {
    window_.OpenRomPath(path, openMode);
    if (!window_.IsRomOpen()) {
      if (view_.Messages().empty()) Fail(kExitUsage, OpenFailure(path, window_.LastOpenError(), openMode));
      throw CommandEnd{kExitUsage};
    }
    const ListingMode mode = kListings.at(listing);
    if (mode == ListingMode::ExpandedRomListing && !IsExpandedRom(*window_.Rom().handle)) {
      // The desktop program grays "Expanded ROM listing" for such a file.
      Fail(kExitUsage, "This ROM has not been expanded, so it has no expanded ROM listing (run expand first).");
    }
    window_.SetListingMode(mode);
  }

  // A click on line `line` (counted from 1): the selection mark moves there and the entry is shown.
  void ClickLine(int line) {
    CheckLine(line);
    view_.SetSelectionMark(line - 1);
    window_.OnListClick(line - 1);
  }

  void CheckLine(int line) const {
    const int count = window_.Table().count();
    if (line < 1 || line > count) {
      Fail(kExitUsage, "Line " + std::to_string(line) + " does not exist: the listing has " +
                           std::to_string(count) + " lines.");
    }
  }

  EditorWindow& Window() { return window_; }
  HeadlessView& View() { return view_; }

 private:
  HeadlessView view_;
  EditorWindow window_{view_};
};

// A file a command reads or keeps, which none of its outputs may replace.
struct Guarded {
  std::string what;  // for the message: "the ROM file itself", "the script file", ...
  std::string path;  // its name ("" for standard input)
  int fd = -1;       // when it is open, its identity is taken from the descriptor
};

// The path with links and "." and ".." resolved as far as it exists; the path itself on error.
std::string ResolvedPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
  return error ? path : resolved.string();
}

// Ends the command, with nothing written, when `output` is one of the `guarded` files: the same
// file by device and inode (its name, a hard or symbolic link, /proc/self/fd/N), or, for a file
// that does not exist yet (a backup not made so far), the same path. "-" is standard output.
void RefuseOutputOver(const std::string& output, const std::vector<Guarded>& guarded, const char* nothingDone) {
  if (output.empty() || output == "-") return;
  struct stat out {};
  const bool exists = ::stat(output.c_str(), &out) == 0;
  for (const Guarded& g : guarded) {
    struct stat st {};
    const bool known = g.fd >= 0 ? ::fstat(g.fd, &st) == 0 : !g.path.empty() && ::stat(g.path.c_str(), &st) == 0;
    const bool same = exists && known ? st.st_dev == out.st_dev && st.st_ino == out.st_ino
                                      : !exists && !g.path.empty() && ResolvedPath(g.path) == ResolvedPath(output);
    if (same) Fail(kExitUsage, "Cannot write " + output + ": it is " + g.what + ". " + nothingDone);
  }
}

// The open ROM and the backup copy kept beside it.
std::vector<Guarded> RomAndBackup(EditorWindow& window) {
  const RomFile& rom = *window.Rom().handle;
  return {{"the ROM file itself", rom.OpenedPath(), rom.Descriptor()},
          {"the ROM's backup copy", window.BackupPath()}};
}

std::string Hex(int32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
  return buf;
}

// Row previews go into tab-separated lines; a dictionary word can carry any character.
std::string OneCell(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// The first error met writing to standard output; 0 while every write went through.
int gOutputError = 0;

void NoteOutputFailure() {
  if (gOutputError == 0) gOutputError = errno ? errno : EIO;
}

bool OutputFailed() { return gOutputError != 0 || std::ferror(stdout); }

void WriteOut(const std::string& text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) NoteOutputFailure();
}

[[gnu::format(printf, 1, 2)]] void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  errno = 0;
  if (std::vfprintf(stdout, format, args) < 0) NoteOutputFailure();
  va_end(args);
}

// Ends a command: output that could not be written is an error, except into a pipe whose reader
// has gone (`list ... | head -1`), which ends quietly like any other filter.
int FinishOutput(int code) {
  errno = 0;
  if (std::fflush(stdout) != 0) NoteOutputFailure();
  if (std::ferror(stdout) && gOutputError == 0) gOutputError = EIO;
  if (gOutputError == 0) return code;
  if (gOutputError == EPIPE) return kExitOk;
  std::fprintf(stderr, "lettermoor-cli: cannot write to standard output: %s\n", std::strerror(gOutputError));
  return kExitUsage;
}

// A standard stream the caller closed would otherwise be the next file we open, so that printing
// would write into the ROM. Such a stream is held by a read-only /dev/null: writes to it fail.
void HoldClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int held = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

int RunInfo(const std::string& rom) {
  Session s;
  s.Open(rom, "pointer");
  const RomImage& image = s.Window().Rom();
  Print("File name: %s\n", image.fileName.c_str());
  Print("ROM type: %s\n", RomTypeName(DetectRomType(*image.handle)));
  Print("Size: %lld bytes\n", static_cast<long long>(RomFileSize(*image.handle)));
  Print("Expanded: %s\n", IsExpandedRom(*image.handle) ? "yes" : "no");
  // Sizes and offsets are the headed layout's either way; this says how the file lies on disk.
  Print("Copier header: %s\n", image.handle->IsHeaderless() ? "no (headerless file)" : "yes");
  Print("%s\n", DescribeFreeSpace(FreeSpaceLeft(*image.handle, s.Window().References())).c_str());
  return kExitOk;
}

int RunList(const std::string& rom, const std::string& listing) {
  Session s;
  s.Open(rom, listing);
  const TextEntryTable& table = s.Window().Table();
  const RowList& rows = s.View().Rows();
  for (int i = 0; i < table.count() && !OutputFailed(); ++i) {
    const TextEntry& e = table.entries[static_cast<size_t>(i)];
    int32_t size = 0;
    s.Window().DecodeEntry(i, &size);
    const std::string preview = static_cast<size_t>(i) < rows.size() ? OneCell(std::string(rows[static_cast<size_t>(i)])) : "";
    Print("%d\t%s\t%s\t%d\t%d\t%d\t", i + 1, Hex(e.location).c_str(), Hex(e.textAddress).c_str(),
                e.sprite, e.movement, size);
    WriteOut(preview);
    WriteOut("\n");
  }
  return kExitOk;
}

int RunDump(const std::string& rom, const std::string& listing, const std::string& output) {
  Session s;
  s.Open(rom, listing);
  EditorWindow& window = s.Window();
  RefuseOutputOver(output.empty() ? DumpFileName(window.Listing()) : output, RomAndBackup(window),
                   "Nothing was dumped.");
  if (output.empty()) {
    // Tools > "Dump to text file": the listing's own file name in the working directory.
    window.SetDumpFolder(".");
    return window.DumpToTextFile().Written() ? kExitOk : kExitFailed;
  }
  if (output == "-") {
    errno = 0;
    if (!window.WriteDump(stdout)) NoteOutputFailure();
    return kExitOk;  // a failed write is told when the command ends
  }
  const SafeWriteResult written = WriteFileSafely(output, [&](std::FILE* out) { return window.WriteDump(out); });
  if (!written.ok) {
    Fail(kExitFailed, "Cannot write " + output + ": " + std::strerror(written.error ? written.error : EIO) + ".");
  }
  return kExitOk;
}

int RunShow(const std::string& rom, int line, const std::string& listing, bool codesOnly) {
  Session s;
  s.Open(rom, listing);
  if (codesOnly) s.Window().SetDisplayMode(0, s.View().SelectionMark());
  s.ClickLine(line);
  WriteOut(s.View().EditText());
  WriteOut("\n");
  return kExitOk;
}

int RunSearch(const std::string& rom, const std::string& query, const std::string& listing,
              std::optional<int> after) {
  Session s;
  s.Open(rom, listing);
  int mark = -1;  // no row marked: the first row is examined too
  if (after) {
    s.CheckLine(*after);
    mark = *after - 1;
  }
  s.View().SetSelectionMark(mark);
  // Only the final "String not found." of a search with no hit at all is reported.
  s.View().SetMessageStream(nullptr);
  int hits = 0;
  while (!OutputFailed()) {
    const std::optional<int> hit = s.Window().FindNext(query, mark);
    if (!hit) break;
    ++hits;
    mark = *hit;
    Print("%d\t", mark + 1);
    WriteOut(s.View().EditText());
    WriteOut("\n");
  }
  if (hits == 0) Fail(kExitFailed, editor_text::kNotFound);
  return kExitOk;
}

void CheckTextLength(const std::string& text) {
  if (text.size() > static_cast<size_t>(kEditTextLimit)) {
    Fail(kExitUsage, "The text is longer than the " + std::to_string(kEditTextLimit) +
                         " characters the edit box takes.");
  }
}

constexpr const char* kNoBackupHint = "On the command line: --no-backup writes without keeping a copy.";

// What the window's refusals mean on the command line: where a bracket goes wrong, and which of
// this tool's options lets a larger text through.
void ExplainRefusal(ApplyResult result, const std::string& text, bool compress) {
  if (result == ApplyResult::BackupFailed) {
    std::fprintf(stderr, "%s\n", kNoBackupHint);
  } else if (result == ApplyResult::BracketError) {
    std::fprintf(stderr, "%s\n", BracketFaultHint(text).c_str());
  } else if (result == ApplyResult::TooLarge) {
    std::fprintf(stderr, "%s\n",
                 compress ? "On the command line: --allow-larger writes it anyway, over whatever follows the old text."
                          : "On the command line: --compress writes dictionary words back as references, which may "
                            "make it fit; --allow-larger writes it anyway, over whatever follows the old text.");
  }
}

int RunApply(const std::string& rom, int line, const std::string& text, const std::string& listing,
             bool allowLarger, bool relocate, bool compress, bool keepBackup) {
  CheckTextLength(text);
  if (relocate && listing != "pointer") {
    Fail(kExitUsage, "--relocate moves a text that pointers lead to: it works in the pointer listing only.");
  }
  Session s(keepBackup);
  s.Open(rom, listing, RomOpenMode::Update);
  if (allowLarger) s.Window().TogglePreventOverwrites();
  if (compress) s.Window().SetCompressWithDictionary(true);
  s.ClickLine(line);
  s.View().SetEditText(text);
  s.Window().OnEditChanged(text);
  const int row = line - 1;
  const int32_t newSize = s.Window().MeasureEdit(text);
  int32_t oldSize = 0;
  s.Window().DecodeEntry(row, &oldSize);
  if (relocate && newSize > oldSize) {
    // Too long for its place: Move to Free Space instead, which says what it did.
    if (!IsExpandedRom(*s.Window().Rom().handle)) {
      Fail(kExitFailed, "The text does not fit in place, and this ROM has not been expanded, so it has no free "
                        "space (run expand first). Nothing was written.");
    }
    s.View().SetMessageStream(nullptr);
    s.View().ClearMessages();
    // The copy first, so that a failed one is told with the option that goes without it.
    WriteStatus backup = WriteStatus::Written;
    const bool moved = s.Window().EnsureBackup(&backup) && s.Window().MoveToFreeSpace(row, text);
    for (const HeadlessView::Message& m : s.View().Messages()) {
      std::fprintf(moved ? stdout : stderr, "%s\n", m.text.c_str());
    }
    if (backup == WriteStatus::BackupFailed) std::fprintf(stderr, "%s\n", kNoBackupHint);
    return moved ? kExitOk : kExitFailed;
  }
  // With the guard off a longer text runs on over whatever follows it: say which lines.
  const std::vector<int> overwritten =
      allowLarger && newSize > oldSize ? s.Window().RowsOverwrittenBy(row, newSize) : std::vector<int>();
  // Every refusal and failure of Apply Changes has its message box (on standard error); the
  // tool adds what it means on the command line.
  const ApplyResult result = s.Window().ApplyChanges(row, text);
  ExplainRefusal(result, text, compress);
  if (result != ApplyResult::Written) return kExitFailed;
  for (int overwrote : overwritten) std::printf("Overwrote line %d.\n", overwrote + 1);
  // Any write, not only a longer one, changes the lines that read some of its bytes.
  for (int changed : s.Window().RowsChangedByLastApply()) {
    if (std::find(overwritten.begin(), overwritten.end(), changed) == overwritten.end()) {
      std::printf("Changed line %d too.\n", changed + 1);
    }
  }
  return kExitOk;
}

// Every reference the index finds to the text of a line: kind, then file offset.
int RunRefs(const std::string& rom, int line, const std::string& listing) {
  Session s;
  s.Open(rom, listing);
  s.CheckLine(line);
  const ReferenceIndex& index = s.Window().References();
  const TextEntry& entry = s.Window().Table().entries[static_cast<size_t>(line - 1)];
  const std::span<const Reference> refs = index.To(entry.textAddress);
  if (refs.empty()) {
    Fail(kExitFailed, std::string(references_text::kNone) + "\n" + references_text::kBlindSpots);
  }
  for (const Reference& r : refs) {
    std::string kind = ReferenceKindName(r);
    if (r.kind != ReferenceKind::JumpCode) kind += " " + std::to_string(r.number);
    std::printf("%s\t%s\n", kind.c_str(), Hex(static_cast<int32_t>(r.offset)).c_str());
  }
  return kExitOk;
}

// The size TEXT encodes to (the window's live size), and with `bytes` the bytes themselves.
int RunMeasure(const std::string& rom, const std::string& text, bool compress, bool bytes) {
  CheckTextLength(text);
  Session s;
  s.Open(rom, "pointer");  // for the ROM's dictionary
  EditorWindow& window = s.Window();
  window.SetCompressWithDictionary(compress);
  const int32_t size = window.MeasureEdit(text);
  if (size < 0) Fail(kExitFailed, std::string(editor_text::kBracketError) + "\n" + BracketFaultHint(text));
  std::printf("%d\n", size);
  if (bytes) {
    const std::vector<uint8_t> encoded = compress ? window.Compressor().Encode(text) : TextEncoder(text);
    std::string hex;
    for (uint8_t b : encoded) {
      if (!hex.empty()) hex.push_back(' ');
      AppendHexByte(hex, b);
    }
    std::printf("%s\n", hex.c_str());
  }
  return kExitOk;
}

int RunExpand(const std::string& rom, bool keepBackup) {
  Session s(keepBackup);
  s.Open(rom, "pointer", RomOpenMode::Update);
  if (IsExpandedRom(*s.Window().Rom().handle)) {
    // The desktop program grays "Expand ROM" for such a file.
    Print("The ROM is already expanded; nothing was changed.\n");
    return kExitOk;
  }
  // The message goes to standard output when the ROM was expanded, to standard error otherwise.
  s.View().SetMessageStream(nullptr);
  s.View().ClearMessages();
  const GrowResult result = s.Window().ExpandRom();
  const bool done = result == GrowResult::Grown || result == GrowResult::AlreadyLarge;
  for (const HeadlessView::Message& m : s.View().Messages()) {
    if (done) {
      Print("%s\n", m.text.c_str());
    } else {
      std::fprintf(stderr, "%s\n", m.text.c_str());
    }
  }
  if (result == GrowResult::BackupFailed) std::fprintf(stderr, "%s\n", kNoBackupHint);
  return done ? kExitOk : kExitFailed;
}

int RunMakeSample(const std::string& out, bool expanded, bool headerless) {
  // A file named X.bak beside a file X is the copy a writing command keeps of the ROM X.
  const std::string resolved = ResolvedPath(out);
  constexpr std::string_view kBak = ".bak";
  struct stat st {};
  if (resolved.ends_with(kBak) && ::stat(resolved.substr(0, resolved.size() - kBak.size()).c_str(), &st) == 0 &&
      S_ISREG(st.st_mode)) {
    RefuseOutputOver(out, {{"the backup copy kept of a ROM beside it", resolved}}, "Nothing was written.");
  }
  if (!SaveSampleRom(out, expanded, headerless)) Fail(kExitFailed, "Cannot write " + out + ".");
  return kExitOk;
}

int RunDetails(const std::string& rom, int line, const std::string& page, const std::string& listing) {
  Session s;
  s.Open(rom, listing);
  s.ClickLine(line);
  const int tab = kDetailsTabs.at(page);
  s.View().SetDetailsTab(tab);
  s.Window().OpenDetails(line - 1);
  const std::optional<DetailsPage>& shown = s.View().ShownDetailsPage();
  if (!shown) Fail(kExitFailed, "The details window did not open for line " + std::to_string(line) + ".");
  // The page's texts from top to bottom, each on its own.
  static const std::map<int, std::vector<int>> kTextsOfTab = {
      {0, {kAttributesText, kPointerTableText}},
      {1, {kPageEditBox}},
      {2, {kPageEditBox}},
      {3, {kRomInfoText}},
  };
  for (int child : kTextsOfTab.at(tab)) {
    const std::optional<std::string>& text = shown->texts[static_cast<size_t>(child)];
    if (!shown->visible[static_cast<size_t>(child)] || !text) continue;
    WriteOut(*text);
    WriteOut("\n");
  }
  return kExitOk;
}

// The command ends when the font a window prints with cannot be read: such a ROM is refused
// (exit 2), which `check` keeps apart from strings that run over (exit 1).
void RefuseUnreadableFont(PreviewRefusal refusal) {
  if (refusal == PreviewRefusal::FontUnreadable) {
    Fail(kExitUsage, "The ROM's font table does not lead to a readable font, so its text cannot be laid out.");
  }
}

int64_t EntryOffset(Session& s, int line) {
  return SnesToFileOffset(s.Window().Table().entries[static_cast<size_t>(line - 1)].textAddress);
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

int RunPreview(const std::string& rom, int line, const std::string& listing, bool battle, const std::string& png) {
  Session s;
  s.Open(rom, listing);
  s.CheckLine(line);
  RefuseOutputOver(png, RomAndBackup(s.Window()), "Nothing was drawn.");
  const RomFile& file = *s.Window().Rom().handle;
  const TextPreviewer previewer(file);
  TextPreview preview;
  RefuseUnreadableFont(previewer.LayAt(s.Window().Decoder().Dictionary(), file, EntryOffset(s, line),
                                       battle ? TextWindowKind::Battle : TextWindowKind::Dialogue, preview));
  WriteOut(DescribeLayout(preview.layout));
  if (png.empty()) return kExitOk;
  const TextWindowPicture all = AllFrames(preview.layout, previewer.Fonts());
  if (all.pixels.empty()) Fail(kExitFailed, "Cannot write " + png + ": the text shows no window.");
  const std::string bytes = WindowPng(all, 2);
  const SafeWriteResult written = WriteFileSafely(png, [&](std::FILE* out) {
    return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  });
  if (!written.ok) Fail(kExitFailed, "Cannot write " + png + ": " + std::strerror(written.error) + ".");
  return kExitOk;
}

int RunCheck(const std::string& rom, const std::string& listing, bool battle, bool estimates) {
  Session s;
  s.Open(rom, listing);
  const RomFile& file = *s.Window().Rom().handle;
  const TextWindowKind kind = battle ? TextWindowKind::Battle : TextWindowKind::Dialogue;
  const TextPreviewer previewer(file);
  RefuseUnreadableFont(previewer.RefusalFor(kind));
  const TextLayout layout(s.Window().Decoder().Dictionary(), previewer.Widths());
  const RowList& rows = s.View().Rows();
  const std::vector<LayoutCheckHit> hits = CheckLayouts(file, s.Window().Table(), layout, kind, estimates);
  for (const LayoutCheckHit& hit : hits) {
    Print("%d\t%s\t", hit.row + 1, DescribeLayoutCheckFault(hit).c_str());
    if (static_cast<size_t>(hit.row) < rows.size()) WriteOut(OneCell(std::string(rows[static_cast<size_t>(hit.row)])));
    WriteOut("\n");
  }
  if (hits.empty()) return kExitOk;
  // A row with two faults has two lines, in a row.
  size_t faults = 0;
  for (size_t i = 0; i < hits.size(); ++i) faults += i == 0 || hits[i].row != hits[i - 1].row;
  std::fprintf(stderr, "%zu of %d strings do not fit the %s window or have no end code.\n", faults,
               s.Window().Table().count(), battle ? "battle" : "dialogue");
  return kExitFailed;
}

// The whole script of a listing into FILE (standard output for "-" or none).
int RunExport(const std::string& rom, const std::string& listing, const std::string& output) {
  Session s;
  s.Open(rom, listing);
  EditorWindow& window = s.Window();
  RefuseOutputOver(output, RomAndBackup(window), "Nothing was exported.");
  const RomFile& file = *window.Rom().handle;
  const std::optional<std::string> script =
      ExportScript(file, window.Table(), window.Listing(), window.Decoder().Dictionary(), window.State(),
                   &window.References(), window.Rom().fileName);
  if (output.empty() || output == "-") {
    WriteOut(*script);
    return kExitOk;
  }
  const SafeWriteResult written = WriteFileSafely(output, [&](std::FILE* out) {
    return std::fwrite(script->data(), 1, script->size(), out) == script->size();
  });
  if (!written.ok) {
    Fail(kExitFailed, "Cannot write " + output + ": " + std::strerror(written.error ? written.error : EIO) + ".");
  }
  return kExitOk;
}

// Reads a script file and writes its changed texts into the ROM, or into a copy of it.
int RunImport(const std::string& rom, const std::string& scriptPath, const std::string& output, bool dryRun,
              bool noCompress, bool noRelocate, bool keepBackup, bool overwriteChanged, bool strict) {
  const ScriptFileRead read = ReadScriptFile(scriptPath);
  if (read.fault != ScriptFileRead::Fault::None) {
    std::string message = DescribeScriptReadFault(scriptPath, read);
    if (read.fault == ScriptFileRead::Fault::NotARegularFile) {
      message += " A script is read from a file, or with - from standard input.";
    }
    Fail(kExitUsage, message);
  }
  // The whole file is read and checked before the ROM is looked at: a bad file changes nothing.
  const ParsedScript parsed = ParseScript(read.content);
  if (parsed.error) {
    Fail(kExitUsage, DescribeScriptError(scriptPath, *parsed.error) + "\nThe script was not imported; nothing was written.");
  }
  const bool copy = !output.empty();
  Session s(keepBackup);
  // Into a copy, or only looking: the input ROM is opened read-only and never written.
  s.Open(rom, "pointer", copy || dryRun ? RomOpenMode::View : RomOpenMode::Update);
  EditorWindow& window = s.Window();
  RomFile& file = *window.Rom().handle;
  std::vector<Guarded> guarded = RomAndBackup(window);
  guarded.push_back(scriptPath == "-" ? Guarded{"the script being read", "", STDIN_FILENO}
                                      : Guarded{"the script file", scriptPath});
  RefuseOutputOver(output, guarded, "Nothing was written.");
  ImportOptions options;
  options.compressor = noCompress ? nullptr : &window.Compressor();
  options.relocate = !noRelocate;
  options.dryRun = dryRun || copy;
  options.overwriteChanged = overwriteChanged;
  options.strict = strict;
  ImportResult result = ImportScript(file, parsed.blocks, window.Decoder().Dictionary(), window.State(), options);
  if (result.status == ImportStatus::Done && copy && !dryRun) {
    const SafeWriteResult written =
        WriteFileSafely(output, [&](std::FILE* out) { return WriteChangedCopy(file, result.changes, out); });
    if (!written.ok) {
      Fail(kExitUsage,
           "Cannot write " + output + ": " + std::strerror(written.error ? written.error : EIO) + ". Nothing was written.");
    }
  }
  if (result.status == ImportStatus::WriteFailed && result.writeStatus == WriteStatus::BackupFailed) {
    Fail(kExitUsage, DescribeBackupFailure(window.BackupPath(), result.error) + "\n" + kNoBackupHint);
  }
  // A text that shares its bytes and cannot move refuses the import as any unwritten block would.
  if (result.status == ImportStatus::SharedBytes) Fail(kExitFailed, result.message);
  if (result.status == ImportStatus::Warned) {
    std::string report = DescribeImport(result, dryRun);
    report.pop_back();  // Fail ends the line
    Fail(kExitFailed, report);
  }
  if (result.status != ImportStatus::Done) Fail(kExitUsage, result.message);
  WriteOut(DescribeImport(result, dryRun));
  return result.AllWritten() ? kExitOk : kExitFailed;
}

// Prints the parse error and the usage of the command that was being parsed.
int UsageError(const CLI::App& app, const CLI::ParseError& error) {
  const CLI::App* usage = &app;
  for (const CLI::App* sub : app.get_subcommands()) usage = sub;
  const std::string prefix = usage == &app ? std::string() : app.get_name();
  std::fprintf(stderr, "%s\n\n%s", error.what(), usage->help(prefix).c_str());
  return kExitUsage;
}

int Main(int argc, char** argv) {
  HoldClosedStandardStreams();
  // A reader that goes away is seen as EPIPE on the next write, not as a fatal signal.
  std::signal(SIGPIPE, SIG_IGN);
  // A file size limit is an error a write reports (and the file is rolled back), not a crash.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app{"Lettermoor command-line tool: list, show, search, dump and edit the script text of "
               "an EarthBound ROM image, in place."};
  app.name("lettermoor-cli");
  app.set_version_flag("--version", "lettermoor-cli " LETTERMOOR_VERSION, "Print the version and exit");
  app.require_subcommand(1);

  std::string rom, listing = "pointer", output, query, text, page, out;
  int line = 0, after = 0;
  bool codesOnly = false, allowLarger = false, relocate = false, expanded = false, battle = false,
       estimates = false, headerless = false;
  bool compress = false, showBytes = false, noBackup = false;
  // Every command that writes to the ROM takes this.
  auto addNoBackup = [&](CLI::App* cmd) {
    cmd->add_flag("--no-backup", noBackup,
                  "Write without first keeping a copy of the ROM beside it (by default ROM.bak, such as "
                  "game.smc.bak for game.smc, is made before the first write, replacing an older one)");
  };
  auto addRom = [&](CLI::App* cmd) {
    cmd->add_option("ROM", rom, "The ROM image (.smc, .sfc, .fig), opened for reading and writing")
        ->required()
        ->type_name("FILE");
  };
  auto addListing = [&](CLI::App* cmd) {
    cmd->add_option("--listing", listing, "Which strings to list: pointer (the default), raw or expanded")
        ->check(CLI::IsMember({"pointer", "raw", "expanded"}));
  };
  auto addLine = [&](CLI::App* cmd) {
    cmd->add_option("LINE", line, "The line of the listing, counted from 1")->required();
  };

  CLI::App* info = app.add_subcommand(
      "info", "Show the file name, ROM type, size, whether it is expanded and the free space left for moved texts");
  addRom(info);

  CLI::App* list = app.add_subcommand(
      "list", "One tab-separated line per entry: line, location, text address, sprite, movement, size, preview");
  addRom(list);
  addListing(list);

  CLI::App* dump = app.add_subcommand("dump", "Write every entry's text, one line each, as Dump to text file does");
  addRom(dump);
  addListing(dump);
  dump->add_option("-o,--output", output,
                   "Where to write (- for standard output); by default ptrlist.txt, rawlist.txt or "
                   "explist.txt in the working directory");

  CLI::App* show = app.add_subcommand("show", "Print the text the edit box shows for a line");
  addRom(show);
  addLine(show);
  addListing(show);
  show->add_flag("--codes-only", codesOnly, "Show the raw bytes, as Display codes only does");

  CLI::App* search = app.add_subcommand(
      "search", "Print every later line whose text contains QUERY (case of letters ignored), in order");
  addRom(search);
  search->add_option("QUERY", query, "The text to find")->required();
  addListing(search);
  CLI::Option* afterOption =
      search->add_option("--after", after, "Start after this line (by default the first line is searched too)");

  CLI::App* apply = app.add_subcommand("apply", "Write TEXT over the string of a line, as Apply Changes does");
  addRom(apply);
  addLine(apply);
  apply->add_option("TEXT", text, "The new text, with control codes in brackets, e.g. Hello[03 02]")->required();
  addListing(apply);
  apply->add_flag("--allow-larger", allowLarger,
                  "Write even a text larger than the old one (Prevent Overwrites off); prints the lines it overwrote");
  apply->add_flag("--compress", compress,
                  "Write dictionary words back as two-byte references (Compress with Dictionary on)");
  apply->add_flag("--relocate", relocate,
                  "When the text does not fit in place, move it to free space of the expanded ROM and repoint "
                  "every reference to it, as Move to Free Space does (pointer listing only)");
  addNoBackup(apply);

  CLI::App* refs = app.add_subcommand(
      "refs",
      "List what points at a line's text, one line each: kind and file offset in hexadecimal. Records, plain "
      "pointers and the jump codes the code table describes are found; codes it does not describe and addresses "
      "the game works out while it runs are not");
  addRom(refs);
  addLine(refs);
  addListing(refs);

  CLI::App* measure = app.add_subcommand(
      "measure", "Print how many bytes TEXT encodes to with this ROM's dictionary, as the window's live size");
  addRom(measure);
  measure->add_option("TEXT", text, "The text, with control codes in brackets")->required();
  measure->add_flag("--compress", compress, "Measure it with dictionary words as references");
  measure->add_flag("--bytes", showBytes, "Also print the bytes it encodes to, in hexadecimal");

  CLI::App* expand = app.add_subcommand("expand", "Grow the ROM to 0x4001FF bytes of blank text space");
  addRom(expand);
  addNoBackup(expand);

  CLI::App* makeSample = app.add_subcommand("make-sample", "Write a sample ROM built from our own story text");
  makeSample->add_option("OUT", out, "The file to write")->required()->type_name("FILE");
  makeSample->add_flag("--expanded", expanded, "Write it already expanded");
  makeSample->add_flag("--headerless", headerless, "Write it without the 512-byte copier header, as a .sfc dump");

  CLI::App* details = app.add_subcommand("details", "Print a page of the Details window for a line");
  addRom(details);
  addLine(details);
  details->add_option("--page", page, "misc, interpreter, raw or rom")
      ->required()
      ->check(CLI::IsMember({"misc", "interpreter", "raw", "rom"}));
  addListing(details);

  CLI::App* preview = app.add_subcommand(
      "preview", "Lay out a line's text as the game prints it: each line's width, the pixels left and its marks");
  addRom(preview);
  addLine(preview);
  addListing(preview);
  preview->add_flag("--battle", battle, "Lay it out in the battle window (2 lines of 176 pixels)");
  preview->add_option("--png", output, "Also draw every frame with the ROM's own font into this PNG file")
      ->type_name("FILE");

  CLI::App* check = app.add_subcommand(
      "check", "List every string whose layout runs over or cuts a word, or that has no end code (exit 1 when "
               "there are any, 2 when the ROM's font cannot be read)");
  addRom(check);
  addListing(check);
  check->add_flag("--battle", battle, "Lay the strings out in the battle window");
  check->add_flag("--estimates", estimates,
                  "Also list lines that run over only when names and numbers take their longest form");

  std::string scriptFile;
  bool dryRun = false, noCompress = false, noRelocate = false, overwriteChanged = false, strict = false;
  CLI::App* exportCmd = app.add_subcommand(
      "export", "Write every text of a listing into a script file to translate or edit: one block per text "
                "address with its lines, references, size and original (see docs/script-format.md)");
  addRom(exportCmd);
  addListing(exportCmd);
  exportCmd->add_option("-o,--output", output, "The script file to write (- or none for standard output)")
      ->type_name("FILE");

  CLI::App* importCmd = app.add_subcommand(
      "import", "Write the changed texts of a script file into the ROM: in place when they fit, else into free "
                "space of an expanded ROM with every reference repointed. One line per changed block, its "
                "warnings under it; exit 1 when some were not written, 2 for a bad file (nothing written)");
  addRom(importCmd);
  importCmd->add_option("FILE", scriptFile,
                        "The script file, as export wrote it and you edited it (- for standard input)")
      ->required()
      ->type_name("SCRIPT");
  importCmd->add_option("-o,--output", out, "Write the result into this new ROM file; the input ROM is not touched")
      ->type_name("OUT");
  importCmd->add_flag("--dry-run", dryRun, "Say what would be written, and write nothing");
  importCmd->add_flag("--no-compress", noCompress, "Write dictionary words as plain characters");
  importCmd->add_flag("--no-relocate", noRelocate, "Leave texts that do not fit in place, instead of moving them");
  importCmd->add_flag("--overwrite-changed", overwriteChanged,
                      "Also write blocks whose text the ROM holds changed since the export (otherwise stale)");
  importCmd->add_flag("--strict", strict,
                      "Refuse the whole import (write nothing, exit 1) when a changed text has a warning: its end "
                      "code missing or not at its end, or control codes that differ from its original's");
  addNoBackup(importCmd);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return UsageError(app, e);
  }

  int code = kExitUsage;
  try {
    if (*info) code = RunInfo(rom);
    if (*list) code = RunList(rom, listing);
    if (*dump) code = RunDump(rom, listing, output);
    if (*show) code = RunShow(rom, line, listing, codesOnly);
    if (*search) code = RunSearch(rom, query, listing, afterOption->count() ? std::optional<int>(after) : std::nullopt);
    if (*apply) code = RunApply(rom, line, text, listing, allowLarger, relocate, compress, !noBackup);
    if (*measure) code = RunMeasure(rom, text, compress, showBytes);
    if (*refs) code = RunRefs(rom, line, listing);
    if (*expand) code = RunExpand(rom, !noBackup);
    if (*makeSample) code = RunMakeSample(out, expanded, headerless);
    if (*details) code = RunDetails(rom, line, page, listing);
    if (*preview) code = RunPreview(rom, line, listing, battle, output);
    if (*check) code = RunCheck(rom, listing, battle, estimates);
    if (*exportCmd) code = RunExport(rom, listing, output);
    if (*importCmd) code = RunImport(rom, scriptFile, out, dryRun, noCompress, noRelocate, !noBackup, overwriteChanged,
                                         strict);
  } catch (const CommandEnd& end) {
    code = end.code;
  }
  return FinishOutput(code);
}

}  // namespace
}  // namespace lettermoor::cli

int main(int argc, char** argv) { return lettermoor::cli::Main(argc, argv); }
