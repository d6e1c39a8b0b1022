#include "script/script_import.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <unordered_map>

#include "codec/jump_codes.h"
#include "codec/text_compressor.h"
#include "codec/text_encoder.h"
#include "codec/decode_items.h"
#include "entries/entry_points.h"
#include "entries/free_space.h"
#include "entries/reference_index.h"
#include "entries/text_entry_table.h"
#include "entries/text_plan.h"
#include "rom/rom_image.h"
#include "script/script_text.h"

namespace lettermoor {

namespace {

// A changed block on its way through the plan.
struct Pending {
  size_t report;  // its entry in ImportResult::changed
  size_t text;    // its entry in the plan's texts
};

// Where each pointer record and plain pointer leads now.
class Leads {
 public:
  explicit Leads(const ReferenceIndex& index) {
    for (const Reference& r : index.All()) {
      if (r.kind == ReferenceKind::PointerRecord) records_[r.number] = r.target;
      if (r.kind == ReferenceKind::PlainPointer) plain_[r.number] = r.target;
    }
  }

  // Where the references a block names lead now: its export address when it names none, and
  // nothing when they lead to different places.
  std::optional<SnesAddress> Of(const ScriptBlock& block) const {
    std::optional<SnesAddress> now;
    bool agree = true;
    auto note = [&](const std::unordered_map<int, SnesAddress>& map, int number) {
      const auto it = map.find(number);
      if (it == map.end()) return;
      if (now && *now != it->second) agree = false;
      now = it->second;
    };
    for (int n : block.records) note(records_, n);
    for (int n : block.plainPointers) note(plain_, n);
    if (!agree) return std::nullopt;
    return now.value_or(block.address);
  }

 private:
  std::unordered_map<int, SnesAddress> records_;
  std::unordered_map<int, SnesAddress> plain_;
};

// Where strings start: every address a reference leads to, and every string of the raw and
// expanded listings. Only there may an import write in place.
class TextStarts {
 public:
  TextStarts(const RomFile& rom, const ReferenceIndex& index) {
    for (const Reference& r : index.All()) starts_.emplace_back(SnesToFileOffset(r.target), true);
    const auto sizeOf = [&](int64_t offset) { return ScanJumpCodes(rom, offset, [](const JumpCodeAt&) {}); };
    for (ListingMode mode : {ListingMode::RawTextListing, ListingMode::ExpandedRomListing}) {
      TextEntryTable table;
      BuildTextEntries(rom, mode, table, sizeOf);
      for (const TextEntry& e : table.entries) starts_.emplace_back(SnesToFileOffset(e.textAddress), false);
    }
    std::sort(starts_.begin(), starts_.end());
  }

  bool IsListed(int64_t offset) const {
    return std::binary_search(starts_.begin(), starts_.end(), std::pair<int64_t, bool>{offset, false});
  }
  bool IsStart(int64_t offset) const {
    return IsListed(offset) ||
           std::binary_search(starts_.begin(), starts_.end(), std::pair<int64_t, bool>{offset, true});
  }

 private:
  std::vector<std::pair<int64_t, bool>> starts_;  // offset, and whether a reference leads there
};

// Each block's edited text against its original: the same text encodes to the same bytes, so
// most blocks of a translation in progress are counted unchanged and not looked at any further
// (an unchanged block never refuses an import). Gives the others.
std::vector<size_t> EditedBlocks(const std::vector<ScriptBlock>& blocks, ImportResult& result) {
  std::vector<size_t> edited;
  for (size_t n = 0; n < blocks.size(); ++n) {
    if (blocks[n].text == blocks[n].original) {
      ++result.unchanged;
    } else {
      edited.push_back(n);
    }
  }
  return edited;
}

// Where every block is found now (see Leads::Of).
std::vector<std::optional<SnesAddress>> WhereNow(const std::vector<ScriptBlock>& blocks, const Leads& leads) {
  std::vector<std::optional<SnesAddress>> now(blocks.size());
  for (size_t n = 0; n < blocks.size(); ++n) now[n] = leads.Of(blocks[n]);
  return now;
}

// Texts an earlier import moved, from their export address to where they are now: their jumps
// are compared as leading to the new places.
std::unordered_map<SnesAddress, SnesAddress> MovedTexts(const std::vector<ScriptBlock>& blocks,
                                                        const std::vector<std::optional<SnesAddress>>& now) {
  std::unordered_map<SnesAddress, SnesAddress> movedTo;
  for (size_t n = 0; n < blocks.size(); ++n) {
    if (now[n] && *now[n] != blocks[n].address) movedTo[blocks[n].address] = *now[n];
  }
  return movedTo;
}

std::vector<SnesAddress> Found(const std::vector<std::optional<SnesAddress>>& now) {
  std::vector<SnesAddress> found;
  for (const std::optional<SnesAddress>& a : now) {
    if (a) found.push_back(*a);
  }
  return found;
}

// Its characters, as the edit box counts them (a malformed byte counts as one).
int64_t CharacterCount(const std::string& text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

// One import's plan, built block by block: what each edited block changes, then where the
// texts that change go. A step that refuses the whole import says so by giving false, with the
// result's status and failure set and nothing planned.
class ImportPlan {
 public:
  ImportPlan(const RomFile& rom, const std::vector<ScriptBlock>& blocks, const TextDictionary& dictionary,
             DecoderState& state, const ImportOptions& options, ImportResult& result)
      : rom_(rom), blocks_(blocks), dictionary_(dictionary), state_(state), options_(options), result_(result),
        index_(ReferenceIndex::Build(rom)), starts_(rom, index_), now_(WhereNow(blocks, Leads(index_))),
        movedTo_(MovedTexts(blocks, now_)), entryPoints_(rom, Found(now_), &index_) {}

  // Block `n`, whose text differs from its original.
  bool Look(size_t n);
  // Strict, and a changed text has warnings: the report keeps only the blocks that have them.
  bool RefuseWarnings();
  // Plans every text's write or move, and gives each block its outcome.
  bool Place();

 private:
  bool Refuse(ImportStatus status, const ImportFailure& failure) {
    result_.status = status;
    result_.failure = failure;
    result_.changed.clear();
    result_.changes.clear();
    return false;
  }
  // Whether the text that is in the ROM at the block's place now is one this import may write
  // over; sets the report's outcome when it is not (or is overwritten all the same).
  bool MayWrite(const ScriptBlock& block, int64_t offset, const std::vector<uint8_t>& original,
                const std::vector<uint8_t>& present, BlockReport& report) const;
  void Plan(const ScriptBlock& block, int64_t offset, BlockReport&& report);
  bool RefuseShared(const BlockReport& report, NotMovedReason why);

  const RomFile& rom_;
  const std::vector<ScriptBlock>& blocks_;
  const TextDictionary& dictionary_;
  DecoderState& state_;
  const ImportOptions& options_;
  ImportResult& result_;
  const ReferenceIndex index_;
  const TextStarts starts_;
  const std::vector<std::optional<SnesAddress>> now_;
  const std::unordered_map<SnesAddress, SnesAddress> movedTo_;
  EntryPoints entryPoints_;
  std::vector<PlannedText> texts_;
  std::vector<Pending> pending_;
};

bool ImportPlan::Look(size_t n) {
  const ScriptBlock& block = blocks_[n];
  std::vector<uint8_t> wanted = TextEncoder(block.text);
  std::vector<uint8_t> original = TextEncoder(block.original);
  if (wanted == original) {
    ++result_.unchanged;
    return true;
  }
  // Longer, it would be listed and exported cut short, without its end code.
  const int64_t characters = CharacterCount(block.text);
  const auto bytes = static_cast<int64_t>(wanted.size());
  if (characters > kLongestImportedText || bytes > kDecodeSizeLimit) {
    return Refuse(ImportStatus::TextTooLong, {.line = block.textLine, .characters = characters, .bytes = bytes});
  }
  BlockReport report;
  report.address = block.address;
  report.line = block.textLine;
  report.warnings = TextWarnings(wanted, original);
  if (!now_[n]) {
    report.outcome = BlockOutcome::Stale;
    report.stale = StaleReason::RecordsDisagree;
    result_.changed.push_back(std::move(report));
    return true;
  }
  report.now = *now_[n];
  const int64_t offset = SnesToFileOffset(report.now);
  if (offset < 0 || offset >= rom_.Size() || !starts_.IsStart(offset)) {
    return Refuse(ImportStatus::BadAddress, {.line = block.headerLine, .address = report.now});
  }
  if (!movedTo_.empty()) {
    FollowMoves(wanted, movedTo_);
    FollowMoves(original, movedTo_);
  }
  const std::vector<uint8_t> present = TextEncoder(ScriptText(rom_, offset, dictionary_, state_, &report.room));
  if (present == wanted) {
    ++result_.unchanged;  // imported before: the ROM holds it already
    return true;
  }
  if (!MayWrite(block, offset, original, present, report)) {
    result_.changed.push_back(std::move(report));
    return true;
  }
  Plan(block, offset, std::move(report));
  return true;
}

bool ImportPlan::MayWrite(const ScriptBlock& block, int64_t offset, const std::vector<uint8_t>& original,
                          const std::vector<uint8_t>& present, BlockReport& report) const {
  // A text an earlier import moved has its original still at the export address; a text the
  // ROM holds changed otherwise was changed by someone since the export.
  const bool movedEarlier = report.now != block.address;
  if (present != original && !movedEarlier) {
    if (!options_.overwriteChanged) {
      report.outcome = BlockOutcome::Stale;
      return false;
    }
    report.outcome = BlockOutcome::Overwritten;
  }
  // A block that names no record or pointer is found by its address alone: when nothing
  // reaches that address now and no listing shows a string there, its text was moved away and
  // writing there would change a copy nobody reads.
  if (block.records.empty() && block.plainPointers.empty() && !starts_.IsListed(offset) &&
      !ReachedFromOutside(index_, report.now, offset, offset + report.room)) {
    report.outcome = BlockOutcome::Stale;
    report.stale = StaleReason::Unreached;
    return false;
  }
  return true;
}

void ImportPlan::Plan(const ScriptBlock& block, int64_t offset, BlockReport&& report) {
  PlannedText text;
  text.address = report.now;
  text.room = report.room;
  text.bytes = options_.compressor ? options_.compressor->Encode(block.text) : TextEncoder(block.text);
  if (!movedTo_.empty()) FollowMoves(text.bytes, movedTo_);
  const std::optional<SnesAddress> shared = entryPoints_.SharedWith(offset, report.room);
  text.mustMove = shared.has_value();
  report.bytes = static_cast<int32_t>(text.bytes.size());
  report.shares = shared.value_or(0);
  pending_.push_back({result_.changed.size(), texts_.size()});
  result_.changed.push_back(std::move(report));
  texts_.push_back(std::move(text));
}

bool ImportPlan::RefuseWarnings() {
  if (!options_.strict || std::none_of(result_.changed.begin(), result_.changed.end(),
                                       [](const BlockReport& r) { return !r.warnings.empty(); })) {
    return true;
  }
  // Warnings are refusals: the report names the blocks that have them, and nothing is planned.
  std::erase_if(result_.changed, [](const BlockReport& r) { return r.warnings.empty(); });
  result_.status = ImportStatus::Warned;
  return false;
}

bool ImportPlan::Place() {
  std::optional<FreeSpace> free;
  if (options_.relocate && IsExpandedRom(rom_)) free.emplace(FreeSpace::Of(rom_, index_));
  result_.changes = PlanTextWrites(rom_, index_, free ? &*free : nullptr, texts_, options_.relocate).ranges;
  for (const Pending& p : pending_) {
    BlockReport& report = result_.changed[p.report];
    const PlannedText& text = texts_[p.text];
    // Written in place it would change the other text too; it cannot move: nothing at all.
    if (text.outcome == PlanOutcome::NotPlaced && text.mustMove) return RefuseShared(report, text.why);
    if (report.outcome != BlockOutcome::Overwritten || text.outcome == PlanOutcome::NotPlaced) {
      report.outcome = text.outcome == PlanOutcome::Written ? BlockOutcome::Written
                       : text.outcome == PlanOutcome::Moved ? BlockOutcome::Moved
                                                            : BlockOutcome::TooLarge;
    }
    report.to = text.to;
    report.repointed = text.repointed;
    if (text.outcome == PlanOutcome::NotPlaced) report.notMoved = text.why;
  }
  return true;
}

bool ImportPlan::RefuseShared(const BlockReport& report, NotMovedReason why) {
  const auto other = std::find_if(blocks_.begin(), blocks_.end(), [&](const ScriptBlock& b) {
    return SnesToFileOffset(b.address) == SnesToFileOffset(report.shares);
  });
  return Refuse(ImportStatus::SharedBytes, {.line = report.line,
                                            .address = report.now,
                                            .sharedWith = report.shares,
                                            .sharedLine = other == blocks_.end() ? 0 : other->textLine,
                                            .notMoved = why});
}

}  // namespace

int ImportResult::Count(BlockOutcome outcome) const {
  return static_cast<int>(std::count_if(changed.begin(), changed.end(),
                                        [&](const BlockReport& r) { return r.outcome == outcome; }));
}

ImportResult PlanScriptImport(const RomFile& rom, const std::vector<ScriptBlock>& blocks,
                              const TextDictionary& dictionary, DecoderState& state, const ImportOptions& options,
                              const ScriptProgress& progress) {
  ImportResult result;
  result.blocks = static_cast<int>(blocks.size());
  const int total = result.blocks;
  const std::vector<size_t> edited = EditedBlocks(blocks, result);
  if (!edited.empty()) {
    ImportPlan plan(rom, blocks, dictionary, state, options, result);
    for (size_t k = 0; k < edited.size(); ++k) {
      if (progress && k % 64 == 0 && !progress(static_cast<int>(k * total / edited.size()), total)) {
        result.status = ImportStatus::Stopped;
        result.changed.clear();
        return result;
      }
      if (!plan.Look(edited[k])) return result;
    }
    if (!plan.RefuseWarnings() || !plan.Place()) return result;
    // All or none: the report keeps what each would have become.
    if (options.whole && !result.AllWritten()) {
      result.status = ImportStatus::Incomplete;
      result.changes.clear();
      return result;
    }
  }
  if (progress) progress(total, total);
  return result;
}

ImportResult ImportScript(RomFile& rom, const std::vector<ScriptBlock>& blocks, const TextDictionary& dictionary,
                          DecoderState& state, const ImportOptions& options, const ScriptProgress& progress) {
  if (options.dryRun) {
    rom.Refresh();
    return PlanScriptImport(rom, blocks, dictionary, state, options, progress);
  }
  ImportResult failed;
  failed.blocks = static_cast<int>(blocks.size());
  if (rom.IsReadOnly()) {
    failed.status = ImportStatus::WriteFailed;
    failed.writeStatus = WriteStatus::ReadOnly;
    return failed;
  }
  // One lock from the first read to the last write: nobody changes the file under the plan.
  RomFile::Hold lock(rom);
  if (!lock.Held()) {
    failed.status = ImportStatus::LockFailed;
    return failed;
  }
  rom.Refresh();
  ImportResult result = PlanScriptImport(rom, blocks, dictionary, state, options, progress);
  if (result.status != ImportStatus::Done || result.changes.empty()) return result;

  // One change set: journaled, so that even a crash leaves the file wholly before or after it.
  ChangeSet change;
  change.ranges = result.changes;
  const WriteResult written = rom.Apply(change);
  if (!written.Ok()) {
    result.status = ImportStatus::WriteFailed;
    result.writeStatus = written.status;
    result.error = written.error;
    result.damaged = written.status == WriteStatus::FailedDamaged;
  }
  return result;
}

bool WriteChangedCopy(const RomFile& rom, std::span<const ByteChange> changes, std::FILE* out) {
  constexpr int64_t kChunk = 1 << 20;
  const int64_t start = rom.IsHeaderless() ? RomFile::kCopierHeaderSize : 0;
  std::vector<uint8_t> buffer;
  for (int64_t at = start; at < rom.Size(); at += kChunk) {
    const int64_t n = std::min(kChunk, rom.Size() - at);
    buffer.resize(static_cast<size_t>(n));
    rom.Read(at, buffer);
    for (const ByteChange& c : changes) {
      const int64_t end = c.offset + static_cast<int64_t>(c.bytes.size());
      for (int64_t k = std::max(c.offset, at); k < std::min(end, at + n); ++k) {
        buffer[static_cast<size_t>(k - at)] = c.bytes[static_cast<size_t>(k - c.offset)];
      }
    }
    if (std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size()) return false;
  }
  return true;
}

namespace {

void AppendWarnings(std::string& out, const BlockReport& r) {
  for (const TextWarning& w : r.warnings) out += "    warning: " + DescribeTextWarning(w) + "\n";
}

const char* WhyNotMoved(NotMovedReason why) {
  switch (why) {
    case NotMovedReason::RelocateOff: return "moving to free space is off";
    case NotMovedReason::NotExpanded: return "the ROM is not expanded, so it has no free space";
    case NotMovedReason::NoEndCode: return "only a text that ends with the end code [02] can move";
    case NotMovedReason::NoReferences: return "nothing the reference index sees points at it, so it cannot move";
    case NotMovedReason::NoFreeSpace: return "the expansion area has no free space left that holds it";
    case NotMovedReason::None: break;
  }
  return "";
}

const char* WhyStale(StaleReason why) {
  switch (why) {
    case StaleReason::Changed:
      return "the ROM holds neither the original text nor this one there (changed since the export)";
    case StaleReason::Unreached: return "nothing points at this text any more (moved since the export?)";
    case StaleReason::RecordsDisagree: return "its records lead to different texts now";
  }
  return "";
}

// What became of one block, after its address and line.
std::string DescribeOutcome(const BlockReport& r, bool dryRun) {
  char buf[256];
  switch (r.outcome) {
    case BlockOutcome::Written:
      std::snprintf(buf, sizeof buf, "%s, %d of %d bytes", dryRun ? "would be written" : "written", r.bytes, r.room);
      break;
    case BlockOutcome::Moved:
      std::snprintf(buf, sizeof buf, "%s $%06X, %d reference%s repointed", dryRun ? "would move to" : "moved to",
                    static_cast<unsigned>(r.to), r.repointed, r.repointed == 1 ? "" : "s");
      break;
    case BlockOutcome::TooLarge:
      std::snprintf(buf, sizeof buf, "too large by %d bytes (%d for %d): %s", r.bytes - r.room, r.bytes, r.room,
                    WhyNotMoved(r.notMoved));
      break;
    case BlockOutcome::Stale:
      std::snprintf(buf, sizeof buf, "stale: %s", WhyStale(r.stale));
      break;
    case BlockOutcome::Overwritten:
      if (r.to != 0) {
        std::snprintf(buf, sizeof buf, "%s, moved to $%06X", dryRun ? "would be overwritten" : "overwritten",
                      static_cast<unsigned>(r.to));
      } else {
        std::snprintf(buf, sizeof buf, "%s, %d of %d bytes", dryRun ? "would be overwritten" : "overwritten",
                      r.bytes, r.room);
      }
      break;
  }
  return buf;
}

}  // namespace

namespace {

// "$C50010 (line 7)", or with the list's line "$C50010 (list line 3, script line 7)": the list
// shows a moved text at its new address.
std::string BlockHead(const BlockReport& r, const std::function<int(SnesAddress)>& listLine) {
  char buf[96];
  int line = 0;
  if (listLine) {
    for (const SnesAddress a : {r.to, r.now, r.address}) {
      if (line == 0 && a != 0) line = listLine(a);
    }
  }
  if (!listLine) {
    std::snprintf(buf, sizeof buf, "$%06X (line %d)", static_cast<unsigned>(r.address), r.line);
  } else if (line > 0) {
    std::snprintf(buf, sizeof buf, "$%06X (list line %d, script line %d)", static_cast<unsigned>(r.address), line, r.line);
  } else {
    std::snprintf(buf, sizeof buf, "$%06X (script line %d)", static_cast<unsigned>(r.address), r.line);
  }
  return buf;
}

}  // namespace

std::string DescribeImport(const ImportResult& result, bool dryRun, const std::function<int(SnesAddress)>& listLine) {
  std::string out;
  char buf[256];
  if (result.status == ImportStatus::Warned) {
    for (const BlockReport& r : result.changed) {
      out += BlockHead(r, listLine) + ": has warnings\n";
      AppendWarnings(out, r);
    }
    std::snprintf(buf, sizeof buf,
                  "%zu changed text%s warnings, and warnings are refusals (strict): nothing was written.\n",
                  result.changed.size(), result.changed.size() == 1 ? " has" : "s have");
    return out + buf;
  }
  const bool incomplete = result.status == ImportStatus::Incomplete;
  for (const BlockReport& r : result.changed) {
    out += BlockHead(r, listLine) + ": " + DescribeOutcome(r, dryRun || incomplete) + "\n";
    AppendWarnings(out, r);
  }
  if (incomplete) {
    const int left = result.Count(BlockOutcome::TooLarge) + result.Count(BlockOutcome::Stale);
    std::snprintf(buf, sizeof buf,
                  "%d of %zu changed text%s cannot be written, and they are written all together or not at all: "
                  "nothing was written.\n",
                  left, result.changed.size(), result.changed.size() == 1 ? "" : "s");
    return out + buf;
  }
  const int written = result.Count(BlockOutcome::Written), moved = result.Count(BlockOutcome::Moved);
  const int large = result.Count(BlockOutcome::TooLarge), stale = result.Count(BlockOutcome::Stale);
  const int overwritten = result.Count(BlockOutcome::Overwritten);
  std::snprintf(buf, sizeof buf, "%d block%s: %zu changed (%d %s, %d %s, %d too large, %d stale", result.blocks,
                result.blocks == 1 ? "" : "s", result.changed.size(), written, dryRun ? "to write" : "written", moved,
                dryRun ? "to move" : "moved", large, stale);
  out += buf;
  if (overwritten > 0) out += ", " + std::to_string(overwritten) + (dryRun ? " to overwrite" : " overwritten");
  const auto warned = std::count_if(result.changed.begin(), result.changed.end(),
                                    [](const BlockReport& r) { return !r.warnings.empty(); });
  std::snprintf(buf, sizeof buf, "), %d unchanged.", result.unchanged);
  out += buf;
  if (warned > 0) out += " " + std::to_string(warned) + (warned == 1 ? " has warnings." : " have warnings.");
  out += dryRun ? " Dry run: nothing was written.\n" : "\n";
  return out;
}

namespace {

std::string DescribeWriteFailure(WriteStatus status) {
  switch (status) {
    case WriteStatus::ReadOnly: return "The ROM file is open read-only: nothing was written.";
    case WriteStatus::FileReplaced:
      return "The ROM file was moved, replaced or deleted after it was opened: nothing was written to it. Open it "
             "again to go on.";
    case WriteStatus::JournalFailed:
      return "The import was not written: its rollback journal could not be made beside the ROM. Nothing was "
             "written; make room or permission in the ROM's folder.";
    case WriteStatus::FailedDamaged:
      return "The import could not be written to the ROM file, and its old bytes could not all be put back yet: "
             "they are kept in a journal beside it and are put back the next time the file is opened.";
    default:
      return "The import could not be written to the ROM file; it holds its old bytes again. Nothing was changed.";
  }
}

}  // namespace

std::string DescribeImportFailure(const ImportResult& result) {
  const ImportFailure& f = result.failure;
  char buf[512];
  switch (result.status) {
    case ImportStatus::TextTooLong:
      std::snprintf(buf, sizeof buf,
                    "line %d: the text has %lld characters and %lld bytes; at most %lld of each are read back whole. "
                    "Nothing was written.",
                    f.line, static_cast<long long>(f.characters), static_cast<long long>(f.bytes),
                    static_cast<long long>(kLongestImportedText));
      return buf;
    case ImportStatus::BadAddress:
      std::snprintf(buf, sizeof buf,
                    "line %d, column 3: no text of the ROM starts at $%06X, so nothing may be written there; nothing "
                    "was written.",
                    f.line, static_cast<unsigned>(f.address));
      return buf;
    case ImportStatus::SharedBytes:
      std::snprintf(buf, sizeof buf,
                    "line %d: the text at $%06X shares its bytes with the text at $%06X%s, and cannot move to free "
                    "space to change alone (%s); nothing was written.",
                    f.line, static_cast<unsigned>(f.address), static_cast<unsigned>(f.sharedWith),
                    f.sharedLine == 0 ? " (a reference leads there)"
                                      : (" (line " + std::to_string(f.sharedLine) + ")").c_str(),
                    WhyNotMoved(f.notMoved));
      return buf;
    case ImportStatus::LockFailed:
      return "The ROM file could not be locked: another program is using it. Nothing was written.";
    case ImportStatus::WriteFailed: return DescribeWriteFailure(result.writeStatus);
    case ImportStatus::Done:
    case ImportStatus::Warned:
    case ImportStatus::Incomplete:
    case ImportStatus::Stopped: break;
  }
  return {};
}

}  // namespace lettermoor
