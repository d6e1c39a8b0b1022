#pragma once

#include <string>
#include <string_view>

namespace lettermoor {

// Search's case folding: only the letters a to z are folded, whatever else a text holds.

// Upper-cases the letters a to z only.
std::string UpperCaseAscii(std::string_view text);
void UpperCaseAsciiInPlace(std::string& text);

// True when UpperCaseAscii(text) contains `needle`, which is upper-cased already; no copy is made.
bool ContainsUpperCased(std::string_view text, std::string_view needle);

}  // namespace lettermoor
