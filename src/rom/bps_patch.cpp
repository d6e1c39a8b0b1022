// BPS patches: made with relative copies found through hash chains, applied with every action
// checked against the files it names.

#include <algorithm>
#include <cstring>
#include <memory>

#include "rom/patch.h"
#include "rom/patch_detail.h"

namespace lettermoor {

namespace {

enum BpsAction : uint64_t { kSourceRead = 0, kTargetRead = 1, kSourceCopy = 2, kTargetCopy = 3 };

constexpr uint8_t kBpsMagic[4] = {'B', 'P', 'S', '1'};
constexpr size_t kBpsFooter = 12;

void PutNumber(std::vector<uint8_t>& out, uint64_t value) {
  for (;;) {
    const uint8_t low = value & 0x7F;
    value >>= 7;
    if (value == 0) {
      out.push_back(0x80 | low);
      return;
    }
    out.push_back(low);
    --value;
  }
}

void PutCrc(std::vector<uint8_t>& out, uint32_t crc) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(crc >> (8 * i)));
}

uint32_t GetCrc(std::span<const uint8_t> bytes, size_t at) {
  uint32_t crc = 0;
  for (int i = 0; i < 4; ++i) crc |= static_cast<uint32_t>(bytes[at + static_cast<size_t>(i)]) << (8 * i);
  return crc;
}

// Reads one number ending before `end`; false when it runs past it or past 64 bits.
bool GetNumber(std::span<const uint8_t> bytes, size_t& at, size_t end, uint64_t& value) {
  uint64_t data = 0, shift = 1;
  while (at < end) {
    const uint8_t x = bytes[at++];
    data += (x & 0x7F) * shift;
    if (x & 0x80) {
      value = data;
      return true;
    }
    if (shift > (uint64_t{1} << 55)) return false;
    shift <<= 7;
    data += shift;
  }
  return false;
}

// How many leading bytes of a[ai..aEnd) and b[bi..bEnd) are equal, eight at a time.
size_t MatchLength(const uint8_t* a, size_t ai, size_t aEnd, const uint8_t* b, size_t bi, size_t bEnd) {
  const size_t limit = std::min(aEnd - ai, bEnd - bi);
  size_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + ai + n, 8);
    std::memcpy(&y, b + bi + n, 8);
    if (x != y) return n + static_cast<size_t>(__builtin_ctzll(x ^ y) / 8);
    n += 8;
  }
  while (n < limit && a[ai + n] == b[bi + n]) ++n;
  return n;
}

// Positions of a file by the hash of the eight bytes there, newest first along each chain; only
// every `step`th position is kept. A position's link is written when it is inserted and read only
// after that, so the links are left uninitialised: the target's chains hold few positions, and
// filling links for every byte of it would touch 16 MB of fresh pages for every patch.
class HashChains {
 public:
  static constexpr int kBits = 17;
  static constexpr size_t kWindow = 8;

  HashChains(size_t size, size_t step)
      : step_(step), head_(size_t{1} << kBits, -1), previous_(new int32_t[size / step + 1]) {}

  static uint32_t Hash(const uint8_t* at) {
    uint64_t x;
    std::memcpy(&x, at, 8);
    return static_cast<uint32_t>((x * 0x9E3779B97F4A7C15ull) >> (64 - kBits));
  }
  void Insert(const uint8_t* bytes, size_t size, size_t at) {
    if (at + kWindow > size) return;
    const uint32_t h = Hash(bytes + at);
    previous_[at / step_] = head_[h];
    head_[h] = static_cast<int32_t>(at);
  }
  int32_t First(uint32_t hash) const { return head_[hash]; }
  int32_t Next(int32_t at) const { return previous_[static_cast<size_t>(at) / step_]; }

 private:
  size_t step_;
  std::vector<int32_t> head_;
  std::unique_ptr<int32_t[]> previous_;
};

class BpsWriter {
 public:
  BpsWriter(std::span<const uint8_t> source, std::span<const uint8_t> target) : source_(source), target_(target) {
    out_.insert(out_.end(), std::begin(kBpsMagic), std::end(kBpsMagic));
    PutNumber(out_, source.size());
    PutNumber(out_, target.size());
    PutNumber(out_, 0);  // no metadata
  }

  void Literal(size_t at) {
    if (!literal_) literalStart_ = at;
    literal_ = true;
  }
  void SourceRead(size_t at, size_t length) {
    Flush(at);
    Action(kSourceRead, length);
  }
  void Copy(BpsAction kind, size_t from, size_t at, size_t length) {
    Flush(at);
    Action(kind, length);
    int64_t& cursor = kind == kSourceCopy ? sourceCursor_ : targetCursor_;
    const int64_t delta = static_cast<int64_t>(from) - cursor;
    PutNumber(out_, (static_cast<uint64_t>(delta < 0 ? -delta : delta) << 1) | (delta < 0 ? 1 : 0));
    cursor = static_cast<int64_t>(from + length);
  }
  std::vector<uint8_t> Finish() {
    Flush(target_.size());
    PutCrc(out_, Crc32(source_));
    PutCrc(out_, Crc32(target_));
    PutCrc(out_, Crc32(out_));
    return std::move(out_);
  }

 private:
  void Action(BpsAction kind, size_t length) { PutNumber(out_, ((length - 1) << 2) | kind); }
  // The literal bytes from the start of the run to `at`.
  void Flush(size_t at) {
    if (!literal_) return;
    literal_ = false;
    Action(kTargetRead, at - literalStart_);
    out_.insert(out_.end(), target_.begin() + static_cast<ptrdiff_t>(literalStart_),
                target_.begin() + static_cast<ptrdiff_t>(at));
  }

  std::span<const uint8_t> source_, target_;
  std::vector<uint8_t> out_;
  bool literal_ = false;
  size_t literalStart_ = 0;
  int64_t sourceCursor_ = 0, targetCursor_ = 0;
};

// A run at the same offset this long is taken without looking for copies; a copy must beat the
// same-offset run by this much to pay for its distance; a chain is followed this deep; a match
// this long ends the search.
constexpr size_t kTakeSameOffset = 16;
constexpr size_t kSameOffsetMinimum = 4;
constexpr size_t kCopyMinimum = 8;
constexpr int kChainDepth = 16;
constexpr size_t kGoodEnough = 4096;
// The source is indexed at every fourth position, a quarter of the work: a stretch found in it is
// found at most three bytes late, as the search runs at every literal byte.
constexpr size_t kSourceStep = 4;

}  // namespace

std::vector<uint8_t> CreateBps(std::span<const uint8_t> source, std::span<const uint8_t> target) {
  const uint8_t* src = source.data();
  const uint8_t* tgt = target.data();
  const size_t S = source.size(), T = target.size();
  BpsWriter writer(source, target);
  // The source's chains are made only when the files first differ; the target's hold only what
  // was not read from the same offset of the source (that is in the source's chains already).
  std::optional<HashChains> sourceChains;
  HashChains targetChains(T, 1);
  size_t at = 0;
  while (at < T) {
    const size_t same = at < S ? MatchLength(src, at, S, tgt, at, T) : 0;
    if (same >= kTakeSameOffset) {
      writer.SourceRead(at, same);
      at += same;
      continue;
    }
    size_t best = 0, from = 0;
    BpsAction kind = kSourceRead;
    if (at + HashChains::kWindow <= T) {
      if (!sourceChains) {
        sourceChains.emplace(S, kSourceStep);
        for (size_t i = 0; i < S; i += kSourceStep) sourceChains->Insert(src, S, i);
      }
      const uint32_t hash = HashChains::Hash(tgt + at);
      int depth = 0;
      for (int32_t c = sourceChains->First(hash); c >= 0 && depth < kChainDepth && best < kGoodEnough;
           c = sourceChains->Next(c), ++depth) {
        const size_t n = MatchLength(src, static_cast<size_t>(c), S, tgt, at, T);
        if (n > best) best = n, from = static_cast<size_t>(c), kind = kSourceCopy;
      }
      depth = 0;
      for (int32_t c = targetChains.First(hash); c >= 0 && depth < kChainDepth && best < kGoodEnough;
           c = targetChains.Next(c), ++depth) {
        // A target copy may run on into the bytes it writes itself: they equal the target's.
        const size_t n = MatchLength(tgt, static_cast<size_t>(c), T, tgt, at, T);
        if (n > best) best = n, from = static_cast<size_t>(c), kind = kTargetCopy;
      }
    }
    size_t length = 1;
    if (best >= kCopyMinimum && best >= same + kSameOffsetMinimum) {
      writer.Copy(kind, from, at, best);
      length = best;
    } else if (same >= kSameOffsetMinimum) {
      writer.SourceRead(at, same);
      at += same;
      continue;
    } else {
      writer.Literal(at);
    }
    for (size_t i = at; i < at + length; ++i) targetChains.Insert(tgt, T, i);
    at += length;
  }
  return writer.Finish();
}

namespace patch_detail {

PatchInfo ReadBpsInfo(std::span<const uint8_t> patch) {
  PatchInfo info;
  info.format = PatchFormat::Bps;
  info.patchSize = patch.size();
  if (patch.size() < sizeof kBpsMagic || !std::equal(std::begin(kBpsMagic), std::end(kBpsMagic), patch.begin())) {
    info.fault = PatchFault::NotAPatch;
    return info;
  }
  if (patch.size() < sizeof kBpsMagic + 3 + kBpsFooter) {
    info.fault = PatchFault::Truncated;
    return info;
  }
  const size_t end = patch.size() - kBpsFooter;
  info.sourceCrc = GetCrc(patch, end);
  info.targetCrc = GetCrc(patch, end + 4);
  info.patchCrc = GetCrc(patch, end + 8);
  info.actualPatchCrc = Crc32(patch.first(patch.size() - 4));
  size_t at = sizeof kBpsMagic;
  if (!GetNumber(patch, at, end, info.sourceSize) || !GetNumber(patch, at, end, info.targetSize) ||
      !GetNumber(patch, at, end, info.metadataSize) || info.metadataSize > end - at) {
    info.fault = info.actualPatchCrc != info.patchCrc ? PatchFault::BadPatchCrc : PatchFault::Truncated;
    return info;
  }
  at += info.metadataSize;
  // Counted only: the actions are checked against the files when applied.
  while (at < end) {
    uint64_t action = 0, delta = 0;
    if (!GetNumber(patch, at, end, action)) break;
    const uint64_t length = (action >> 2) + 1;
    if ((action & 3) == kTargetRead) {
      if (length > end - at) break;
      at += length;
    } else if ((action & 3) != kSourceRead && !GetNumber(patch, at, end, delta)) {
      break;
    }
    ++info.actions;
  }
  if (info.actualPatchCrc != info.patchCrc) {
    info.fault = PatchFault::BadPatchCrc;
  } else if (at != end) {
    info.fault = PatchFault::Truncated;
  } else if (info.sourceSize > kPatchSizeLimit || info.targetSize > kPatchSizeLimit) {
    info.fault = PatchFault::TooLarge;
  }
  return info;
}

PatchFault ApplyBps(std::span<const uint8_t> patch, const PatchInfo& info, std::span<const uint8_t> source,
                    std::vector<uint8_t>& target) {
  const size_t end = patch.size() - kBpsFooter;
  size_t at = sizeof kBpsMagic;
  uint64_t skip = 0;
  GetNumber(patch, at, end, skip);
  GetNumber(patch, at, end, skip);
  GetNumber(patch, at, end, skip);
  at += skip;
  target.assign(static_cast<size_t>(info.targetSize), 0);
  const size_t S = source.size(), T = target.size();
  size_t out = 0;
  int64_t sourceCursor = 0, targetCursor = 0;
  while (at < end) {
    uint64_t action = 0;
    if (!GetNumber(patch, at, end, action)) return PatchFault::Truncated;
    const uint64_t length = (action >> 2) + 1;
    if (length > T - out) return PatchFault::BadAction;
    const size_t n = static_cast<size_t>(length);
    switch (action & 3) {
      case kSourceRead:
        if (out + n > S) return PatchFault::BadAction;
        std::memcpy(target.data() + out, source.data() + out, n);
        break;
      case kTargetRead:
        if (n > end - at) return PatchFault::Truncated;
        std::memcpy(target.data() + out, patch.data() + at, n);
        at += n;
        break;
      default: {
        uint64_t coded = 0;
        if (!GetNumber(patch, at, end, coded)) return PatchFault::Truncated;
        if ((coded >> 1) > kPatchSizeLimit) return PatchFault::BadAction;
        const int64_t delta = (coded & 1) ? -static_cast<int64_t>(coded >> 1) : static_cast<int64_t>(coded >> 1);
        if ((action & 3) == kSourceCopy) {
          sourceCursor += delta;
          if (sourceCursor < 0 || static_cast<uint64_t>(sourceCursor) + n > S) return PatchFault::BadAction;
          std::memcpy(target.data() + out, source.data() + sourceCursor, n);
          sourceCursor += static_cast<int64_t>(n);
        } else {
          targetCursor += delta;
          // Only bytes already written; a copy that overlaps its own output makes a run.
          if (targetCursor < 0 || static_cast<uint64_t>(targetCursor) >= out) return PatchFault::BadAction;
          for (size_t i = 0; i < n; ++i) target[out + i] = target[static_cast<size_t>(targetCursor) + i];
          targetCursor += static_cast<int64_t>(n);
        }
      }
    }
    out += n;
  }
  if (out != T) return PatchFault::BadAction;
  return Crc32(target) == info.targetCrc ? PatchFault::None : PatchFault::WrongResult;
}

}  // namespace patch_detail

}  // namespace lettermoor
