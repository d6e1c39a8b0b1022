#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lettermoor {

// The list's row texts, kept one after another in one block rather than one allocation per
// row: a fill of thousands of rows then costs two allocations, and dropping it two frees.
class RowList {
 public:
  RowList() = default;
  RowList(std::initializer_list<std::string_view> rows) {
    for (std::string_view row : rows) Append(row);
  }

  void Reserve(size_t rows, size_t bytes) {
    spans_.reserve(rows);
    bytes_.reserve(bytes);
  }
  void Append(std::string_view text) { spans_.push_back(Store(text)); }
  // Appends the first `count` rows of `other`.
  void Append(const RowList& other, size_t count) {
    for (size_t i = 0; i < count; ++i) Append(other[i]);
  }
  // Replaces row `i`'s text; the old text's room is not reused, which is fine for the few
  // rows an edit renews.
  void Set(size_t i, std::string_view text) { spans_[i] = Store(text); }
  void clear() {
    spans_.clear();
    bytes_.clear();
  }

  size_t size() const { return spans_.size(); }
  bool empty() const { return spans_.empty(); }
  std::string_view operator[](size_t i) const { return {bytes_.data() + spans_[i].start, spans_[i].length}; }

  std::vector<std::string> ToStrings() const {
    std::vector<std::string> out;
    out.reserve(size());
    for (size_t i = 0; i < size(); ++i) out.emplace_back((*this)[i]);
    return out;
  }

 private:
  struct Span {
    size_t start;
    size_t length;
  };
  Span Store(std::string_view text) {
    const Span span{bytes_.size(), text.size()};
    bytes_.append(text);
    return span;
  }

  std::string bytes_;
  std::vector<Span> spans_;
};

}  // namespace lettermoor
