#include "entries/text_blocks.h"

#include <bit>

namespace lettermoor {

FirstSeen::FirstSeen(size_t most)
    : slots_(std::bit_ceil(2 * most + 2)), shift_(64 - std::countr_zero(slots_.size())) {}

std::pair<size_t, bool> FirstSeen::Add(SnesAddress address) {
  const size_t mask = slots_.size() - 1;
  // The high bits of a multiplicative hash pick the slot; the next free one takes a collision.
  const uint64_t hash = static_cast<uint64_t>(static_cast<uint32_t>(address)) * 0x9E3779B97F4A7C15ull;
  for (size_t i = static_cast<size_t>(hash >> shift_) & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.number == 0) {
      slot = Slot{address, ++count_};
      return {count_ - 1, true};
    }
    if (slot.address == address) return {slot.number - 1, false};
  }
}

TextBlocks::TextBlocks(const TextEntryTable& table) : rows_(table.entries.size()), rowsAt_(1, 0) {
  std::vector<size_t> blockOfRow(table.entries.size());
  FirstSeen blockOf(table.entries.size());
  for (size_t row = 0; row < table.entries.size(); ++row) {
    const auto [block, added] = blockOf.Add(table.entries[row].textAddress);
    if (added) order.push_back(table.entries[row].textAddress);
    blockOfRow[row] = block;
  }
  // Counted, summed, then filled in row order: each block's rows stay in order.
  rowsAt_.assign(order.size() + 1, 0);
  for (const size_t block : blockOfRow) ++rowsAt_[block + 1];
  for (size_t b = 0; b < order.size(); ++b) rowsAt_[b + 1] += rowsAt_[b];
  std::vector<size_t> next(rowsAt_.begin(), rowsAt_.end() - 1);
  for (size_t row = 0; row < blockOfRow.size(); ++row) rows_[next[blockOfRow[row]]++] = static_cast<int>(row);
}

}  // namespace lettermoor
