#include "rom/header_checksum.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace lettermoor {

namespace {

constexpr int64_t kPairInImage = kChecksumPairOffset - RomFile::kCopierHeaderSize;  // 0xFFDC
constexpr int64_t kSmallestImage = 0x10000;
constexpr int64_t kLargestImage = 0x400000;  // all that $C0-$FF maps

uint32_t SumBytes(const uint8_t* data, int64_t n) {
  uint32_t sum = 0;
  for (int64_t i = 0; i < n; ++i) sum += data[i];
  return sum;
}

uint16_t ReadLittle16(std::span<const uint8_t> image, int64_t at) {
  return static_cast<uint16_t>(image[static_cast<size_t>(at)] | image[static_cast<size_t>(at + 1)] << 8);
}

}  // namespace

std::optional<uint16_t> ComputeHeaderChecksum(std::span<const uint8_t> image) {
  const auto size = static_cast<int64_t>(image.size());
  if (size < kSmallestImage || size > kLargestImage) return std::nullopt;
  const int64_t whole = static_cast<int64_t>(std::bit_floor(static_cast<uint64_t>(size)));
  const int64_t tail = size - whole;
  // The tail repeats until it fills the next power of two: only a power-of-two tail does so evenly.
  if (tail != 0 && !std::has_single_bit(static_cast<uint64_t>(tail))) return std::nullopt;
  uint32_t sum = SumBytes(image.data(), whole);
  if (tail != 0) sum += SumBytes(image.data() + whole, tail) * static_cast<uint32_t>(whole / tail);
  // The pair lies in the first part, counted once: whatever it holds, a consistent one adds 0x1FE.
  sum -= SumBytes(image.data() + kPairInImage, 4);
  sum += 0x1FE;
  return static_cast<uint16_t>(sum);
}

HeaderChecksum ReadHeaderChecksum(std::span<const uint8_t> image) {
  HeaderChecksum result;
  const std::optional<uint16_t> computed = ComputeHeaderChecksum(image);
  if (!computed) return result;
  result.computed = *computed;
  result.complement = ReadLittle16(image, kPairInImage);
  result.checksum = ReadLittle16(image, kPairInImage + 2);
  result.state = ChecksumState::Wrong;  // computed: each half is judged from here on
  if (result.ChecksumRight() && result.ComplementRight()) result.state = ChecksumState::Right;
  return result;
}

HeaderChecksum ReadHeaderChecksum(const RomFile& rom) {
  const int64_t size = rom.Size() - RomFile::kCopierHeaderSize;
  // A file the mirror does not hold whole is far past any size that is summed.
  if (size < 0 || rom.Size() > rom.MirrorSize()) return {};
  return ReadHeaderChecksum(std::span(rom.MirrorData() + RomFile::kCopierHeaderSize, static_cast<size_t>(size)));
}

std::array<uint8_t, 4> ChecksumPairBytes(uint16_t checksum) {
  const auto complement = static_cast<uint16_t>(checksum ^ 0xFFFF);
  return {static_cast<uint8_t>(complement), static_cast<uint8_t>(complement >> 8), static_cast<uint8_t>(checksum),
          static_cast<uint8_t>(checksum >> 8)};
}

std::optional<ByteChange> ChecksumFixAfter(const RomFile& rom, const ChangeSet& change) {
  constexpr int64_t kHeader = RomFile::kCopierHeaderSize;
  const int64_t endAfter = change.newSize >= 0 ? change.newSize : rom.Size();
  const int64_t size = endAfter - kHeader;
  if (size < kSmallestImage || size > kLargestImage) return std::nullopt;
  // The image as it will be: the bytes now (a grown file's new bytes read as zeros until a range
  // writes them), then every range in order.
  std::vector<uint8_t> image(static_cast<size_t>(size), 0x00);
  const int64_t kept = std::min(endAfter, std::min(rom.Size(), rom.MirrorSize())) - kHeader;
  if (kept > 0) std::memcpy(image.data(), rom.MirrorData() + kHeader, static_cast<size_t>(kept));
  for (const ByteChange& c : change.ranges) {
    for (size_t i = 0; i < c.bytes.size(); ++i) {
      const int64_t at = c.offset - kHeader + static_cast<int64_t>(i);
      if (at >= 0 && at < size) image[static_cast<size_t>(at)] = c.bytes[i];
    }
  }
  const HeaderChecksum after = ReadHeaderChecksum(image);
  if (after.state != ChecksumState::Wrong) return std::nullopt;
  const std::array<uint8_t, 4> pair = ChecksumPairBytes(after.computed);
  return ByteChange{kChecksumPairOffset, std::vector<uint8_t>(pair.begin(), pair.end())};
}

}  // namespace lettermoor
