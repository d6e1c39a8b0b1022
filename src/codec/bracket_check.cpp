#include "codec/bracket_check.h"

#include <cstddef>
#include <vector>

namespace lettermoor {

int BracketFaultColumn(std::string_view text) {
  std::vector<size_t> open;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      open.push_back(i);
    } else if (text[i] == ']') {
      if (open.empty()) return static_cast<int>(i + 1);
      open.pop_back();
    }
  }
  return open.empty() ? 0 : static_cast<int>(open.front() + 1);
}

}  // namespace lettermoor
