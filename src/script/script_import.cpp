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

// The longest text the edit box shows, and so the longest an import writes.
constexpr size_t kLongestText = 4000;

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

std::string Describe(const char* format, int line, SnesAddress address, SnesAddress other = 0,
                     const std::string& where = {}, const char* why = "") {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, line, static_cast<unsigned>(address), static_cast<unsigned>(other),
                where.c_str(), why);
  return buf;
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

  // The same text encodes to the same bytes: most blocks of a translation in progress are
  // untouched, and are not looked at any further (an unchanged block never refuses an import).
  std::vector<size_t> edited;
  for (size_t n = 0; n < blocks.size(); ++n) {
    if (blocks[n].text == blocks[n].original) {
      ++result.unchanged;
    } else {
      edited.push_back(n);
    }
  }
  if (edited.empty()) {
    if (progress) progress(total, total);
    return result;
  }
  const ReferenceIndex index = ReferenceIndex::Build(rom);
  const Leads leads(index);
  const TextStarts starts(rom, index);
  // Where every block is found now, and which texts an earlier import moved: their jumps are
  // compared as leading to the new places.
  std::vector<std::optional<SnesAddress>> now(blocks.size());
  std::unordered_map<SnesAddress, SnesAddress> movedTo;
  for (size_t n = 0; n < blocks.size(); ++n) {
    now[n] = leads.Of(blocks[n]);
    if (now[n] && *now[n] != blocks[n].address) movedTo[blocks[n].address] = *now[n];
  }
  std::vector<SnesAddress> found;
  for (const std::optional<SnesAddress>& a : now) {
    if (a) found.push_back(*a);
  }
  EntryPoints entryPoints(rom, found, &index);

  std::vector<PlannedText> texts;
  std::vector<Pending> pending;
  for (size_t k = 0; k < edited.size(); ++k) {
    if (progress && k % 64 == 0 && !progress(static_cast<int>(k * total / edited.size()), total)) {
      result.status = ImportStatus::Stopped;
      result.changed.clear();
      return result;
    }
    const ScriptBlock& block = blocks[edited[k]];
    std::vector<uint8_t> wanted = TextEncoder(block.text);
    std::vector<uint8_t> original = TextEncoder(block.original);
    if (wanted == original) {
      ++result.unchanged;
      continue;
    }
    // Longer, it would be listed and exported cut short, without its end code.
    const size_t characters = static_cast<size_t>(std::count_if(
        block.text.begin(), block.text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    if (characters > kLongestText || wanted.size() > static_cast<size_t>(kDecodeSizeLimit)) {
      result.status = ImportStatus::TextTooLong;
      result.message = "line " + std::to_string(block.textLine) + ": the text has " + std::to_string(characters) +
                       " characters and " + std::to_string(wanted.size()) + " bytes; at most " +
                       std::to_string(kLongestText) + " of each are read back whole. Nothing was written.";
      result.changed.clear();
      return result;
    }
    BlockReport report;
    report.address = block.address;
    report.line = block.textLine;
    report.warnings = TextWarnings(wanted, original);
    if (!now[edited[k]]) {
      report.outcome = BlockOutcome::Stale;
      report.stale = StaleReason::Unreached;
      report.why = "its records lead to different texts now";
      result.changed.push_back(std::move(report));
      continue;
    }
    report.now = *now[edited[k]];
    const int64_t offset = SnesToFileOffset(report.now);
    if (offset < 0 || offset >= rom.Size() || !starts.IsStart(offset)) {
      result.status = ImportStatus::BadAddress;
      result.message = Describe("line %d, column 3: no text of the ROM starts at $%06X, so nothing may be written "
                                "there; nothing was written.",
                                block.headerLine, report.now);
      result.changed.clear();
      return result;
    }
    if (!movedTo.empty()) {
      FollowMoves(wanted, movedTo);
      FollowMoves(original, movedTo);
    }
    const std::vector<uint8_t> present = TextEncoder(ScriptText(rom, offset, dictionary, state, &report.room));
    if (present == wanted) {
      ++result.unchanged;  // imported before: the ROM holds it already
      continue;
    }
    // A text an earlier import moved has its original still at the export address; a text the
    // ROM holds changed otherwise was changed by someone since the export.
    const bool movedEarlier = report.now != block.address;
    if (present != original && !movedEarlier) {
      if (!options.overwriteChanged) {
        report.outcome = BlockOutcome::Stale;
        result.changed.push_back(std::move(report));
        continue;
      }
      report.outcome = BlockOutcome::Overwritten;
    }
    // A block that names no record or pointer is found by its address alone: when nothing
    // reaches that address now and no listing shows a string there, its text was moved away and
    // writing there would change a copy nobody reads.
    if (block.records.empty() && block.plainPointers.empty() && !starts.IsListed(offset) &&
        !ReachedFromOutside(index, report.now, offset, offset + report.room)) {
      report.outcome = BlockOutcome::Stale;
      report.stale = StaleReason::Unreached;
      report.why = "nothing points at this text any more (moved since the export?)";
      result.changed.push_back(std::move(report));
      continue;
    }
    PlannedText text;
    text.address = report.now;
    text.room = report.room;
    text.bytes = options.compressor ? options.compressor->Encode(block.text) : TextEncoder(block.text);
    if (!movedTo.empty()) FollowMoves(text.bytes, movedTo);
    const std::optional<SnesAddress> shared = entryPoints.SharedWith(offset, report.room);
    text.mustMove = shared.has_value();
    report.bytes = static_cast<int32_t>(text.bytes.size());
    report.shares = shared.value_or(0);
    pending.push_back({result.changed.size(), texts.size()});
    result.changed.push_back(std::move(report));
    texts.push_back(std::move(text));
  }

  if (options.strict && std::any_of(result.changed.begin(), result.changed.end(),
                                    [](const BlockReport& r) { return !r.warnings.empty(); })) {
    // Warnings are refusals: the report names the blocks that have them, and nothing is planned.
    std::erase_if(result.changed, [](const BlockReport& r) { return r.warnings.empty(); });
    result.status = ImportStatus::Warned;
    return result;
  }
  const bool canMove = options.relocate && IsExpandedRom(rom);
  std::optional<FreeSpace> free;
  if (canMove) free.emplace(FreeSpace::Of(rom, index));
  result.changes = PlanTextWrites(rom, index, free ? &*free : nullptr, texts, options.relocate).ranges;
  for (const Pending& p : pending) {
    BlockReport& report = result.changed[p.report];
    const PlannedText& text = texts[p.text];
    if (text.outcome == PlanOutcome::NotPlaced && text.mustMove) {
      // Written in place it would change the other text too; it cannot move: nothing at all.
      const auto other = std::find_if(blocks.begin(), blocks.end(), [&](const ScriptBlock& b) {
        return SnesToFileOffset(b.address) == SnesToFileOffset(report.shares);
      });
      result.status = ImportStatus::SharedBytes;
      result.message = Describe("line %d: the text at $%06X shares its bytes with the text at $%06X%s, and cannot "
                                "move to free space to change alone (%s); nothing was written.",
                                report.line, report.now, report.shares,
                                other == blocks.end() ? std::string(" (a reference leads there)")
                                                      : " (line " + std::to_string(other->textLine) + ")",
                                WhyNotMoved(text.why));
      result.changed.clear();
      result.changes.clear();
      return result;
    }
    if (report.outcome != BlockOutcome::Overwritten || text.outcome == PlanOutcome::NotPlaced) {
      report.outcome = text.outcome == PlanOutcome::Written ? BlockOutcome::Written
                       : text.outcome == PlanOutcome::Moved ? BlockOutcome::Moved
                                                            : BlockOutcome::TooLarge;
    }
    report.to = text.to;
    report.repointed = text.repointed;
    if (text.outcome == PlanOutcome::NotPlaced) report.why = WhyNotMoved(text.why);
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
    failed.message = "The ROM file is open read-only: nothing was written.";
    return failed;
  }
  // One lock from the first read to the last write: nobody changes the file under the plan.
  RomFile::Hold lock(rom);
  if (!lock.Held()) {
    failed.status = ImportStatus::LockFailed;
    failed.message = "The ROM file could not be locked: another program is using it. Nothing was written.";
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
    switch (written.status) {
      case WriteStatus::FileReplaced:
        result.message = "The ROM file was moved, replaced or deleted after it was opened: nothing was written to "
                         "it. Open it again to go on.";
        break;
      case WriteStatus::JournalFailed:
        result.message = "The import was not written: its rollback journal could not be made beside the ROM. Nothing "
                         "was written; make room or permission in the ROM's folder.";
        break;
      case WriteStatus::FailedDamaged:
        result.message = "The import could not be written to the ROM file, and its old bytes could not all be put "
                         "back yet: they are kept in a journal beside it and are put back the next time the file is "
                         "opened.";
        break;
      default:
        result.message = "The import could not be written to the ROM file; it holds its old bytes again. Nothing "
                         "was changed.";
        break;
    }
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

}  // namespace

std::string DescribeImport(const ImportResult& result, bool dryRun) {
  std::string out;
  char buf[256];
  if (result.status == ImportStatus::Warned) {
    for (const BlockReport& r : result.changed) {
      std::snprintf(buf, sizeof buf, "$%06X (line %d): has warnings\n", static_cast<unsigned>(r.address), r.line);
      out += buf;
      AppendWarnings(out, r);
    }
    std::snprintf(buf, sizeof buf,
                  "%zu changed text%s warnings, and warnings are refusals (strict): nothing was written.\n",
                  result.changed.size(), result.changed.size() == 1 ? " has" : "s have");
    return out + buf;
  }
  for (const BlockReport& r : result.changed) {
    const int n = std::snprintf(buf, sizeof buf, "$%06X (line %d): ", static_cast<unsigned>(r.address), r.line);
    out.append(buf, static_cast<size_t>(n));
    switch (r.outcome) {
      case BlockOutcome::Written:
        std::snprintf(buf, sizeof buf, "%s, %d of %d bytes\n", dryRun ? "would be written" : "written", r.bytes, r.room);
        break;
      case BlockOutcome::Moved:
        std::snprintf(buf, sizeof buf, "%s $%06X, %d reference%s repointed\n", dryRun ? "would move to" : "moved to",
                      static_cast<unsigned>(r.to), r.repointed, r.repointed == 1 ? "" : "s");
        break;
      case BlockOutcome::TooLarge:
        std::snprintf(buf, sizeof buf, "too large by %d bytes (%d for %d): %s\n", r.bytes - r.room, r.bytes, r.room,
                      r.why.c_str());
        break;
      case BlockOutcome::Stale:
        std::snprintf(buf, sizeof buf, "stale: %s\n",
                      r.why.empty() ? "the ROM holds neither the original text nor this one there (changed since the "
                                      "export)"
                                    : r.why.c_str());
        break;
      case BlockOutcome::Overwritten:
        if (r.to != 0) {
          std::snprintf(buf, sizeof buf, "%s, moved to $%06X\n", dryRun ? "would be overwritten" : "overwritten",
                        static_cast<unsigned>(r.to));
        } else {
          std::snprintf(buf, sizeof buf, "%s, %d of %d bytes\n", dryRun ? "would be overwritten" : "overwritten",
                        r.bytes, r.room);
        }
        break;
    }
    out += buf;
    AppendWarnings(out, r);
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

}  // namespace lettermoor
