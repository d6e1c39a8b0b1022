#pragma once

#include <cstdint>
#include <vector>

#include "rom/snes_address.h"

namespace lettermoor {

// How the list of strings is made.
enum class ListingMode : int {
  PointerTableListing = 0,  // the text pointer table, then the plain pointer list
  RawTextListing = 1,       // eleven fixed ranges of script text, string after string
  ExpandedRomListing = 2,   // the 1 MB expansion area
};

// One row of the main list.
struct TextEntry {
  int32_t location = 0;      // file offset of the pointer leading to the text; 0 when none is known
  SnesAddress textAddress = 0;
  int32_t sprite = 0;        // -1 for plain pointers
  int32_t movement = 0;      // -1 for plain pointers

  bool IsPlainPointer() const { return sprite == -1 && movement == -1; }
  friend bool operator==(const TextEntry&, const TextEntry&) = default;
};

// The strings the editor lists, in row order. Never more than kCapacity entries.
struct TextEntryTable {
  static constexpr int32_t kCapacity = 8000;

  std::vector<TextEntry> entries;
  // Set when a build had more strings than the capacity and stopped at it.
  bool truncated = false;

  int32_t count() const { return static_cast<int32_t>(entries.size()); }
  bool Contains(int32_t row) const { return row >= 0 && row < count(); }
};

}  // namespace lettermoor
