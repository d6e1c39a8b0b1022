#pragma once

#include <cstddef>
#include <cstdint>

namespace lettermoor {

// Reads the little-endian fields of a record written beside the ROM (the journal, the history), in
// order. Any read past the end spoils the whole record: it and every later read give nothing.
class FieldReader {
 public:
  FieldReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Ok() const { return ok_; }
  size_t At() const { return at_; }
  bool AtEnd() const { return ok_ && at_ == size_; }

  uint8_t U8() { return static_cast<uint8_t>(Get(1)); }
  uint32_t U32() { return static_cast<uint32_t>(Get(4)); }
  uint64_t U64() { return Get(8); }
  // The next `n` bytes, or nullptr past the end.
  const uint8_t* Bytes(uint64_t n) {
    if (!Need(n)) return nullptr;
    const uint8_t* p = data_ + at_;
    at_ += static_cast<size_t>(n);
    return p;
  }

 private:
  uint64_t Get(int n) {
    uint64_t v = 0;
    if (!Need(static_cast<uint64_t>(n))) return 0;
    for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(data_[at_ + static_cast<size_t>(i)]) << (8 * i);
    at_ += static_cast<size_t>(n);
    return v;
  }
  bool Need(uint64_t n) {
    if (!ok_ || n > size_ - at_) ok_ = false;
    return ok_;
  }

  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace lettermoor
