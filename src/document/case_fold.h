#pragma once

#include <string>
#include <string_view>

namespace lettermoor {

// Search's case folding: only the letters a to z are folded, whatever else a text holds.

// Upper-cases the letters a to z only.
std::string UpperCaseAscii(std::string_view text);
void UpperCaseAsciiInPlace(std::string& text);

// Where UpperCaseAscii(text) holds `needle` (upper-cased already) at or after `from`, or npos;
// no copy is made.
size_t FindUpperCased(std::string_view text, std::string_view needle, size_t from = 0);
inline bool ContainsUpperCased(std::string_view text, std::string_view needle) {
  return FindUpperCased(text, needle) != std::string_view::npos;
}

}  // namespace lettermoor
