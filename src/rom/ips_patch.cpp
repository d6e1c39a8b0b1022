// IPS patches: records of a 3-byte offset and a 2-byte size (0 for a run of one byte), after
// "PATCH" and up to "EOF", optionally followed by the 3-byte size to cut the file to.

#include <algorithm>
#include <cstring>
#include <functional>

#include "rom/patch.h"
#include "rom/patch_detail.h"

namespace lettermoor {

namespace {

constexpr char kIpsMagic[] = "PATCH";
constexpr size_t kMagicSize = 5;
constexpr size_t kRecordLimit = 0xFFFF;
// A run of one byte this long becomes an RLE record (8 bytes) rather than literal bytes, even
// when it splits a record in two (5 more bytes).
constexpr size_t kRleMinimum = 14;
// Records closer than this are joined: the unchanged bytes between cost less than a header.
constexpr size_t kJoinGap = 6;

struct IpsRecord {
  uint32_t offset = 0;
  size_t size = 0;        // bytes written
  bool rle = false;
  uint8_t value = 0;      // RLE: the byte repeated
  size_t dataAt = 0;      // not RLE: where its bytes lie in the patch
};

uint32_t Big(std::span<const uint8_t> p, size_t at, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[at + static_cast<size_t>(i)];
  return v;
}

void PutBig(std::vector<uint8_t>& out, uint32_t value, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Walks the records to "EOF", then the optional size; gives what it found.
PatchInfo Walk(std::span<const uint8_t> p, const std::function<void(const IpsRecord&)>& each) {
  PatchInfo info;
  info.format = PatchFormat::Ips;
  info.patchSize = p.size();
  if (p.size() < kMagicSize || std::memcmp(p.data(), kIpsMagic, kMagicSize) != 0) {
    info.fault = PatchFault::NotAPatch;
    return info;
  }
  size_t at = kMagicSize;
  for (;;) {
    if (p.size() - at < 3) {
      info.fault = PatchFault::Truncated;
      return info;
    }
    if (std::memcmp(p.data() + at, "EOF", 3) == 0) {
      at += 3;
      break;
    }
    if (p.size() - at < 5) {
      info.fault = PatchFault::Truncated;
      return info;
    }
    IpsRecord r;
    r.offset = Big(p, at, 3);
    r.size = Big(p, at + 3, 2);
    at += 5;
    if (r.size == 0) {
      if (p.size() - at < 3) {
        info.fault = PatchFault::Truncated;
        return info;
      }
      r.rle = true;
      r.size = Big(p, at, 2);
      r.value = p[at + 2];
      at += 3;
      ++info.rleRecords;
    } else {
      if (p.size() - at < r.size) {
        info.fault = PatchFault::Truncated;
        return info;
      }
      r.dataAt = at;
      at += r.size;
    }
    ++info.records;
    info.reach = std::max<uint64_t>(info.reach, uint64_t{r.offset} + r.size);
    if (each) each(r);
  }
  if (p.size() - at == 3) {
    info.truncateTo = Big(p, at, 3);
  } else if (p.size() != at) {
    info.fault = PatchFault::TrailingBytes;
  }
  return info;
}

class IpsWriter {
 public:
  explicit IpsWriter(std::span<const uint8_t> modified) : modified_(modified) {
    out_.insert(out_.end(), kIpsMagic, kIpsMagic + kMagicSize);
  }

  // The modified bytes [offset, offset + size) as records of at most 0xFFFF bytes. A record never
  // starts where its offset would read as "EOF": it starts a byte earlier.
  void Bytes(size_t offset, size_t size) {
    const size_t end = offset + size;
    while (offset < end) {
      if (offset == kIpsEofOffset) --offset;
      const size_t n = std::min(end - offset, kRecordLimit);
      PutBig(out_, static_cast<uint32_t>(offset), 3);
      PutBig(out_, static_cast<uint32_t>(n), 2);
      out_.insert(out_.end(), modified_.begin() + static_cast<ptrdiff_t>(offset),
                  modified_.begin() + static_cast<ptrdiff_t>(offset + n));
      offset += n;
    }
  }
  // A run of `size` copies of the byte at `offset`.
  void Run(size_t offset, size_t size) {
    const uint8_t value = modified_[offset];
    const size_t end = offset + size;
    while (offset < end) {
      if (offset == kIpsEofOffset) {
        // Two plain bytes from one earlier carry the run past the trailer's offset.
        Bytes(offset - 1, 2);
        ++offset;
        continue;
      }
      const size_t n = std::min(end - offset, kRecordLimit);
      PutBig(out_, static_cast<uint32_t>(offset), 3);
      PutBig(out_, 0, 2);
      PutBig(out_, static_cast<uint32_t>(n), 2);
      out_.push_back(value);
      offset += n;
    }
  }
  std::vector<uint8_t> Finish(std::optional<size_t> truncateTo) {
    out_.insert(out_.end(), {'E', 'O', 'F'});
    if (truncateTo) PutBig(out_, static_cast<uint32_t>(*truncateTo), 3);
    return std::move(out_);
  }

 private:
  std::span<const uint8_t> modified_;
  std::vector<uint8_t> out_;
};

}  // namespace

CreatedPatch CreateIps(std::span<const uint8_t> original, std::span<const uint8_t> modified) {
  CreatedPatch created;
  const size_t M = modified.size(), O = original.size();
  // Bytes past the original's end are all written: appliers differ in what they fill a gap with.
  auto differs = [&](size_t i) { return i >= O || original[i] != modified[i]; };
  // Every changed range, joined across short unchanged gaps.
  std::vector<std::pair<size_t, size_t>> ranges;
  for (size_t i = 0; i < M;) {
    if (!differs(i)) {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < M && differs(end)) ++end;
    if (!ranges.empty() && i - ranges.back().second < kJoinGap) {
      ranges.back().second = end;
    } else {
      ranges.emplace_back(i, end);
    }
    i = end;
  }
  const bool shorter = M < O;
  if (!ranges.empty() && ranges.back().second > kIpsOffsetLimit) {
    // A record could start below 16 MB and run past it, but appliers disagree about such records.
    created.fault = PatchFault::IpsPastLimit;
    created.at = std::max<size_t>(ranges.back().first, kIpsOffsetLimit);
    return created;
  }
  if (shorter && M >= kIpsOffsetLimit) {
    created.fault = PatchFault::IpsPastLimit;
    created.at = M;
    return created;
  }
  IpsWriter writer(modified);
  for (const auto& [start, end] : ranges) {
    size_t plain = start;  // where the bytes not yet written begin
    for (size_t i = start; i < end;) {
      size_t run = i + 1;
      while (run < end && modified[run] == modified[i]) ++run;
      if (run - i >= kRleMinimum) {
        if (plain < i) writer.Bytes(plain, i - plain);
        writer.Run(i, run - i);
        plain = run;
      }
      i = run;
    }
    if (plain < end) writer.Bytes(plain, end - plain);
  }
  created.bytes = writer.Finish(shorter ? std::optional<size_t>(M) : std::nullopt);
  return created;
}

namespace patch_detail {

PatchInfo ReadIpsInfo(std::span<const uint8_t> patch) { return Walk(patch, {}); }

PatchFault ApplyIps(std::span<const uint8_t> patch, std::span<const uint8_t> rom, std::vector<uint8_t>& result) {
  const PatchInfo info = Walk(patch, {});
  if (info.fault != PatchFault::None) return info.fault;
  result.assign(rom.begin(), rom.end());
  if (info.reach > result.size()) result.resize(static_cast<size_t>(info.reach), 0);
  Walk(patch, [&](const IpsRecord& r) {
    uint8_t* to = result.data() + r.offset;
    if (r.rle) {
      std::memset(to, r.value, r.size);
    } else {
      std::memcpy(to, patch.data() + r.dataAt, r.size);
    }
  });
  if (info.truncateTo) result.resize(*info.truncateTo, 0);
  return PatchFault::None;
}

}  // namespace patch_detail

}  // namespace lettermoor
