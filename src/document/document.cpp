#include "document/document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <unordered_map>

#include "base/second_core.h"
#include "codec/jump_codes.h"
#include "codec/text_encoder.h"
#include "codec/text_layout.h"
#include "document/case_fold.h"
#include "rom/safe_file.h"
#include "rom/snes_address.h"
#include "script/script_text.h"

namespace lettermoor {

OpenedRom Document::OpenFile(const std::string& path, RomOpenMode mode) {
  OpenedRom opened;
  opened.path = path;
  opened.file = OpenRomFile(path, mode == RomOpenMode::View ? RomAccess::ReadOnly : RomAccess::ReadWrite,
                            &opened.error);
  if (!opened.file && mode == RomOpenMode::UpdateOrView &&
      (opened.error == EACCES || opened.error == EPERM || opened.error == EROFS)) {
    // A master copy kept without write permission is still worth viewing.
    opened.file = OpenRomFile(path, RomAccess::ReadOnly, &opened.error);
  }
  if (!opened.file) return opened;
  opened.error = 0;
  // Opening took the lock: a change a crash cut short was undone then.
  opened.recovery = opened.file->TakeRecovery();
  opened.type = DetectRomType(*opened.file);
  return opened;
}

void Document::Adopt(OpenedRom opened) {
  Close();
  rom_.fileName = BareFileName(opened.path);
  rom_.path = opened.path;
  rom_.handle = std::move(opened.file);
  if (keepBackup_) rom_.handle->KeepBackupAt(BackupPath());
  rom_.handle->KeepChecksumRight(keepChecksumRight_);
}

void Document::Close() {
  CloseRomFile(rom_);
  original_.reset();
  SetCharacterTable(std::nullopt);
  mode_ = ListingMode::PointerTableListing;
  table_ = TextEntryTable();
  references_ = ReferenceIndex();
  referencesVersion_ = 0;
}

std::string Document::DefaultTablePath(const std::string& romPath) {
  return std::filesystem::path(romPath).replace_extension(".tbl").string();
}

std::string Document::GameTextOf(std::string_view text) const {
  std::string buffer;
  NonGameCharacter refused;
  ToGameText(text, buffer, refused);  // `text` is left as it is when the table cannot spell it
  return std::string(text);
}

std::string Document::Shown(std::string text) const {
  return characters_ ? characters_->ToDisplay(text) : text;
}

bool Document::ToGameText(std::string_view& text, std::string& buffer, NonGameCharacter& refused) const {
  if (!characters_ || characters_->ReadsAsItself(text)) return true;
  if (!characters_->ToGameText(text, buffer, refused)) return false;
  text = buffer;
  return true;
}

RomFile* Document::Synced() {
  if (!rom_.handle) return nullptr;
  rom_.handle->Refresh();
  return rom_.handle.get();
}

Recovery Document::TakeRecovery() { return rom_.handle ? rom_.handle->TakeRecovery() : Recovery(); }

void Document::SetKeepBackup(bool on) {
  keepBackup_ = on;
  if (rom_.handle) rom_.handle->KeepBackupAt(on ? BackupPath() : std::string());
}

void Document::SetKeepChecksumRight(bool on) {
  keepChecksumRight_ = on;
  if (rom_.handle) rom_.handle->KeepChecksumRight(on);
}

HeaderChecksum Document::Checksum() {
  const RomFile* rom = Synced();
  return rom ? ReadHeaderChecksum(*rom) : HeaderChecksum();
}

HeaderChecksum Document::FixChecksum(WriteResult& written) {
  written = {};
  RomFile* rom = Synced();
  if (!rom) return {};
  const HeaderChecksum before = ReadHeaderChecksum(*rom);
  if (before.state != ChecksumState::Wrong) return before;
  const std::array<uint8_t, 4> pair = ChecksumPairBytes(before.computed);
  // Through the journal, as any write. The file is read again under the lock: with keeping it
  // right on for this write, the pair is worked out once more from what the file holds then.
  ChangeSet change;
  change.ranges.push_back({kChecksumPairOffset, std::vector<uint8_t>(pair.begin(), pair.end())});
  rom->KeepChecksumRight(true);
  RomFile::Labeled label(*rom, ChangeLabel{ChangeKind::Checksum});
  written = rom->Apply(change);
  rom->KeepChecksumRight(keepChecksumRight_);
  return before;
}

std::string Document::BackupPath() const {
  // Beside the file that was opened, whatever the working directory is now.
  return rom_.handle ? rom_.handle->OpenedPath() + ".bak" : std::string();
}

bool Document::IsTheRom(const std::string& path) const { return rom_.handle && rom_.handle->IsSameFile(path); }

bool Document::IsTheBackup(const std::string& path) const {
  const std::string backup = BackupPath();
  if (backup.empty() || path.empty()) return false;
  struct stat out {}, kept {};
  if (::stat(path.c_str(), &out) == 0 && ::stat(backup.c_str(), &kept) == 0) {
    return out.st_dev == kept.st_dev && out.st_ino == kept.st_ino;
  }
  std::error_code error;
  const auto resolved = [&](const std::string& p) {
    return std::filesystem::weakly_canonical(std::filesystem::absolute(p, error), error);
  };
  return resolved(path) == resolved(backup);
}

bool Document::BackupPresent() const {
  struct stat st {};
  return IsOpen() && ::stat(BackupPath().c_str(), &st) == 0;
}

bool Document::HasBackup() const {
  struct stat st {};
  return IsOpen() && ::stat(BackupPath().c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

WriteResult Document::EnsureBackup() {
  if (!rom_.handle) return WriteResult{WriteStatus::ReadOnly, 0};
  return rom_.handle->BackUpIfDue();
}

int64_t Document::EntryOffset(int row) const {
  return SnesToFileOffset(table_.entries[static_cast<size_t>(row)].textAddress);
}

void Document::PrefetchRow(const RomFile& rom, int row) const {
  // The pointer table listing jumps about the file: asking for a row's bytes a few rows ahead
  // keeps the walk from waiting on memory at every row.
  if (!table_.Contains(row)) return;
  const int64_t offset = EntryOffset(row);
  if (offset >= 0 && offset + 64 < rom.MirrorSize()) {
    __builtin_prefetch(rom.MirrorData() + offset);
    __builtin_prefetch(rom.MirrorData() + offset + 64);  // most strings reach into a second line
  }
}

namespace {

// Makes list rows: each string's preview, shown through the table when it has one of its
// letters, and gives each string's size count.
class RowPreviews {
 public:
  RowPreviews(const RomFile& rom, TextDecoder& decoder, const CharacterTable* characters, RowList& rows,
              std::vector<int32_t>& sizes)
      : rom_(rom), decoder_(decoder), characters_(characters), rows_(rows), sizes_(sizes) {}

  int32_t operator()(int64_t offset) {
    const int32_t size = decoder_.DecodePreview(rom_, offset, text_, kRowPreviewLength);
    sizes_.push_back(size);
    if (characters_ && characters_->RemapsAny(text_.View())) {
      shown_.clear();
      characters_->AppendDisplay(shown_, text_.View());
      rows_.Append(shown_);
    } else {
      rows_.Append(text_.View());
    }
    return size;
  }

 private:
  const RomFile& rom_;
  TextDecoder& decoder_;
  const CharacterTable* characters_;
  RowList& rows_;
  std::vector<int32_t>& sizes_;  // each row's size count, beside its preview
  TextBuffer text_{4 * kRowPreviewLength};
  std::string shown_;
};

// Notes whether a string holds a control code, and so sets the carry-over state.
struct CodeSeen {
  static constexpr bool kTakesText = false;
  bool seen = false;
  void Characters(const uint8_t*, size_t) {}
  void Word(const std::string&) {}
  void Code(const CodeItem&) { seen = true; }
  void Zeros(int64_t, int32_t) {}
};

// Lists of fewer rows than this are searched on one core: a second thread costs more than it saves.
constexpr int kRowsWorthTwoCores = 1024;

}  // namespace

void Document::LoadDictionary(const RomFile& rom) {
  // The words are the file's: they need reading again only when its bytes may have changed.
  if (dictionaryVersion_ == rom.Version()) return;
  LoadTextDictionary(rom, dictionary_);
  compressor_.reset();
  dictionaryVersion_ = rom.Version();
}

void Document::CarryOverFrom(const RomFile& rom, int first, int end) {
  if (first >= end) return;
  state_.interpreterText.clear();
  // Decoding the rows one after another leaves the state as the last control code among them
  // set it: that of the last row that holds one.
  for (int row = end - 1; row >= first; --row) {
    CodeSeen sink;
    bool described = state_.lastCodeDescribed;
    ReadItems(rom, EntryOffset(row), dictionary_, sink, described);
    if (sink.seen) {
      state_.lastCodeDescribed = described;
      return;
    }
  }
}

FilledListing Document::Fill() {
  FilledListing listing;
  RomFile* rom = Synced();
  if (!rom) return listing;
  LoadDictionary(*rom);
  // Every listed string is decoded once, from this one look at the file, for its row preview.
  // The raw and expanded listings take each string's size count from that same decode instead
  // of decoding every string once more beforehand. The decodes use a state of their own; the
  // editor's carry-over state is then left as decoding the rows in order leaves it.
  DecoderState state;
  TextDecoder decoder(dictionary_, state);
  std::vector<int32_t> sizes;
  RowPreviews preview(*rom, decoder, Characters(), listing.rows, sizes);
  if (mode_ == ListingMode::PointerTableListing) {
    BuildTextEntries(*rom, mode_, table_, decoder_);
    listing.rows.Reserve(table_.entries.size(), table_.entries.size() * kRowPreviewLength / 2);
    for (int i = 0; i < table_.count(); ++i) {
      PrefetchRow(*rom, i + kPrefetchDistance);
      preview(EntryOffset(i));
    }
  } else if (mode_ == ListingMode::RawTextListing) {
    listing.rows.Reserve(TextEntryTable::kCapacity, TextEntryTable::kCapacity * kRowPreviewLength / 2);
    FillRaw(*rom, std::ref(preview), listing.rows, sizes);
  } else {
    listing.rows.Reserve(TextEntryTable::kCapacity, TextEntryTable::kCapacity * kRowPreviewLength / 2);
    BuildTextEntries(*rom, mode_, table_, std::ref(preview));
  }
  CarryOverFrom(*rom, 0, table_.count());
  KeepRowSizes(*rom, sizes);
  listing.truncated = table_.truncated;
  return listing;
}

void Document::KeepRowSizes(const RomFile& rom, const std::vector<int32_t>& sizes) {
  rowSizes_.clear();
  rowSizesVersion_ = rom.Version();
  if (sizes.size() != table_.entries.size()) return;
  rowSizes_.reserve(sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) rowSizes_.push_back({table_.entries[i].textAddress, sizes[i]});
}

std::optional<int32_t> Document::KnownRowSize(int row) const {
  const auto i = static_cast<size_t>(row);
  if (!rom_.handle || rowSizesVersion_ != rom_.handle->Version() || i >= rowSizes_.size()) return std::nullopt;
  if (rowSizes_[i].address != table_.entries[i].textAddress) return std::nullopt;
  return rowSizes_[i].size;
}

void Document::FillRaw(const RomFile& rom, const std::function<int32_t(int64_t)>& preview, RowList& rows,
                       std::vector<int32_t>& sizes) {
  // Each raw area is listed from its own start, so the later areas are decoded on a second core
  // while this one decodes the earlier ones; the two halves are joined in order.
  const std::span<const TextRange> ranges(kRawTextRanges);
  int64_t bytes = 0;
  for (const TextRange& range : ranges) bytes += range.end - range.start;
  // This core takes the areas up to and with the one that passes halfway, so that the other is
  // done first as a rule and this one goes on to the join without a wait.
  size_t split = 0;
  for (int64_t before = 0; split < ranges.size() && 2 * before < bytes; ++split) {
    before += ranges[split].end - ranges[split].start;
  }
  struct Part {
    TextEntryTable table;
    RowList rows;
    std::vector<int32_t> sizes;
  };
  auto later = OnSecondCore([&] {
    Part part;
    DecoderState state;
    TextDecoder decoder(dictionary_, state);
    RowPreviews preview(rom, decoder, Characters(), part.rows, part.sizes);
    ListRanges(ranges.subspan(split), part.table, std::ref(preview));
    return part;
  });
  table_.entries.clear();
  table_.truncated = false;
  const bool room = ListRanges(ranges.first(split), table_, preview);
  const Part part = later.get();
  if (!room) return;
  const size_t free = TextEntryTable::kCapacity - table_.entries.size();
  const size_t taken = std::min(free, part.table.entries.size());
  table_.entries.insert(table_.entries.end(), part.table.entries.begin(), part.table.entries.begin() + taken);
  rows.Append(part.rows, taken);
  sizes.insert(sizes.end(), part.sizes.begin(), part.sizes.begin() + static_cast<std::ptrdiff_t>(taken));
  table_.truncated = part.table.truncated || taken < part.table.entries.size();
}

std::string Document::EntryText(int row, int32_t* size) {
  std::string text;
  RomFile* rom = Synced();
  int32_t n = 0;
  if (rom && table_.Contains(row)) n = decoder_.Decode(*rom, EntryOffset(row), &text, DecodeFlags{true, false});
  if (size) *size = n;
  return Shown(std::move(text));
}

std::string Document::EntryCodes(int row, int32_t size) const {
  return rom_.handle && table_.Contains(row) ? FormatRawBytes(*rom_.handle, EntryOffset(row), size) : std::string();
}

std::string Document::RowPreview(int row) {
  RomFile* rom = Synced();
  if (!rom || !table_.Contains(row)) return {};
  TextBuffer text;
  decoder_.DecodePreview(*rom, EntryOffset(row), text, kRowPreviewLength);
  return Shown(text.ToString());
}

std::vector<int> Document::RowsSharingText(int row) const {
  std::vector<int> rows;
  if (mode_ != ListingMode::PointerTableListing || !table_.Contains(row)) return rows;
  const SnesAddress address = table_.entries[static_cast<size_t>(row)].textAddress;
  for (int i = 0; i < table_.count(); ++i) {
    if (i != row && table_.entries[static_cast<size_t>(i)].textAddress == address) rows.push_back(i);
  }
  return rows;
}

const TextCompressor& Document::Compressor() {
  if (!compressor_) compressor_.emplace(dictionary_);
  return *compressor_;
}

int32_t Document::Measure(std::string_view text, bool compress) {
  std::string buffer;
  NonGameCharacter refused;
  if (!ToGameText(text, buffer, refused)) return kMeasureNonGameCharacter;
  return compress ? Compressor().Measure(text, compressorScratch_) : MeasureText(text);
}

std::vector<uint8_t> Document::Encode(std::string_view text, bool compress) {
  std::string buffer;
  NonGameCharacter refused;
  if (!ToGameText(text, buffer, refused)) return {};
  return compress ? Compressor().Encode(text) : TextEncoder(text);
}

int32_t Document::PresentSize(int row) const {
  if (!rom_.handle || !table_.Contains(row)) return 0;
  return ScanJumpCodes(*rom_.handle, EntryOffset(row), [](const JumpCodeAt&) {});
}

std::vector<int> Document::FollowMovedTexts(const RomFile& rom) {
  std::vector<int> moved;
  if (mode_ != ListingMode::PointerTableListing) return moved;
  for (int i = 0; i < table_.count(); ++i) {
    TextEntry& e = table_.entries[static_cast<size_t>(i)];
    const std::optional<SnesAddress> now = CurrentTextAddress(rom, e);
    if (!now || *now == e.textAddress) continue;
    e.textAddress = *now;
    moved.push_back(i);
  }
  return moved;
}

ApplyOutcome Document::Apply(int row, std::string_view text, const WriteOptions& options) {
  ApplyOutcome outcome;
  RomFile* rom = Synced();
  if (!rom || !table_.Contains(row)) return outcome;
  std::string buffer;
  if (!ToGameText(text, buffer, outcome.character)) {
    outcome.result = ApplyResult::NonGameCharacter;
    outcome.column = outcome.character.column;
    return outcome;
  }
  // Checked and encoded once, for the other rows it changes and for the write.
  EncodedText encoded = EncodeForWrite(text, options.compress ? &Compressor() : nullptr);
  if (!encoded.Ok()) {
    outcome.result = encoded.refusal == TextRefusal::Brackets ? ApplyResult::BracketError : ApplyResult::NonGameCharacter;
    outcome.column = encoded.column;
    outcome.character = encoded.character;
    return outcome;
  }
  // From the row's address to the write, no other Lettermoor process can move the text:
  // another program may have moved it since the list was filled.
  RomFile::Hold hold(*rom);
  if (hold.Held()) {
    Synced();
    outcome.followedRows = FollowMovedTexts(*rom);
  }
  // Worked out before the write: after it, the bytes are the same.
  outcome.changedRows = RowsChangedBy(row, encoded.bytes);
  RomFile::Labeled label(*rom, ChangeLabel{ChangeKind::Apply, {row}, EntryText(row), std::string(text)});
  WriteTextResult written;
  outcome.result = WriteEntry(*rom, row, encoded.bytes, options.preventOverwrites, written);
  outcome.status = written.status;
  outcome.error = written.error;
  if (outcome.result != ApplyResult::Written) outcome.changedRows.clear();  // nothing changed
  return outcome;
}

ApplyResult Document::WriteEntry(RomFile& rom, int row, std::span<const uint8_t> bytes, bool preventOverwrites,
                                 WriteTextResult& written) {
  const auto newSize = static_cast<int64_t>(bytes.size());
  int32_t oldSize = 0;
  EntryText(row, &oldSize);
  if (preventOverwrites && newSize > oldSize) return ApplyResult::TooLarge;
  // Only Expand ROM grows a file: bytes that would reach past its end are refused.
  const int64_t offset = EntryOffset(row);
  if (offset < 0 || offset + newSize > RomFileSize(rom)) return ApplyResult::PastEndOfFile;
  written = WriteEncodedBytes(rom, offset, bytes);
  switch (written.status) {
    case WriteStatus::Written: return ApplyResult::Written;
    case WriteStatus::OutsideFile: return ApplyResult::PastEndOfFile;
    case WriteStatus::ReadOnly: return ApplyResult::ReadOnly;
    case WriteStatus::FileReplaced: return ApplyResult::FileReplaced;
    case WriteStatus::FailedRestored: break;
    case WriteStatus::FailedDamaged: return ApplyResult::WriteDamaged;
    case WriteStatus::BackupFailed: return ApplyResult::BackupFailed;
    case WriteStatus::JournalFailed: return ApplyResult::JournalFailed;
  }
  return ApplyResult::WriteFailed;
}

std::vector<int> Document::RowsOverwrittenBy(int row, int32_t newSize) {
  std::vector<int> rows;
  RomFile* rom = Synced();
  if (!rom || !table_.Contains(row)) return rows;
  int32_t oldSize = 0;
  EntryText(row, &oldSize);
  const int64_t start = EntryOffset(row);
  const int64_t first = start + oldSize;  // the first byte past the string
  const int64_t end = start + newSize;
  if (end <= first) return rows;
  for (int i = 0; i < table_.count(); ++i) {
    const int64_t at = EntryOffset(i);
    if (at == start) continue;  // the same text
    const int64_t size = decoder_.Measure(*rom, at);
    if (at < end && at + size > first) rows.push_back(i);
  }
  return rows;
}

std::vector<int> Document::RowsChangedBy(int row, std::string_view text, bool compress) {
  std::string buffer;
  NonGameCharacter refused;
  if (!ToGameText(text, buffer, refused)) return {};
  const EncodedText encoded = EncodeForWrite(text, compress ? &Compressor() : nullptr);
  return encoded.Ok() ? RowsChangedBy(row, encoded.bytes) : std::vector<int>();
}

std::vector<int> Document::RowsChangedBy(int row, std::span<const uint8_t> bytes) {
  std::vector<int> rows;
  RomFile* rom = Synced();
  if (!rom || !table_.Contains(row)) return rows;
  const int64_t start = EntryOffset(row);
  const int64_t end = start + static_cast<int64_t>(bytes.size());
  std::vector<uint8_t> present(bytes.size());
  rom->Read(start, present);
  for (int i = 0; i < table_.count(); ++i) {
    const int64_t at = EntryOffset(i);
    // No string is longer than the decoder reads: one that starts further back ends before this.
    if (at < 0 || at == start || at >= end || at < start - kDecodeSizeLimit - 16) continue;
    const int64_t stop = std::min(end, at + ScanJumpCodes(*rom, at, [](const JumpCodeAt&) {}));
    for (int64_t k = std::max(at, start); k < stop; ++k) {
      if (bytes[static_cast<size_t>(k - start)] != present[static_cast<size_t>(k - start)]) {
        rows.push_back(i);
        break;
      }
    }
  }
  return rows;
}

// The first row of [first, end) whose text holds `needle` (folded by `fold` when there is one,
// then upper-cased), or nothing; nothing as well once `stop` is set.
std::optional<int> Document::FindInRows(const RomFile& rom, TextDecoder& decoder, int first, int end,
                                        const std::string& needle, const CaseFold* fold,
                                        const std::atomic<bool>& stop) const {
  // Rows are decoded one after another into one piece of text, which is searched as a whole: a
  // match counts only where it lies within one row.
  constexpr size_t kPiece = 32 * 1024;
  TextBuffer text(kPiece + 16 * 1024);
  std::vector<size_t> ends;  // where each row of the piece ends
  for (int row = first; row < end && !stop.load(std::memory_order_relaxed);) {
    const int pieceFirst = row;
    text.Clear();
    ends.clear();
    for (; row < end && text.Size() < kPiece; ++row) {
      PrefetchRow(rom, row + kPrefetchDistance);
      decoder.DecodeBracketed(rom, EntryOffset(row), text);
      ends.push_back(text.Size());
    }
    if (fold) fold->Fold(text.Data(), text.Size());
    size_t k = 0;  // the row of the piece where the match at `at` starts
    for (size_t at = FindUpperCased(text.View(), needle); at != std::string_view::npos;
         at = FindUpperCased(text.View(), needle, at + 1)) {
      while (ends[k] < at || (ends[k] == at && !needle.empty())) ++k;
      if (at + needle.size() <= ends[k]) return pieceFirst + static_cast<int>(k);
    }
  }
  return std::nullopt;
}

std::optional<int> Document::Find(std::string_view query, int after) {
  const RomFile* rom = Synced();
  if (!rom) return std::nullopt;
  // Through a table, both sides are folded by its letters first (a query it cannot spell is in no text).
  std::optional<CaseFold> fold;
  std::optional<std::string> folded;
  if (characters_) {
    folded = fold.emplace(*characters_).Needle(query);
    if (!folded) return std::nullopt;
    query = *folded;
  }
  const std::string needle = UpperCaseAscii(query);
  const CaseFold* folding = fold ? &*fold : nullptr;
  const int first = std::max(after + 1, 0);
  const int end = table_.count();
  DecoderState state;
  TextDecoder decoder(dictionary_, state);
  std::atomic<bool> found{false};
  std::optional<int> hit;
  if (end - first < kRowsWorthTwoCores) {
    hit = FindInRows(*rom, decoder, first, end, needle, folding, found);
  } else {
    // The later half is searched on a second core; its hit counts only when the earlier half has none.
    const int middle = first + (end - first) / 2;
    auto later = OnSecondCore([&] {
      DecoderState laterState;
      TextDecoder laterDecoder(dictionary_, laterState);
      return FindInRows(*rom, laterDecoder, middle, end, needle, folding, found);
    });
    hit = FindInRows(*rom, decoder, first, middle, needle, folding, found);
    if (hit) found = true;  // the later half need go no further
    const std::optional<int> laterHit = later.get();
    if (!hit) hit = laterHit;
  }
  CarryOverFrom(*rom, first, hit ? *hit + 1 : end);
  return hit;
}

bool Document::WriteDump(std::FILE* out) {
  // One look at the file for the whole dump; the rows are decoded straight into large pieces,
  // which go out one after another.
  constexpr size_t kPiece = 64 * 1024;
  const RomFile* rom = Synced();
  TextBuffer piece(kPiece + 16 * 1024);
  TextBuffer row;  // through a table: each row on its own first
  std::string shown;
  auto flush = [&] {
    const bool written = std::fwrite(piece.Data(), 1, piece.Size(), out) == piece.Size();
    piece.Clear();
    return written;
  };
  for (int i = 0; i < table_.count(); ++i) {
    if (rom && characters_) {
      row.Clear();
      decoder_.DecodeBracketed(*rom, EntryOffset(i), row);
      shown.clear();
      characters_->AppendDisplay(shown, row.View());
      piece.Append(shown);
    } else if (rom) {
      PrefetchRow(*rom, i + kPrefetchDistance);
      decoder_.DecodeBracketed(*rom, EntryOffset(i), piece);
    }
    piece.Put('\n');
    if (piece.Size() >= kPiece && !flush()) return false;
  }
  return flush();
}

DumpResult Document::Dump(const std::string& folder) {
  DumpResult result;
  if (!IsOpen()) return result;
  result.fileName = DumpFileName(mode_);
  result.path = folder.empty() ? result.fileName : folder + "/" + result.fileName;
  if (IsTheRom(result.path)) {
    result.outcome = DumpResult::Outcome::IsTheRom;
  } else if (IsTheBackup(result.path)) {
    result.outcome = DumpResult::Outcome::IsTheBackup;
  } else {
    const SafeWriteResult written = WriteFileSafely(result.path, [&](std::FILE* out) { return WriteDump(out); });
    result.outcome = written.ok ? DumpResult::Outcome::Written : DumpResult::Outcome::Failed;
    result.error = written.error;
  }
  return result;
}

ExpandOutcome Document::Expand() {
  ExpandOutcome outcome;
  if (!IsOpen()) return outcome;
  const WriteResult backup = EnsureBackup();
  outcome.backupStatus = backup.status;
  outcome.error = backup.error;
  if (!backup) {
    // The file was left as it was.
    outcome.result = backup.status == WriteStatus::FileReplaced ? GrowResult::FileReplaced : GrowResult::BackupFailed;
    return outcome;
  }
  RomFile::Labeled label(*rom_.handle, ChangeLabel{ChangeKind::Expansion});
  outcome.result = GrowRom(rom_, kExpandedRomSize);
  const bool grown = outcome.result == GrowResult::Grown || outcome.result == GrowResult::AlreadyLarge;
  if (grown && !IsExpandedRom(*rom_.handle)) outcome.result = GrowResult::Failed;
  return outcome;
}

WriteStatus ExpandOutcome::RefusedWrite() const {
  if (backupStatus != WriteStatus::Written) return backupStatus;
  switch (result) {
    case GrowResult::ReadOnly: return WriteStatus::ReadOnly;
    case GrowResult::FileReplaced: return WriteStatus::FileReplaced;
    case GrowResult::BackupFailed: return WriteStatus::BackupFailed;
    case GrowResult::JournalFailed: return WriteStatus::JournalFailed;
    default: return WriteStatus::Written;
  }
}

WriteStatus TextMoveOutcome::RefusedWrite() const {
  if (refusal != MoveRefusal::None) return WriteStatus::Written;
  if (!backup) return backup.status;
  const bool beforeWrite = move.outcome == MoveOutcome::WriteFailed && move.status != WriteStatus::FailedRestored &&
                           move.status != WriteStatus::FailedDamaged;
  return beforeWrite ? move.status : WriteStatus::Written;
}

namespace {

// The whole of a kept copy, or false with the system's error number. A file far larger than any
// ROM is not read at all (`bytes` is left empty).
bool ReadBackupFile(const std::string& path, std::vector<uint8_t>& bytes, int& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = errno;
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok) error = EINVAL;
  if (ok && st.st_size <= 0x800000 + RomFile::kCopierHeaderSize) {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (ok && done < bytes.size()) {
      const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        error = got < 0 ? errno : EIO;
        ok = false;
      } else {
        done += static_cast<size_t>(got);
      }
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

RevertOutcome Document::Revert() {
  RevertOutcome outcome;
  RomFile* rom = Synced();
  if (!rom || rom->IsReadOnly()) return outcome;
  if (!BackupPresent()) {
    outcome.result = RevertResult::NoBackup;
    return outcome;
  }
  std::vector<uint8_t> bytes;
  if (!ReadBackupFile(BackupPath(), bytes, outcome.error) || !IsRestorableRom(bytes, rom->IsHeaderless())) {
    outcome.result = RevertResult::BadBackup;
    return outcome;
  }
  RomFile::Labeled label(*rom, ChangeLabel{ChangeKind::Revert});
  const WriteResult written = rom->ReplaceContents(bytes);
  outcome.status = written.status;
  outcome.error = written.error;
  // A damaged file may hold anything now: the list shows what it holds.
  if (written.status != WriteStatus::Written && written.status != WriteStatus::FailedDamaged) {
    outcome.result = RevertResult::Failed;
    return outcome;
  }
  // The copy may be from before an expansion: the expanded listing may be gone with it.
  outcome.listingReset = mode_ == ListingMode::ExpandedRomListing && !IsExpandedRom(*rom);
  if (outcome.listingReset) mode_ = ListingMode::PointerTableListing;
  outcome.result = written ? RevertResult::Reverted : RevertResult::Failed;
  return outcome;
}

namespace {

// Entries from the records, oldest first: the records of one change are together.
std::vector<std::vector<const HistoryRecord*>> GroupsOf(const std::vector<HistoryRecord>& records) {
  std::vector<std::vector<const HistoryRecord*>> groups;
  for (const HistoryRecord& r : records) {
    if (groups.empty() || groups.back().front()->group != r.group) groups.emplace_back();
    groups.back().push_back(&r);
  }
  return groups;
}

// The entries a later undo took back (and that no undo after it put back again).
std::vector<uint64_t> UndoneEntries(const std::vector<std::vector<const HistoryRecord*>>& groups) {
  std::vector<uint64_t> undone;
  for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
    const HistoryRecord& first = *g->front();
    const bool itselfUndone = std::find(undone.begin(), undone.end(), first.group) != undone.end();
    if (first.label.kind == ChangeKind::Undo && !itselfUndone) undone.push_back(first.label.undoes);
  }
  return undone;
}

}  // namespace

std::vector<HistoryEntry> Document::History() {
  std::vector<HistoryEntry> entries;
  RomFile* rom = Synced();
  if (!rom) return entries;
  const HistoryContents contents = ReadHistory(rom->HistoryPath());
  const auto groups = GroupsOf(contents.records);
  const std::vector<uint64_t> undone = UndoneEntries(groups);
  constexpr size_t kPreviewBytes = 16;
  for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
    const HistoryRecord& first = *g->front();
    HistoryEntry& e = entries.emplace_back();
    e.id = first.group;
    e.time = first.time;
    e.kind = first.label.kind;
    e.lines = first.label.lines;
    e.before = first.label.before;
    e.after = first.label.after;
    e.undoes = first.label.undoes;
    e.undone = std::find(undone.begin(), undone.end(), e.id) != undone.end();
    for (const HistoryRecord* r : *g) {
      for (const HistoryRange& range : r->ranges) e.bytes += static_cast<int64_t>(std::max(range.old.size(), range.now.size()));
    }
    if (!first.ranges.empty()) {
      const HistoryRange& range = first.ranges.front();
      e.oldBytes.assign(range.old.begin(), range.old.begin() + static_cast<std::ptrdiff_t>(std::min(range.old.size(), kPreviewBytes)));
      e.newBytes.assign(range.now.begin(), range.now.begin() + static_cast<std::ptrdiff_t>(std::min(range.now.size(), kPreviewBytes)));
    }
  }
  return entries;
}

UndoOutcome Document::UndoLast() {
  for (const HistoryEntry& e : History()) {
    if (e.kind != ChangeKind::Undo && !e.undone) return Undo(e.id);
  }
  UndoOutcome outcome;
  if (IsOpen()) outcome.result = UndoResult::NothingToUndo;
  return outcome;
}

UndoOutcome Document::Undo(uint64_t id) {
  UndoOutcome outcome;
  outcome.entry = id;
  RomFile* rom = Synced();
  if (!rom) return outcome;
  if (rom->IsReadOnly()) {
    outcome.result = UndoResult::WriteFailed;
    outcome.status = WriteStatus::ReadOnly;
    return outcome;
  }
  // Checked and written under one lock: no other Lettermoor process writes in between.
  RomFile::Hold hold(*rom);
  Synced();
  const HistoryContents contents = ReadHistory(rom->HistoryPath());
  const auto groups = GroupsOf(contents.records);
  const auto entry = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.front()->group == id; });
  if (entry == groups.end()) return outcome;
  const NetChange net = NetChangeOf(*entry);
  const int64_t shift = rom->IsHeaderless() ? RomFile::kCopierHeaderSize : 0;
  const int64_t size = rom->Size() - shift;

  // Where the file no longer holds the entry's new bytes; a later entry that wrote there is named.
  std::vector<std::pair<int64_t, int64_t>> differing;
  for (const HistoryRange& r : net.ranges) {
    for (int64_t i = 0; i < static_cast<int64_t>(r.now.size()) && r.offset + i < net.newSize; ++i) {
      if (rom->ReadByte(r.offset + i + shift) == r.now[static_cast<size_t>(i)]) continue;
      if (!differing.empty() && differing.back().second == r.offset + i) {
        ++differing.back().second;
      } else {
        differing.emplace_back(r.offset + i, r.offset + i + 1);
      }
    }
  }
  const bool resized = net.oldSize != net.newSize;
  if (resized && size != net.newSize) differing.emplace_back(std::min(size, net.newSize), std::max(size, net.newSize));
  if (!differing.empty()) {
    outcome.result = UndoResult::ChangedOutside;
    for (auto later = groups.rbegin(); later != groups.rend() && later->front()->group != id; ++later) {
      for (const HistoryRecord* r : *later) {
        const bool touched = std::any_of(differing.begin(), differing.end(),
                                         [&](const auto& d) { return Touches(*r, d.first, d.second); }) ||
                             (resized && size != net.newSize && r->newSize != r->oldSize);
        if (touched && outcome.result == UndoResult::ChangedOutside) {
          outcome.result = UndoResult::ChangedLater;
          outcome.by = r->group;
        }
      }
    }
    return outcome;
  }

  ChangeSet change;
  for (const HistoryRange& r : net.ranges) {
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(r.old.size()), net.oldSize - r.offset);
    if (n > 0) change.ranges.push_back({r.offset + shift, std::vector<uint8_t>(r.old.begin(), r.old.begin() + n)});
  }
  if (resized) change.newSize = net.oldSize + shift;
  const HistoryRecord& first = *entry->front();
  RomFile::Labeled label(*rom, ChangeLabel{ChangeKind::Undo, first.label.lines, first.label.after, first.label.before, id});
  const WriteResult written = rom->Apply(change);
  outcome.status = written.status;
  outcome.error = written.error;
  outcome.result = written ? UndoResult::Undone : UndoResult::WriteFailed;
  outcome.listingReset = mode_ == ListingMode::ExpandedRomListing && !IsExpandedRom(*rom);
  if (outcome.listingReset) mode_ = ListingMode::PointerTableListing;
  return outcome;
}

std::optional<PointerEntryForm> Document::PointerFormFor(int row) const {
  if (!IsOpen()) return std::nullopt;
  return PointerEntryFormFor(table_, row);
}

PointerEditResult Document::EditPointer(int row, const PointerEntryForm& form, WriteResult* written) {
  // The dialog is modal, but the ROM must still be there before anything is written through it.
  if (!IsOpen()) return PointerEditResult::Refused;
  const WriteResult backup = EnsureBackup();
  if (!backup) {
    if (written) *written = backup;
    return PointerEditResult::Refused;
  }
  RomFile::Labeled label(*rom_.handle, ChangeLabel{ChangeKind::PointerEdit, {row}});
  return ApplyPointerEdit(*rom_.handle, table_, row, form, written);
}

std::optional<DetailsRequest> Document::Details(int row) {
  RomFile* rom = Synced();
  if (!rom || !table_.Contains(row)) return std::nullopt;
  // Decoding refills the interpreter listing for this entry and gives its size.
  const int32_t size = decoder_.Decode(*rom, EntryOffset(row), nullptr, DecodeFlags{false, true});
  return MakeDetailsRequest(*rom, rom_.fileName, table_, row, size, state_.interpreterText);
}

const ReferenceIndex& Document::References() {
  RomFile* rom = Synced();
  if (!rom) {
    references_ = ReferenceIndex();
    referencesVersion_ = 0;
  } else if (referencesVersion_ != rom->Version()) {
    references_ = ReferenceIndex::Build(*rom);
    referencesVersion_ = rom->Version();
  }
  return references_;
}

TextMoveOutcome Document::Move(int row, std::string_view text, bool compress) {
  TextMoveOutcome outcome;
  if (!Synced() || !table_.Contains(row) || mode_ != ListingMode::PointerTableListing) {
    outcome.refusal = MoveRefusal::NoEntry;
    return outcome;
  }
  std::string buffer;
  if (!ToGameText(text, buffer, outcome.character)) {
    outcome.refusal = MoveRefusal::NonGameCharacter;
    return outcome;
  }
  const EncodedText encoded = EncodeForWrite(text, compress ? &Compressor() : nullptr);
  if (!encoded.Ok()) {
    outcome.refusal = encoded.refusal == TextRefusal::Brackets ? MoveRefusal::BracketError : MoveRefusal::NonGameCharacter;
    outcome.character = encoded.character;
    return outcome;
  }
  const std::vector<uint8_t>& bytes = encoded.bytes;
  outcome.bytes = static_cast<int32_t>(bytes.size());
  if (!EndsWithEndCode(bytes)) {
    outcome.refusal = MoveRefusal::NoEndCode;
    return outcome;
  }
  if (!IsExpandedRom(*rom_.handle)) {
    outcome.refusal = MoveRefusal::NotExpanded;
    return outcome;
  }
  outcome.backup = EnsureBackup();
  if (!outcome.backup) return outcome;
  // The text is moved from where its row leads in the file now, under a lock held until the move
  // is written: another program may have moved it since the list was filled.
  {
    RomFile::Hold hold(*rom_.handle);
    if (hold.Held()) {
      Synced();
      outcome.followedRows = FollowMovedTexts(*rom_.handle);
    }
    outcome.from = table_.entries[static_cast<size_t>(row)].textAddress;
    RomFile::Labeled label(*rom_.handle, ChangeLabel{ChangeKind::Move, {row}, EntryText(row), std::string(text)});
    outcome.move = MoveTextToFreeSpace(*rom_.handle, outcome.from, bytes);
  }
  // The rows of the moved text now lead to the new copy.
  if (outcome.move.outcome == MoveOutcome::Moved) {
    for (TextEntry& e : table_.entries) {
      if (e.textAddress == outcome.from) e.textAddress = outcome.move.to;
    }
  }
  return outcome;
}

std::optional<std::string> Document::Export(const std::function<bool(int, int)>& progress) {
  RomFile* rom = Synced();
  if (!rom) return std::nullopt;
  const ReferenceIndex& index = References();
  return ExportScript(*rom, table_, mode_, dictionary_, state_, &index, rom_.fileName, progress, Characters());
}

ImportResult Document::Import(const std::vector<ScriptBlock>& blocks, ImportOptions options,
                              const std::function<bool(int, int)>& progress) {
  RomFile* rom = Synced();
  if (!rom) return ImportResult();
  RomFile::Labeled label(*rom, ChangeLabel{ChangeKind::Import});
  return ImportScript(*rom, blocks, dictionary_, state_, options, progress);
}

ReplaceSearch Document::FindReplacements(const ReplaceQuery& query) {
  ReplaceSearch search;
  const RomFile* rom = Synced();
  if (!rom || query.find.empty()) return search;
  constexpr size_t kNotFound = SIZE_MAX;
  // Each text once, however many rows lead to it: the later rows join its candidate.
  std::unordered_map<SnesAddress, size_t> seen;
  for (int row = 0; row < table_.count(); ++row) {
    const SnesAddress address = table_.entries[static_cast<size_t>(row)].textAddress;
    const auto [it, added] = seen.try_emplace(address, kNotFound);
    if (!added) {
      if (it->second != kNotFound) search.found[it->second].rows.push_back(row);
      continue;
    }
    ReplaceCandidate c;
    c.oldText = Shown(ScriptText(*rom, EntryOffset(row), dictionary_, state_));
    c.oldSpans = FindMatches(c.oldText, query);
    if (c.oldSpans.empty()) continue;
    c.newText = ReplaceSpans(c.oldText, c.oldSpans, query.replace, &c.newSpans);
    if (c.newText == c.oldText) continue;
    std::string_view newText = c.newText;
    std::string buffer;
    NonGameCharacter refused;
    std::optional<ScriptError> fault;
    if (!ToGameText(newText, buffer, refused)) {
      fault = TableCharacterError(refused);
    } else {
      fault = CheckScriptText(newText);
    }
    if (fault) {
      fault->line = row + 1;
      search.found.clear();
      search.fault = std::move(fault);
      return search;
    }
    c.address = address;
    c.rows.push_back(row);
    it->second = search.found.size();
    search.found.push_back(std::move(c));
  }
  return search;
}

ImportResult Document::Replace(std::span<const ReplaceCandidate> chosen, ImportOptions options,
                               const std::function<bool(int, int)>& progress) {
  if (!Synced()) return ImportResult();
  // The blocks a script file of the chosen texts would give, with the records and pointers that
  // lead to each: the import finds a text another program moved since by them.
  const ReferenceIndex& index = References();
  std::vector<ScriptBlock> blocks;
  for (const ReplaceCandidate& c : chosen) {
    ScriptBlock& b = blocks.emplace_back();
    b.address = c.address;
    b.headerLine = b.textLine = c.rows.empty() ? 0 : c.rows.front() + 1;
    const std::span<const Reference> to = index.To(c.address);
    b.references = static_cast<int>(to.size());
    for (const Reference& r : to) {
      if (r.kind == ReferenceKind::PointerRecord) b.records.push_back(r.number);
      if (r.kind == ReferenceKind::PlainPointer) b.plainPointers.push_back(r.number);
    }
    // Through a table, the texts are the game's characters again (FindReplacements checked them).
    NonGameCharacter refused;
    std::string_view original = c.oldText, text = c.newText;
    ToGameText(original, b.original, refused);
    ToGameText(text, b.text, refused);
    b.original = std::string(original);
    b.text = std::string(text);
  }
  options.whole = true;
  ChangeLabel label(ChangeKind::Replace);
  for (const ReplaceCandidate& c : chosen) label.lines.insert(label.lines.end(), c.rows.begin(), c.rows.end());
  if (chosen.size() == 1) {
    label.before = chosen.front().oldText;
    label.after = chosen.front().newText;
  }
  RomFile::Labeled labeled(*Synced(), std::move(label));
  return Import(blocks, options, progress);
}

PreviewRefusal Document::Preview(const TextPreviewer& previewer, int row, TextWindowKind kind,
                                 TextPreview& out) const {
  if (!rom_.handle || !table_.Contains(row)) return PreviewRefusal::FontUnreadable;
  return previewer.LayAt(dictionary_, *rom_.handle, EntryOffset(row), kind, out);
}

PreviewRefusal Document::Check(const TextPreviewer& previewer, TextWindowKind kind, bool estimates,
                               std::vector<LayoutCheckHit>& hits) const {
  hits.clear();
  const PreviewRefusal refusal = previewer.RefusalFor(kind);
  if (refusal != PreviewRefusal::None || !rom_.handle) return refusal;
  const TextLayout layout(dictionary_, previewer.Widths());
  hits = CheckLayouts(*rom_.handle, table_, layout, kind, estimates);
  return refusal;
}

const char* DumpFileName(ListingMode mode) {
  switch (mode) {
    case ListingMode::RawTextListing: return "rawlist.txt";
    case ListingMode::ExpandedRomListing: return "explist.txt";
    case ListingMode::PointerTableListing: break;
  }
  return "ptrlist.txt";
}

OriginalOutcome Document::SetOriginal(const std::string& path) {
  OriginalOutcome outcome;
  RomFile* rom = Synced();
  if (!rom) return outcome;
  if (IsTheRom(path)) {
    outcome.result = OriginalResult::IsTheRom;
  } else if (IsTheBackup(path)) {
    outcome.result = OriginalResult::IsTheBackup;
  } else if (std::unique_ptr<OriginalRom> original = OriginalRom::Open(path, *rom, outcome)) {
    original_ = std::move(original);
  }
  return outcome;
}

std::optional<OriginalTextOf> Document::Original(int row) const {
  if (!original_ || !table_.Contains(row)) return std::nullopt;
  const std::optional<SnesAddress> address = original_->AddressFor(table_.entries[static_cast<size_t>(row)], mode_);
  if (!address) return std::nullopt;
  return OriginalTextOf{*address, Shown(original_->TextAt(*address))};
}

RowTranslation Document::Translation(int row) {
  return original_ && Synced() ? TranslationOf(row) : RowTranslation::NoOriginal;
}

RowTranslation Document::TranslationOf(int row) const {
  if (!table_.Contains(row)) return RowTranslation::NoOriginal;
  const TextEntry& entry = table_.entries[static_cast<size_t>(row)];
  const std::optional<SnesAddress> address = original_->AddressFor(entry, mode_);
  if (!address) return RowTranslation::NoOriginal;
  return original_->SameText(*rom_.handle, dictionary_, entry.textAddress, *address, KnownRowSize(row))
             ? RowTranslation::Untranslated
             : RowTranslation::Translated;
}

std::vector<RowTranslation> Document::Translations() {
  std::vector<RowTranslation> rows(static_cast<size_t>(table_.count()), RowTranslation::NoOriginal);
  if (!original_ || !Synced()) return rows;
  for (int i = 0; i < table_.count(); ++i) rows[static_cast<size_t>(i)] = TranslationOf(i);
  return rows;
}

Document::Progress Document::CountProgress(const std::vector<RowTranslation>& rows) {
  Progress progress;
  progress.lines = static_cast<int>(rows.size());
  for (RowTranslation row : rows) progress.translated += row != RowTranslation::Untranslated;
  return progress;
}

std::optional<int> Document::NextUntranslated(int after) {
  const int n = table_.count();
  if (!original_ || n == 0 || !Synced()) return std::nullopt;
  const int start = after < 0 || after >= n ? n - 1 : after;
  for (int k = 1; k <= n; ++k) {
    const int row = (start + k) % n;
    if (TranslationOf(row) == RowTranslation::Untranslated) return row;
  }
  return std::nullopt;
}

}  // namespace lettermoor
