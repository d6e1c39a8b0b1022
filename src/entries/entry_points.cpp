#include "entries/entry_points.h"

#include <algorithm>
#include <iterator>

#include "codec/decode_items.h"
#include "codec/jump_codes.h"
#include "entries/reference_index.h"
#include "rom/rom_file.h"

namespace lettermoor {

EntryPoints::EntryPoints(const RomFile& rom, const std::vector<SnesAddress>& texts, const ReferenceIndex* index)
    : rom_(rom), index_(index) {
  auto inFile = [&](SnesAddress address) {
    const int64_t offset = SnesToFileOffset(address);
    return offset >= 0 && offset < rom.Size();
  };
  // One point per offset, a listed text's first.
  auto before = [](const Point& a, const Point& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.block > b.block;
  };
  std::vector<Point> listed;
  listed.reserve(texts.size());
  for (SnesAddress a : texts) {
    if (inFile(a)) listed.push_back({SnesToFileOffset(a), true});
  }
  std::sort(listed.begin(), listed.end(), before);
  std::vector<Point> reached;
  if (index) {
    reached.reserve(index->All().size());
    for (const Reference& r : index->All()) {
      if (inFile(r.target)) reached.push_back({SnesToFileOffset(r.target), false});
    }
    // The index keeps its references by target, which the file's offsets follow: merged, not sorted.
    if (!std::is_sorted(reached.begin(), reached.end(), before)) std::sort(reached.begin(), reached.end(), before);
  }
  points_.reserve(listed.size() + reached.size());
  std::merge(listed.begin(), listed.end(), reached.begin(), reached.end(), std::back_inserter(points_), before);
  points_.erase(std::unique(points_.begin(), points_.end(),
                            [](const Point& a, const Point& b) { return a.offset == b.offset; }),
                points_.end());
  furthest_.reserve(points_.size());
}

int64_t EntryPoints::EndOf(Point& p) const {
  if (p.size < 0) p.size = ScanJumpCodes(rom_, p.offset, [](const JumpCodeAt&) {});
  return p.offset + p.size;
}

int64_t EntryPoints::FurthestEndUpTo(size_t i) {
  while (furthest_.size() <= i) {
    const int64_t end = EndOf(points_[furthest_.size()]);
    furthest_.push_back(furthest_.empty() ? end : std::max(furthest_.back(), end));
  }
  return furthest_[i];
}

std::optional<SnesAddress> EntryPoints::SharedWith(int64_t offset, int32_t size) {
  const int64_t end = offset + size;
  const auto at = std::lower_bound(points_.begin(), points_.end(), offset,
                                   [](const Point& p, int64_t o) { return p.offset < o; });
  for (auto it = at; it != points_.end() && it->offset < end; ++it) {
    const bool reached = it->block || (index_ && ReachedFromOutside(*index_, AddressOf(*it), offset, end));
    if (it->offset != offset && reached) return AddressOf(*it);
  }
  // Most strings are reached by none that starts before them: then there is no walk back.
  const size_t first = static_cast<size_t>(at - points_.begin());
  if (first == 0 || FurthestEndUpTo(first - 1) <= offset) return std::nullopt;
  // A string is never longer than the decoder reads: only so far back can one start and reach here.
  const int64_t reach = offset - kDecodeSizeLimit - 16;
  for (auto it = at; it != points_.begin();) {
    --it;
    if (it->offset < reach) break;
    if (EndOf(*it) > offset) return AddressOf(*it);
  }
  return std::nullopt;
}

}  // namespace lettermoor
