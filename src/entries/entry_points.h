#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "rom/snes_address.h"

namespace lettermoor {

class RomFile;
class ReferenceIndex;

// The entry points into a ROM's strings: the addresses of the texts a listing or a script names,
// and every address the reference index finds a reference to. Tells which strings share bytes
// with another entry point, the one rule the export's notes and the import's moves both follow.
class EntryPoints {
 public:
  EntryPoints(const RomFile& rom, const std::vector<SnesAddress>& texts, const ReferenceIndex* index);

  // The first entry point into the string [offset, offset + size) other than its start (a listed
  // text, or an address something outside the string leads to), else the start of a string that
  // covers `offset`; nothing when the string shares no bytes.
  std::optional<SnesAddress> SharedWith(int64_t offset, int32_t size);

 private:
  struct Point {
    int64_t offset;
    bool block;
    int32_t size = -1;  // measured when first needed
  };

  static SnesAddress AddressOf(const Point& p) { return FileOffsetToSnes(static_cast<int32_t>(p.offset)); }
  int64_t EndOf(Point& p) const;
  int64_t FurthestEndUpTo(size_t i);

  const RomFile& rom_;
  const ReferenceIndex* index_;
  std::vector<Point> points_;
  std::vector<int64_t> furthest_;  // the furthest end of the strings up to each point, measured as needed
};

}  // namespace lettermoor
