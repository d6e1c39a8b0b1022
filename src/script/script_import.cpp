#include "script/script_import.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_map>

#include "codec/jump_codes.h"
#include "codec/text_compressor.h"
#include "codec/text_encoder.h"
#include "entries/free_space.h"
#include "entries/reference_index.h"
#include "rom/rom_image.h"
#include "script/script_text.h"

namespace lettermoor {

namespace {

// A changed block on its way through the plan.
struct Pending {
  size_t report;             // its entry in ImportResult::changed
  size_t block;              // its block
  int64_t offset;            // where its string is now
  int32_t room;              // the string's present size
  std::vector<uint8_t> bytes;
  bool move = false;
  int64_t place = 0;         // Moved: the free blocks' first byte
};

// The free blocks, handed out first fit in runs of consecutive blocks.
class FreeRuns {
 public:
  explicit FreeRuns(std::vector<int64_t> blocks) : blocks_(std::move(blocks)) {}

  // Blocks touching [from, to) are not free: strings are written there in place.
  void Take(int64_t from, int64_t to) {
    std::erase_if(blocks_, [&](int64_t b) { return b < to && b + kFreeBlockSize > from; });
  }

  std::optional<int64_t> Claim(int64_t bytes) {
    const size_t need = static_cast<size_t>((bytes + kFreeBlockSize - 1) / kFreeBlockSize);
    for (size_t i = 0; i + need <= blocks_.size();) {
      size_t run = 1;
      while (run < need && blocks_[i + run] == blocks_[i] + static_cast<int64_t>(run) * kFreeBlockSize) ++run;
      if (run == need) {
        const int64_t first = blocks_[i];
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(i),
                      blocks_.begin() + static_cast<std::ptrdiff_t>(i + need));
        return first;
      }
      i += run;
    }
    return std::nullopt;
  }

 private:
  std::vector<int64_t> blocks_;
};

// File ranges whose old bytes no longer count: strings rewritten in place, and the old copies of
// moved strings, which nothing is to lead into any more.
class Ranges {
 public:
  void Add(int64_t from, int64_t to) { ranges_.push_back({from, to}); }
  void Sort() { std::sort(ranges_.begin(), ranges_.end()); }
  bool Contains(int64_t at) const {
    // No string is longer than the decoder's limit and the item that crosses it.
    constexpr int64_t kLongest = kDecodeSizeLimit + 16;
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), std::pair<int64_t, int64_t>{at, INT64_MAX});
    while (it != ranges_.begin()) {
      --it;
      if (at - it->first > kLongest) break;
      if (at < it->second) return true;
    }
    return false;
  }

 private:
  std::vector<std::pair<int64_t, int64_t>> ranges_;
};

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
  std::vector<Pending> pending;
  bool anyMove = false;

  for (int n = 0; n < total; ++n) {
    if (progress && n % 64 == 0 && !progress(n, total)) {
      result.status = ImportStatus::Stopped;
      return result;
    }
    const ScriptBlock& block = blocks[static_cast<size_t>(n)];
    const int64_t offset = SnesToFileOffset(block.address);
    if (offset < 0 || offset >= rom.Size()) {
      char buf[160];
      std::snprintf(buf, sizeof buf, "line %d: the text address $%06X lies outside the ROM file; nothing was written.",
                    block.headerLine, static_cast<unsigned>(block.address));
      result.status = ImportStatus::BadAddress;
      result.message = buf;
      result.changed.clear();
      return result;
    }
    // The same text encodes to the same bytes: most blocks of a translation in progress are
    // untouched, and need no encoding.
    if (block.text == block.original) {
      ++result.unchanged;
      continue;
    }
    const std::vector<uint8_t> wanted = TextEncoder(block.text);
    const std::vector<uint8_t> original = TextEncoder(block.original);
    if (wanted == original) {
      ++result.unchanged;
      continue;
    }
    int32_t room = 0;
    const std::vector<uint8_t> present = TextEncoder(ScriptText(rom, offset, dictionary, state, &room));
    if (present == wanted) {
      ++result.unchanged;  // imported before: the ROM holds it already
      continue;
    }
    BlockReport report;
    report.address = block.address;
    report.line = block.textLine;
    report.room = room;
    if (present != original) {
      report.outcome = BlockOutcome::Stale;
      result.changed.push_back(std::move(report));
      continue;
    }
    Pending p{result.changed.size(), static_cast<size_t>(n), offset, room,
              options.compressor ? options.compressor->Encode(block.text) : wanted};
    report.bytes = static_cast<int32_t>(p.bytes.size());
    p.move = report.bytes > room;
    anyMove = anyMove || p.move;
    report.outcome = p.move ? BlockOutcome::TooLarge : BlockOutcome::Written;
    result.changed.push_back(std::move(report));
    pending.push_back(std::move(p));
  }

  // A text that references led to at the export and that nothing leads to now was moved since
  // (its old copy stays behind): writing there would change nothing anybody reads.
  const bool wasReached = std::any_of(pending.begin(), pending.end(),
                                      [&](const Pending& p) { return blocks[p.block].references > 0; });
  const bool canMove = anyMove && options.relocate && IsExpandedRom(rom);
  ReferenceIndex index;
  if (canMove || wasReached) index = ReferenceIndex::Build(rom);
  if (wasReached) {
    std::erase_if(pending, [&](const Pending& p) {
      if (blocks[p.block].references <= 0 || !index.To(blocks[p.block].address).empty()) return false;
      BlockReport& report = result.changed[p.report];
      report.outcome = BlockOutcome::Stale;
      report.why = "nothing points at this text any more (moved since the export?)";
      return true;
    });
    anyMove = std::any_of(pending.begin(), pending.end(), [](const Pending& q) { return q.move; });
  }

  // Moves, with one index and one list of free blocks for the whole file.
  std::unordered_map<SnesAddress, SnesAddress> movedTo;
  if (anyMove) {
    std::optional<FreeRuns> free;
    if (canMove) {
      free.emplace(FreeBlocks(rom, index));
      for (const Pending& p : pending) {
        if (!p.move) free->Take(p.offset, p.offset + p.room);
      }
    }
    for (Pending& p : pending) {
      if (!p.move) continue;
      BlockReport& report = result.changed[p.report];
      if (!options.relocate) {
        report.why = "moving to free space is off";
      } else if (!canMove) {
        report.why = "the ROM is not expanded, so it has no free space";
      } else if (!EndsWithEndCode(p.bytes)) {
        report.why = "only a text that ends with the end code [02] can move";
      } else {
        const auto refs = index.To(report.address);
        const bool reached = std::any_of(refs.begin(), refs.end(), [&](const Reference& r) {
          return r.kind != ReferenceKind::JumpCode || r.offset < p.offset || r.offset >= p.offset + p.room;
        });
        if (!reached) {
          report.why = "nothing the reference index sees points at it, so it cannot move";
        } else if (const std::optional<int64_t> place = free->Claim(static_cast<int64_t>(p.bytes.size()))) {
          p.place = *place;
          report.outcome = BlockOutcome::Moved;
          report.to = FileOffsetToSnes(static_cast<int32_t>(*place));
          movedTo[report.address] = report.to;
        } else {
          report.why = "the expansion area has no run of free blocks that holds it";
        }
      }
    }
  }

  // The bytes to write, with jumps to moved texts leading to their new places.
  Ranges stale;
  for (Pending& p : pending) {
    const BlockReport& report = result.changed[p.report];
    if (report.outcome != BlockOutcome::Written && report.outcome != BlockOutcome::Moved) continue;
    stale.Add(p.offset, p.offset + p.room);
    if (!movedTo.empty()) {
      const ByteSpan span{p.bytes};
      std::vector<std::pair<int64_t, SnesAddress>> patches;
      for (int64_t at = 0; at < static_cast<int64_t>(p.bytes.size());) {
        const int32_t step = ScanJumpCodes(span, at, [&](const JumpCodeAt& j) {
          const auto to = movedTo.find(static_cast<SnesAddress>(j.address));
          if (to != movedTo.end() && j.addressOffset + 4 <= static_cast<int64_t>(p.bytes.size())) {
            patches.emplace_back(j.addressOffset, to->second);
          }
        });
        if (step <= 0) break;
        at += step;
      }
      for (const auto& [at, to] : patches) {
        const std::array<uint8_t, 4> b = AddressBytes(to);
        std::copy(b.begin(), b.end(), p.bytes.begin() + at);
      }
    }
    result.changes.push_back({report.outcome == BlockOutcome::Moved ? p.place : p.offset, p.bytes});
  }
  stale.Sort();
  // Every reference to a moved text, except jump codes in strings that are rewritten (their new
  // bytes were seen to above) or left behind.
  for (const Pending& p : pending) {
    BlockReport& report = result.changed[p.report];
    if (report.outcome != BlockOutcome::Moved) continue;
    const std::array<uint8_t, 4> b = AddressBytes(report.to);
    for (const Reference& r : index.To(report.address)) {
      if (r.kind == ReferenceKind::JumpCode && stale.Contains(r.offset)) continue;
      result.changes.push_back({r.addressOffset, std::vector<uint8_t>(b.begin(), b.end())});
      ++report.repointed;
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

  // One write over the whole span of changes, only the changed bytes ours: all or nothing.
  int64_t from = INT64_MAX, to = 0;
  for (const ByteChange& c : result.changes) {
    from = std::min(from, c.offset);
    to = std::max(to, c.offset + static_cast<int64_t>(c.bytes.size()));
  }
  std::vector<uint8_t> merged(static_cast<size_t>(to - from));
  std::vector<uint8_t> ours(merged.size(), 0);
  for (const ByteChange& c : result.changes) {
    const size_t at = static_cast<size_t>(c.offset - from);
    std::copy(c.bytes.begin(), c.bytes.end(), merged.begin() + static_cast<std::ptrdiff_t>(at));
    std::fill_n(ours.begin() + static_cast<std::ptrdiff_t>(at), c.bytes.size(), uint8_t{1});
  }
  const WriteResult written = rom.Write(from, merged, ours);
  if (!written.Ok()) {
    result.status = ImportStatus::WriteFailed;
    result.writeStatus = written.status;
    result.error = written.error;
    result.damaged = written.status == WriteStatus::FailedDamaged;
    result.message = result.damaged
                         ? "The import could not be written to the ROM file, and its old bytes could not all be put "
                           "back. Check the file before going on."
                         : "The import could not be written to the ROM file; it holds its old bytes again. Nothing "
                           "was changed.";
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

std::string DescribeImport(const ImportResult& result, bool dryRun) {
  std::string out;
  char buf[256];
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
                      r.why.empty() ? "the ROM no longer holds the original text there" : r.why.c_str());
        break;
    }
    out += buf;
  }
  const int written = result.Count(BlockOutcome::Written), moved = result.Count(BlockOutcome::Moved);
  const int large = result.Count(BlockOutcome::TooLarge), stale = result.Count(BlockOutcome::Stale);
  std::snprintf(buf, sizeof buf,
                "%d block%s: %zu changed (%d %s, %d %s, %d too large, %d stale), %d unchanged.%s\n", result.blocks,
                result.blocks == 1 ? "" : "s", result.changed.size(), written, dryRun ? "to write" : "written", moved,
                dryRun ? "to move" : "moved", large, stale, result.unchanged, dryRun ? " Dry run: nothing was written." : "");
  out += buf;
  return out;
}

}  // namespace lettermoor
