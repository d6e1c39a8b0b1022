#include "document/text_replace.h"

#include <algorithm>

#include "document/case_fold.h"

namespace lettermoor {

namespace {

// The bracket groups of `text`, "[" to "]" both included.
std::vector<TextPiece> BracketGroups(std::string_view text) {
  std::vector<TextPiece> groups;
  for (size_t open = text.find('['); open != std::string_view::npos; open = text.find('[', open + 1)) {
    const size_t close = text.find(']', open);
    const size_t end = close == std::string_view::npos ? text.size() : close + 1;
    groups.push_back({open, end - open});
    open = end - 1;
  }
  return groups;
}

bool Touches(const std::vector<TextPiece>& groups, size_t at, size_t length) {
  return std::any_of(groups.begin(), groups.end(),
                     [&](const TextPiece& g) { return at < g.at + g.length && g.at < at + length; });
}

}  // namespace

std::vector<TextPiece> FindMatches(std::string_view text, const ReplaceQuery& query) {
  std::vector<TextPiece> matches;
  if (query.find.empty()) return matches;
  const std::string needle = query.matchCase ? query.find : UpperCaseAscii(query.find);
  const auto next = [&](size_t from) {
    return query.matchCase ? text.find(needle, from) : FindUpperCased(text, needle, from);
  };
  const std::vector<TextPiece> groups = query.matchCodes ? std::vector<TextPiece>() : BracketGroups(text);
  for (size_t at = next(0); at != std::string_view::npos;) {
    if (Touches(groups, at, needle.size())) {
      at = next(at + 1);
      continue;
    }
    matches.push_back({at, needle.size()});
    at = next(at + needle.size());
  }
  return matches;
}

std::string ReplaceSpans(std::string_view text, std::span<const TextPiece> spans, std::string_view replacement,
                         std::vector<TextPiece>* placed) {
  std::string out;
  out.reserve(text.size() + spans.size() * replacement.size());
  size_t from = 0;
  for (const TextPiece& s : spans) {
    out.append(text.substr(from, s.at - from));
    if (placed) placed->push_back({out.size(), replacement.size()});
    out.append(replacement);
    from = s.at + s.length;
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace lettermoor
