#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace lettermoor {

// A growable piece of text that a caller owns and hands to the decoder's sinks. Unlike a
// std::string it grows without zero-filling, and a sink may write a little past what it keeps
// (whole 16-byte blocks) into room it asked for. Clear() keeps the room, so one buffer reused for
// row after row allocates nothing once it is large enough.
class TextBuffer {
 public:
  TextBuffer() = default;
  explicit TextBuffer(size_t capacity) { Reserve(capacity); }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;
  TextBuffer(TextBuffer&&) noexcept = default;
  TextBuffer& operator=(TextBuffer&&) noexcept = default;

  std::string_view View() const { return {data_.get(), size_}; }
  std::string ToString() const { return std::string(View()); }
  const char* Data() const { return data_.get(); }
  char* Data() { return data_.get(); }
  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }

  void Clear() { size_ = 0; }
  // Drops everything past the first `size` characters.
  void Truncate(size_t size) {
    if (size < size_) size_ = size;
  }
  void Reserve(size_t capacity) {
    if (capacity > capacity_) Grow(capacity - size_);
  }

  // At least `n` writable bytes at the end of the text; Advance() then keeps what was written.
  char* Room(size_t n) {
    if (capacity_ - size_ < n) Grow(n);
    return data_.get() + size_;
  }
  void Advance(size_t n) { size_ += n; }

  void Put(char c) {
    *Room(1) = c;
    ++size_;
  }
  void Append(std::string_view text) {
    if (text.empty()) return;
    std::memcpy(Room(text.size()), text.data(), text.size());
    size_ += text.size();
  }

 private:
  void Grow(size_t n) {
    size_t capacity = capacity_ < 256 ? 256 : capacity_ * 2;
    if (capacity < size_ + n) capacity = size_ + n + 64;
    std::unique_ptr<char[]> bigger(new char[capacity]);
    if (size_ > 0) std::memcpy(bigger.get(), data_.get(), size_);
    data_ = std::move(bigger);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace lettermoor
