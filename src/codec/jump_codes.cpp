#include "codec/jump_codes.h"

namespace lettermoor {

bool EndsWithEndCode(std::span<const uint8_t> bytes) {
  const ByteSpan text{bytes};
  const auto n = static_cast<int64_t>(bytes.size());
  if (n == 0 || bytes.back() != kEndCode) return false;
  // Each walk, the decoder's own, stops at an end code; one that runs past the last byte reads
  // 0xFF there and so cannot stop on it.
  bool lastDescribed = false;
  NoText sizeOnly;
  int64_t at = 0;
  while (at < n) at += ReadItems(text, at, kNoWords, sizeOnly, lastDescribed);
  return at == n;
}

}  // namespace lettermoor
