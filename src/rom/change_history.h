#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lettermoor {

// What a recorded change was. Stored as one byte: a value keeps its meaning for good.
enum class ChangeKind : uint8_t {
  Change = 0,  // a writer that did not say
  Apply = 1,
  PointerEdit = 2,
  Move = 3,
  Import = 4,
  Replace = 5,
  Expansion = 6,
  Revert = 7,
  Undo = 8,
  Checksum = 9,
  Font = 10,
};

// What a writer tells of the change it is about to make. Writers that tell nothing are still
// recorded, as a Change of no lines.
struct ChangeLabel {
  ChangeLabel() = default;
  explicit ChangeLabel(ChangeKind k, std::vector<int32_t> l = {}, std::string b = {}, std::string a = {}, uint64_t u = 0)
      : kind(k), lines(std::move(l)), before(std::move(b)), after(std::move(a)), undoes(u) {}
  ChangeKind kind = ChangeKind::Change;
  std::vector<int32_t> lines;  // the listing's rows it touched, from 0
  std::string before;          // the texts, when the writer has them at hand: the history's preview
  std::string after;
  uint64_t undoes = 0;         // Undo: the entry it took back
};

// One range of a recorded change, at the file's own offset (a headerless file's first byte is 0).
// `old` holds the bytes that were inside the file before, `now` those inside it after: an
// expansion has no old bytes, a cut no new ones.
struct HistoryRange {
  int64_t offset = 0;
  std::vector<uint8_t> old;
  std::vector<uint8_t> now;
  bool derived = false;  // the header's checksum pair, worked out from the rest: an undo works it out again
};

// One journaled write. A change of several writes (a move and its repoints, an import) is several
// records sharing the `group` of its first.
struct HistoryRecord {
  uint64_t id = 0;
  uint64_t group = 0;
  int64_t time = 0;  // seconds since 1970
  ChangeLabel label;
  int64_t oldSize = 0;  // the file's own size before and after
  int64_t newSize = 0;
  std::vector<HistoryRange> ranges;
};

// What one entry's records (in order) changed in all: for each stretch of bytes they wrote, the
// bytes before the first of them (`old`) and after the last (`now`), both the stretch's length;
// an old byte counts only below `oldSize`, a new one only below `newSize`. Derived ranges are left out.
struct NetChange {
  std::vector<HistoryRange> ranges;
  int64_t oldSize = 0;
  int64_t newSize = 0;
};
NetChange NetChangeOf(const std::vector<const HistoryRecord*>& records);

// True when a range of `record` other than a derived one has a byte in [from, to).
bool Touches(const HistoryRecord& record, int64_t from, int64_t to);

// `.game.smc.history` beside `game.smc`, hidden like the journal.
std::string HistoryPathFor(const std::string& romPath);

// Past this the oldest entries are dropped before an append.
inline constexpr int64_t kHistoryLimit = int64_t{64} << 20;

// A record as it goes into the file: its length, a CRC-32 of it, then its fields. The file starts
// with a magic word, which `first` adds.
std::vector<uint8_t> EncodeHistoryRecord(const HistoryRecord& record, bool first);

// What a history file holds: the whole records in order, and where the last whole one ends (a
// torn tail after it, left by a crash, is cut by the next append).
struct HistoryContents {
  std::vector<HistoryRecord> records;
  int64_t validLength = 0;
};
HistoryContents ParseHistory(const std::vector<uint8_t>& bytes);
// Reads the file at `path` (missing: empty), or through `fd` when it is not negative.
HistoryContents ReadHistory(const std::string& path, int fd = -1);

// Keeps the newest whole changes that leave room for `room` more bytes under three quarters of
// `limit`, written as
// a new file renamed over the old one (the folder synced). Gives the error number, or 0.
int TrimHistory(const std::string& path, const HistoryContents& contents, int64_t room, int64_t limit,
                int64_t& newLength);

}  // namespace lettermoor
