#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "entries/text_entry.h"

namespace lettermoor {

// Numbers addresses in the order they are first met, in one flat table rather than a node each:
// thousands of texts go by in an export.
class FirstSeen {
 public:
  // Room for `most` distinct addresses.
  explicit FirstSeen(size_t most);

  // The number of `address`, and whether it is new.
  std::pair<size_t, bool> Add(SnesAddress address);

 private:
  struct Slot {
    SnesAddress address = 0;
    size_t number = 0;  // 1 + the address's number; 0 for an empty slot
  };
  std::vector<Slot> slots_;
  int shift_;
  size_t count_ = 0;
};

// The listing's rows grouped by text address: one block per distinct address, in the order the
// listing first shows it, each with its rows in order. The exports write one block per text.
class TextBlocks {
 public:
  explicit TextBlocks(const TextEntryTable& table);

  size_t size() const { return order.size(); }
  std::span<const int> RowsOf(size_t block) const {
    return std::span(rows_).subspan(rowsAt_[block], rowsAt_[block + 1] - rowsAt_[block]);
  }

  std::vector<SnesAddress> order;  // each block's address

 private:
  std::vector<int> rows_;       // each block's rows, one block after another
  std::vector<size_t> rowsAt_;  // block b's rows run from rowsAt_[b] to rowsAt_[b + 1]
};

}  // namespace lettermoor
